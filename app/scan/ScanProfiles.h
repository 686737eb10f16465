#pragma once
// Scan profiles: named sets of cleaning and splitting options kept in table SCANTYPE,
// listed in their saved order. Database failures are passed over: a list that cannot be
// read is empty, a profile that cannot be saved or deleted stays as it was.
#include <QString>
#include <QStringList>

#include <optional>

class TCatalogConnection;

struct ScanProfile {
    bool deskew = false;
    bool autoCrop = false;
    bool cropBlackBox = false;
    bool inverse = false;
    int rotate = 0;   // item of the rotation list: 0 none, 1 left, 2 right, 3 half turn
    int cutMode = -1; // -1 by hand, 0 at blank pages, N >= 1 every N pages

    bool operator==(const ScanProfile &) const = default;
};

class ScanProfiles {
public:
    explicit ScanProfiles(TCatalogConnection *connection) : m_connection(connection) {}

    // Every profile name, trimmed, in TYPEORDER.
    QStringList Names() const;
    // The profile stored under Name (trimmed); nothing when there is none or it cannot be read.
    std::optional<ScanProfile> Find(const QString &name) const;
    // Stores Profile under Name (trimmed, not empty) as the first of the list: an older row
    // of that name goes, every other row moves one place down.
    void Save(const QString &name, const ScanProfile &profile);
    // Removes the row of Name (trimmed); the order of the others stays.
    void Delete(const QString &name);

private:
    TCatalogConnection *m_connection;
};
