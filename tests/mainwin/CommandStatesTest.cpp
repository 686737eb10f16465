#include "CommandStates.h"

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
