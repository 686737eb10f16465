#include "CommandStates.h"

#include <initializer_list>

namespace {

void set(CommandStates &st, std::initializer_list<const char *> names, bool on)
{
    for (const char *n : names)
        st.enabled.insert(QString::fromLatin1(n), on);
}

// The viewer's commands: each group and the rule that decides it.
struct ViewerRule {
    std::initializer_list<const char *> names;
    bool (*on)(const CommandSnapshot &s);
};

const ViewerRule kViewerRules[] = {
    {{"MN_NAVIGATION_NEXTPAGE", "MN_NAVIGATION_LASTPAGE"},
     [](const CommandSnapshot &s) { return s.viewer.nextPage; }},
    {{"MN_NAVIGATION_PREVIOUSPAGE", "MN_NAVIGATION_FIRSTPAGE"},
     [](const CommandSnapshot &s) { return s.viewer.previousPage; }},
    {{"MN_NAVIGATION_NEXTFILE", "MN_NAVIGATION_LASTFILE"},
     [](const CommandSnapshot &s) { return s.viewer.nextFile; }},
    {{"MN_NAVIGATION_PREVIOUSFILE", "MN_NAVIGATION_FIRSTFILE"},
     [](const CommandSnapshot &s) { return s.viewer.previousFile; }},
    // A page that could not be shown leaves nothing to zoom.
    {{"MN_ZOOM_IN", "MN_ZOOM_OUT", "MN_ZOOM_FITWIDTH", "MN_ZOOM_FITHEIGHT", "MN_ZOOM_BESTFIT",
      "MN_ZOOM_ACTUALSIZE", "MN_ZOOM_25", "MN_ZOOM_50", "MN_ZOOM_75", "MN_ZOOM_100", "MN_ZOOM_200",
      "MN_ZOOM_400"},
     [](const CommandSnapshot &s) { return s.viewer.page != -1 && s.viewer.hasImage; }},
    {{"MN_IMAGE_CROP"}, [](const CommandSnapshot &s) { return s.viewer.selection; }},
    // The last page shown decides, also after it is gone.
    {{"MN_IMAGE_BRIGHTCONTRAST"}, [](const CommandSnapshot &s) { return s.viewer.depth >= 8; }},
    {{"MN_EDIT_SELECTALL", "MN_EDIT_INVERTSELECTION"},
     [](const CommandSnapshot &s) { return !s.singlePage; }},
};

void setViewerCommands(CommandStates &st, const CommandSnapshot &s)
{
    for (const ViewerRule &rule : kViewerRules)
        for (const char *n : rule.names)
            st.viewer.insert(QString::fromLatin1(n), rule.on(s));
    if (s.singlePage) {
        st.viewer.insert(QStringLiteral("MN_IMAGE_TEXT"), s.viewer.hasImage && s.viewer.depth <= 8);
        st.viewer.insert(QStringLiteral("MN_IMAGE_SEARCHBLANKPAGE"), false);
    }
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

    setViewerCommands(st, s);
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
