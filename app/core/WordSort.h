#pragma once
// The order of directory listings that page numbering depends on: without regard
// to case, hyphens and apostrophes ignored (they only break ties), other
// punctuation before digits, digits before letters, letters before other characters.
#include <QString>
#include <QStringList>

// <0, 0, >0 like strcmp.
int WordSortCompare(const QString &a, const QString &b);

// Attribute masks accepted by ListFiles.
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;

// Adds the bare names of the entries matching Pattern (a directory path followed by a
// wildcard mask such as "P*.tif", matched without regard to case) to List, which is
// kept sorted in word-sort order with duplicates dropped. List is not cleared, so
// several calls merge into one sorted list. faArchive finds plain files, faDirectory
// directories other than "." and "..".
void ListFiles(const QString &pattern, int attributes, QStringList &list);
