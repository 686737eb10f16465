#pragma once
// Every change the store makes to page and thumbnail files goes through one object,
// so a test can make the k-th change fail and check that no page is ever lost.
#include <QByteArray>
#include <QString>

class TStoreFiles {
public:
    virtual ~TStoreFiles() = default;
    // Renames a file; never replaces an existing target.
    virtual bool Rename(const QString &oldName, const QString &newName);
    // Copies Src over Dst through a temporary file in Dst's directory, so Dst is either
    // the old file or a complete copy of the same size as Src. The copy has Src's modification time.
    virtual bool Copy(const QString &src, const QString &dst);
    virtual bool Remove(const QString &name);
    // Writes a small file completely or not at all.
    virtual bool WriteFile(const QString &name, const QByteArray &data);
};

// The object in use; never null. SetStoreFiles(nullptr) restores the plain one.
TStoreFiles &StoreFiles();
void SetStoreFiles(TStoreFiles *files);
