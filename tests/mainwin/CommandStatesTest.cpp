#include "CommandStates.h"
#include "CommandTable.h"

#include <gtest/gtest.h>

namespace {

bool on(const CommandStates &st, const char *name)
{
    const auto it = st.enabled.find(QString::fromLatin1(name));
    EXPECT_NE(it, st.enabled.end()) << name << " is not decided";
    return it != st.enabled.end() && it.value();
}

} // namespace

TEST(CommandStates, TreeLevelDecidesCatalogueCommands)
{
    struct Case {
        int level;
        bool append, newFolder, newFile, merge, fieldDefine;
    };
    const Case cases[] = {
        {-1, false, false, false, false, false}, {0, false, false, false, false, false},
        {1, false, true, false, false, true},    {2, true, true, true, false, false},
        {3, true, false, true, true, false},
    };
    for (const Case &c : cases) {
        CommandSnapshot s;
        s.level = c.level;
        s.clipboardHasFiles = true;
        const CommandStates st = ComputeCommandStates(s);
        SCOPED_TRACE(c.level);
        for (const char *n :
             {"MN_SCANNER_APPENDSCAN", "MN_FILE_AppendImport", "MN_FILE_IMPORT", "PMN_FILE_IMPORT",
              "PMN_FILE_AppendImport", "btn_scan_append", "MN_FILE_EXPORT", "PMN_FILE_EXPORT"})
            EXPECT_EQ(on(st, n), c.append) << n;
        EXPECT_EQ(on(st, "MN_EDIT_PASTE"), c.append); // clipboard has files
        EXPECT_EQ(on(st, "MN_FILE_NewFolder"), c.newFolder);
        EXPECT_EQ(on(st, "PMN_FILE_NewFolder1"), c.newFolder);
        EXPECT_EQ(on(st, "MN_FILE_NewFile"), c.newFile);
        EXPECT_EQ(on(st, "PMN_FILE_NewFile"), c.newFile);
        EXPECT_EQ(on(st, "MN_EDIT_MERGEFILETO"), c.merge);
        EXPECT_EQ(st.visible.value("PMN_FILE_FIELDDEFINE"), c.fieldDefine);
        EXPECT_TRUE(on(st, "MN_FILE_PROPERTIES"));
    }
}

TEST(CommandStates, FocusSelectionAndModeDecideDeleteRenameAndPageCommands)
{
    struct Case {
        int level, selected, pages;
        bool tree, list, single, viewerImage;
        bool del, rename, pageGroup, insert, text, print, blank;
    };
    const Case cases[] = {
        // root selected with the tree focused: neither rename nor delete
        {0, 0, 0, true, false, false, false, false, false, false, false, false, false, false},
        {1, 0, 0, true, false, false, false, true, true, false, false, false, false, false},
        // nothing focused: Del goes to text boxes
        {2, 0, 3, false, false, false, false, false, false, false, false, false, true, true},
        {2, 1, 3, false, true, false, false, true, false, true, true, true, true, true},
        {2, 2, 3, false, true, false, false, true, false, true, false, true, true, true},
        // single-page mode: the viewer's page can be deleted; text and blank search belong to the viewer
        {3, 1, 3, false, false, true, true, true, false, true, true, false, true, false},
        {3, 0, 3, false, false, true, false, false, false, false, false, false, true, false},
    };
    for (const Case &c : cases) {
        CommandSnapshot s;
        s.level = c.level;
        s.selectedPages = c.selected;
        s.pageCount = c.pages;
        s.treeFocused = c.tree;
        s.listFocused = c.list;
        s.singlePage = c.single;
        s.viewerHasImage = c.viewerImage;
        const CommandStates st = ComputeCommandStates(s);
        SCOPED_TRACE(testing::Message()
                     << "level " << c.level << " selected " << c.selected << " single " << c.single);
        EXPECT_EQ(on(st, "MN_FILE_DELETE"), c.del);
        EXPECT_EQ(st.deleteShortcut, c.del);
        EXPECT_EQ(on(st, "MN_FILE_RENAME"), c.rename);
        for (const char *n :
             {"MN_EDIT_CUT", "MN_EDIT_COPY", "MN_EDIT_COPYPAGETO", "MN_EDIT_MOVEPAGETO", "MN_FILE_EMAIL",
              "MN_IMAGE_ROTATE_L90", "MN_IMAGE_DESPECLE", "MN_IMAGE_REMOVEBLACKBORDER"})
            EXPECT_EQ(on(st, n), c.pageGroup) << n;
        for (const char *n :
             {"MN_FILE_InsertImport", "MN_SCANNER_INSERTSCAN", "MN_SCANNER_REPLACESCAN", "btn_scan_replace"})
            EXPECT_EQ(on(st, n), c.insert) << n;
        EXPECT_EQ(st.enabled.value("MN_IMAGE_TEXT"), c.text);
        EXPECT_EQ(st.enabled.contains("MN_IMAGE_TEXT"), !c.single);
        EXPECT_EQ(on(st, "MN_FILE_PRINT"), c.print);
        EXPECT_EQ(st.enabled.value("MN_IMAGE_SEARCHBLANKPAGE"), c.blank);
    }
}

