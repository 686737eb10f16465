#include "CommandStates.h"

#include <initializer_list>

namespace {

void set(CommandStates &st, std::initializer_list<const char *> names, bool on)
{
    for (const char *n : names)
        st.enabled.insert(QString::fromLatin1(n), on);
}

} // namespace

CommandStates ComputeCommandStates(const CommandSnapshot &s)
{
    CommandStates st;
    const int L = s.level;

    // Tree selection.
    st.visible.insert(QStringLiteral("PMN_FILE_FIELDDEFINE"), L == 1);
    const bool append = L == 2 || L == 3;
    set(st,
        {"MN_SCANNER_APPENDSCAN", "MN_FILE_AppendImport", "MN_FILE_IMPORT", "PMN_FILE_IMPORT",
         "PMN_FILE_AppendImport", "btn_scan_append"},
        append);
    set(st, {"MN_FILE_NewFolder", "PMN_FILE_NewFolder", "PMN_FILE_NewFolder1"}, L == 1 || L == 2);
    set(st, {"MN_FILE_NewFile", "PMN_FILE_NewFile", "PMN_FILE_NewFile1"}, L == 2 || L == 3);
    set(st, {"MN_EDIT_MERGEFILETO"}, L == 3);

    // Page selection.
    const bool pages = s.selectedPages > 0;
    set(st, {"MN_EDIT_CUT", "MN_EDIT_COPY", "MN_EDIT_COPYPAGETO", "MN_EDIT_MOVEPAGETO"}, pages);
    set(st,
        {"MN_FILE_EMAIL", "PMN_FILE_EMAIL", "MN_IMAGE_INVERSE", "MN_IMAGE_MIRROR", "MN_IMAGE_FLIP",
         "MN_IMAGE_ROTATE", "MN_IMAGE_ROTATE_L90", "MN_IMAGE_ROTATE_R90", "MN_IMAGE_ROTATE_180",
         "MN_IMAGE_ROTATE_CUSTOM", "MN_IMAGE_AUTOCROP", "MN_IMAGE_DESKEW", "MN_IMAGE_DESPECLE",
         "MN_IMAGE_REMOVEBLACKBORDER"},
        pages);
    if (!s.singlePage)
        set(st, {"MN_IMAGE_TEXT"}, pages);
    const bool one = s.selectedPages == 1;
    set(st,
        {"MN_FILE_InsertImport", "PMN_FILE_InsertImport", "MN_SCANNER_INSERTSCAN", "MN_SCANNER_REPLACESCAN",
         "btn_scan_insert", "btn_scan_replace"},
        one);

    // Idle rules.
    set(st, {"MN_EDIT_PASTE"}, append && s.clipboardHasFiles);
    const bool del =
        (s.treeFocused && L >= 1) || (s.listFocused && pages) || (s.singlePage && s.viewerHasImage);
    set(st, {"MN_FILE_DELETE", "PMN_FILE_DELETE"}, del);
    st.deleteShortcut = del;
    set(st, {"MN_FILE_PROPERTIES", "PMN_FILE_PROPERTIES"}, true);
    set(st, {"MN_FILE_RENAME", "PMN_FILE_RENAME"}, s.treeFocused && L >= 1);
    set(st, {"MN_FILE_EXPORT", "PMN_FILE_EXPORT"}, append);

    // Page list content.
    set(st, {"MN_FILE_PRINT"}, s.pageCount > 0);
    if (!s.singlePage)
        set(st, {"MN_IMAGE_SEARCHBLANKPAGE"}, s.pageCount > 0);
    return st;
}

CommandStates ComputeListPopupStates(const PopupInput &in)
{
    CommandStates st;
    for (const char *n : {"PMN_EDIT_CUT", "PMN_EDIT_COPY", "PMN_FILE_DELETE1"}) {
        st.visible.insert(QString::fromLatin1(n), in.cutEnabled);
        st.enabled.insert(QString::fromLatin1(n), in.cutEnabled);
    }
    st.visible.insert(QStringLiteral("PMN_EDIT_PASTE"), !in.cutEnabled);
    if (!in.cutEnabled)
        st.enabled.insert(QStringLiteral("PMN_EDIT_PASTE"), in.pasteEnabled);

    st.enabled.insert(QStringLiteral("PMN_SCANNER_APPENDSCAN"), in.appendScanEnabled);
    st.enabled.insert(QStringLiteral("PMN_SCANNER_INSERTSCAN"), in.insertScanEnabled);
    st.enabled.insert(QStringLiteral("PMN_SCANNER_REPLACESCAN"), in.replaceScanEnabled);
    st.visible.insert(QStringLiteral("PMN_SCANNER_APPENDSCAN"), !in.insertScanEnabled);
    st.visible.insert(QStringLiteral("PMN_SCANNER_INSERTSCAN"), in.insertScanEnabled);
    st.visible.insert(QStringLiteral("PMN_SCANNER_REPLACESCAN"), in.insertScanEnabled);
    return st;
}
