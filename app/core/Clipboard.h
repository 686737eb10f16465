#pragma once
// Page files on the clipboard as a file list that file managers understand.
#include <QStringList>

class QMimeData;

// Puts the files (full paths) on the clipboard as copied files. False on failure.
bool CopyFilesToClipboard(const QStringList &files);
// Clears List and fills it with the files on the clipboard; true when at least one was found.
bool PasteFilesFromClipboard(QStringList &list);
// The local files the clipboard data offers: its file URLs, or else GNOME's copied-files
// list. Web links and other URLs are no files to paste.
QStringList LocalFilesIn(const QMimeData *mime);
