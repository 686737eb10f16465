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

// A configured folder as an absolute path, since the store works on absolute paths only:
// a leading "~" is the home folder and a relative path is taken from AppPath. Absolute
// and empty values come back as they are.
QString AbsoluteLocation(const QString &location, const QString &appPath);

// Bits per pixel of a packed-DIB block; 24 for a null handle.
int DibBitCount(HGLOBAL dib);

// Folder-choice dialog. Dir is the initial choice (cleared when it is no directory)
// and receives the chosen folder. True when the user chose one.
bool SelectDirectory(const QString &title, const QString &root, QString &dir);
// Tests answer the folder choice without a dialog.
void SetSelectDirectoryHook(
    std::function<bool(const QString &title, const QString &root, QString &dir)> hook);
