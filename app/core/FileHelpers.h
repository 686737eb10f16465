#pragma once
// Shared helpers of the program: catalogue tables, directories, bitmaps, folder choice.
#include "globalmem.h"

#include <QString>

#include <functional>

// True when the catalogue has a table of exactly this name (case-sensitive).
bool TableExists(const QString &name);

// Total size in bytes of every file below Dir, recursively.
qint64 DirectorySize(const QString &dir);

// Deletes every file and subdirectory below Dir; Dir itself stays. Failures are ignored.
void EmptyDirectory(const QString &dir);

// Bits per pixel of a packed-DIB block; 24 for a null handle.
int DibBitCount(HGLOBAL dib);

// Folder-choice dialog. Dir is the initial choice (cleared when it is no directory)
// and receives the chosen folder. True when the user chose one.
bool SelectDirectory(const QString &title, const QString &root, QString &dir);
// Tests answer the folder choice without a dialog.
void SetSelectDirectoryHook(
    std::function<bool(const QString &title, const QString &root, QString &dir)> hook);