TEST(CommandStates, PageListPopupShowsEitherEditOrPasteAndOneScanGroup)
{
    PopupInput selected{true, true, true, true, true};
    CommandStates st = ComputeListPopupStates(selected);
    EXPECT_TRUE(st.visible.value("PMN_EDIT_CUT"));
    EXPECT_TRUE(st.visible.value("PMN_FILE_DELETE1"));
    EXPECT_FALSE(st.visible.value("PMN_EDIT_PASTE"));
    EXPECT_FALSE(st.visible.value("PMN_SCANNER_APPENDSCAN"));
    EXPECT_TRUE(st.visible.value("PMN_SCANNER_INSERTSCAN"));
    EXPECT_TRUE(st.visible.value("PMN_SCANNER_REPLACESCAN"));

    PopupInput none{false, true, true, false, false};
    st = ComputeListPopupStates(none);
    EXPECT_FALSE(st.visible.value("PMN_EDIT_COPY"));
    EXPECT_TRUE(st.visible.value("PMN_EDIT_PASTE"));
    EXPECT_TRUE(st.enabled.value("PMN_EDIT_PASTE"));
    EXPECT_TRUE(st.visible.value("PMN_SCANNER_APPENDSCAN"));
    EXPECT_FALSE(st.visible.value("PMN_SCANNER_INSERTSCAN"));
}

TEST(CommandStates, WhatTheViewerShowsDecidesItsCommands)
{
    struct Case {
        const char *what;
        TViewerState viewer;
        bool single;
        bool nextPage, previousPage, nextFile, previousFile, zoom, crop, brightness, text, selectAll;
    };
    TViewerState middle; // page 2 of 3 of a file between two others, 8 bits, a band drawn
    middle = {true, 1, true, 8, true, true, 5, true, true, true};
    TViewerState lastOfOne = {true, 0, true, 1, false, false, 3, false, false, false};
    TViewerState unreadable = {true, 2, false, 24, true, false, -1, false, false, false};
    TViewerState closed; // after single-page mode: the last page's depth stays
    closed.depth = 24;
    const Case cases[] = {
        {"middle page", middle, true, true, true, true, true, true, true, true, true, false},
        {"only page, bilevel", lastOfOne, true, false, false, false, false, true, false, false, true, false},
        {"page not shown", unreadable, true, true, false, false, false, false, false, true, false, false},
        {"thumbnails again", closed, false, false, false, false, false, false, false, true, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CommandSnapshot s;
        s.level = 3;
        s.pageCount = 3;
        s.singlePage = c.single;
        s.viewer = c.viewer;
        s.viewerHasImage = c.viewer.hasImage;
        const CommandStates st = ComputeCommandStates(s);
        auto viewer = [&](const char *name) {
            EXPECT_TRUE(st.viewer.contains(QString::fromLatin1(name))) << name << " is not decided";
            return st.viewer.value(QString::fromLatin1(name));
        };
        for (const char *n : {"MN_NAVIGATION_NEXTPAGE", "MN_NAVIGATION_LASTPAGE"})
            EXPECT_EQ(viewer(n), c.nextPage) << n;
        for (const char *n : {"MN_NAVIGATION_PREVIOUSPAGE", "MN_NAVIGATION_FIRSTPAGE"})
            EXPECT_EQ(viewer(n), c.previousPage) << n;
        for (const char *n : {"MN_NAVIGATION_NEXTFILE", "MN_NAVIGATION_LASTFILE"})
            EXPECT_EQ(viewer(n), c.nextFile) << n;
        for (const char *n : {"MN_NAVIGATION_PREVIOUSFILE", "MN_NAVIGATION_FIRSTFILE"})
            EXPECT_EQ(viewer(n), c.previousFile) << n;
        for (const char *n : {"MN_ZOOM_IN", "MN_ZOOM_400", "MN_ZOOM_ACTUALSIZE", "MN_ZOOM_BESTFIT"})
            EXPECT_EQ(viewer(n), c.zoom) << n;
        EXPECT_EQ(viewer("MN_IMAGE_CROP"), c.crop);
        EXPECT_EQ(viewer("MN_IMAGE_BRIGHTCONTRAST"), c.brightness);
        for (const char *n : {"MN_EDIT_SELECTALL", "MN_EDIT_INVERTSELECTION"})
            EXPECT_EQ(viewer(n), c.selectAll) << n;
        // In single-page mode the page shown decides the text effect and blank search is off;
        // with thumbnails the page selection decides them.
        EXPECT_EQ(st.viewer.contains("MN_IMAGE_TEXT"), c.single);
        EXPECT_EQ(st.viewer.value("MN_IMAGE_TEXT"), c.text);
        EXPECT_EQ(st.viewer.contains("MN_IMAGE_SEARCHBLANKPAGE"), c.single);
        EXPECT_FALSE(st.viewer.value("MN_IMAGE_SEARCHBLANKPAGE"));
    }
}

TEST(CommandTable, EntriesOfThePopUpsTakeTheirShortcutsToTheWindow)
{
    QHash<QString, const CommandSpec *> byName;
    for (const CommandSpec &c : MainCommands())
        if (*c.name)
            byName.insert(QString::fromLatin1(c.name), &c);
    const struct {
        const char *name;
        bool inPopup;
    } cases[] = {
        {"MN_FILE_DELETE", false}, {"MN_ZOOM_IN", false},      {"MN_FILE_NewFolder", false},
        {"PMN_FILE_DELETE", true}, {"PMN_FILE_DELETE1", true}, {"PMN_EDIT_PASTE", true},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(byName.contains(c.name)) << c.name;
        EXPECT_EQ(InPopup(*byName.value(c.name)), c.inPopup) << c.name;
    }
    // Whatever hangs below a pop-up, however deep, is the pop-up's too.
    int deep = 0;
    for (const CommandSpec &c : MainCommands()) {
        const QString menu = QString::fromLatin1(c.menu);
        if (*c.name && !menu.startsWith(u'P') && menu != u"MainMenu1" && byName.contains(menu) &&
            InPopup(*byName.value(menu))) {
            ++deep;
            EXPECT_TRUE(InPopup(c)) << c.name;
        }
    }
    EXPECT_GT(deep, 0);
}
