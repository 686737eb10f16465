// The catalogue context over a real store: what it reports of the tree and the page list,
// and that it tells of changes once rather than page by page.
#include "CatalogContext.h"

#include "StoreFixture.h"

#include <QCoreApplication>
#include <QSignalSpy>

using namespace store_test;

namespace {

class Context : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        addType(1, "T", 1);
        addFolder(1, 1, "F", 1);
        addFile(1, 1, 1, "A", 1);
        for (int n = 1; n <= kPages; ++n)
            writeFile(imagesDir(QString("T/F/A/P%1.tif").arg(n, 7, 10, QChar('0'))), "page");
        store->LoadTree("0,1,2,3,4,5,6");
        file = rootNode()->child(0)->child(0)->child(0);
        context = std::make_unique<TCatalogContext>(store.get(), tree.get(), list.get());
    }
    static constexpr int kPages = 30;
    QTreeWidgetItem *file = nullptr;
    std::unique_ptr<TCatalogContext> context;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, Context, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(Context, FillingTheListIsToldOnceNotPageByPage)
{
    QSignalSpy changed(context.get(), &TCatalogContext::SelectionChanged);
    store->ShowNode(file, nullptr);
    ASSERT_EQ(list->count(), kPages);
    EXPECT_LE(changed.count(), 2);
    QCoreApplication::processEvents();
    EXPECT_GE(changed.count(), 1);
    EXPECT_LE(changed.count(), 3);
}

TEST_P(Context, ReportsTheSelectedNodeAndPages)
{
    EXPECT_EQ(context->SelectedNode(), nullptr);
    EXPECT_EQ(context->SelectedLevel(), -1);
    context->SelectNode(file);
    EXPECT_EQ(context->SelectedNode(), file);
    EXPECT_EQ(context->SelectedLevel(), 3);
    EXPECT_EQ(context->NodeAt(AbsoluteIndex(file)), file);
    EXPECT_EQ(AbsoluteIndex(rootNode()), 0);
    EXPECT_EQ(context->NodeAt(-1), nullptr);

    store->ShowNode(file, nullptr);
    context->SelectPage(2);
    EXPECT_EQ(context->SelectedPageCount(), 1);
    EXPECT_EQ(context->SelectedPagePaths(), QStringList{imagesDir("T/F/A/P0000003.tif")});
    EXPECT_EQ(context->PageFileName(2), "A");
    EXPECT_EQ(context->PageFileName(kPages), QString());
    context->SelectPage(kPages); // no such row: nothing changes
    EXPECT_EQ(context->SelectedPageCount(), 1);
    context->ClearPageSelection();
    EXPECT_EQ(context->SelectedPageCount(), 0);
}

TEST_P(Context, TellsOfViewerAndClipboardChangesOnlyWhenTheyChange)
{
    QSignalSpy viewer(context.get(), &TCatalogContext::ViewerChanged);
    QSignalSpy clipboard(context.get(), &TCatalogContext::ClipboardChanged);
    TViewerState state;
    context->SetViewer(state);
    context->SetClipboardHasFiles(false);
    EXPECT_EQ(viewer.count(), 0);
    EXPECT_EQ(clipboard.count(), 0);
    state.open = true;
    state.page = 3;
    context->SetViewer(state);
    context->SetViewer(state);
    context->SetClipboardHasFiles(true);
    EXPECT_EQ(viewer.count(), 1);
    EXPECT_EQ(clipboard.count(), 1);
    EXPECT_EQ(context->Viewer().page, 3);
    EXPECT_TRUE(context->ClipboardHasFiles());
}
