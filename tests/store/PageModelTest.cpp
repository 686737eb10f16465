// The page list holds one entry per page; the store keeps every entry's path on its page
// file through renames, renumbering and replacement.
#include "StoreFixture.h"

#include <functional>

using namespace store_test;

void PrintTo(const PageEntry &e, std::ostream *os)
{
    *os << QString("{%1, %2, %3, %4, %5}")
               .arg(e.file)
               .arg(e.page)
               .arg(e.fileOrder)
               .arg(e.ext, e.path)
               .toStdString();
}

namespace {

QString pageName(int n, const QString &ext)
{
    return QString("P%1").arg(n, 7, 10, QChar('0')) + ext;
}

// A shown folder F with files A (three TIFF pages) and B (one JPEG page), and an empty
// folder G of another file type.
class PageModel : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        store->LoadTree("");
        type = store->NewFileType(true);
        otherType = store->NewFileType(true);
        folder = store->NewFolder(type, "F", true);
        otherFolder = store->NewFolder(otherType, "G", true);
        a = store->NewFile(folder, "A", true);
        b = store->NewFile(folder, "B", true);
        ASSERT_TRUE(a && b);
        for (int n = 1; n <= 3; ++n)
            writeFile(fileDir(a) + pageName(n, ".tif"), "a" + QByteArray::number(n));
        writeFile(fileDir(b) + pageName(1, ".jpg"), "b1");
        tree->setCurrentItem(folder);
        store->ShowNode(folder, nullptr);
    }
    QString fileDir(QTreeWidgetItem *file) const
    {
        QString path;
        store->GetNodePath(file, true, path);
        return path + "/";
    }
    // The content of each listed page's file, read through the entry's path, which must be
    // the path the shown names and the sub-items give.
    QStringList listedContents() const
    {
        QStringList out;
        for (int row = 0; row < list->count(); ++row) {
            const QString path = store->GetPagePath(row);
            EXPECT_EQ(path.toStdString(), store->ShownPagePath(list->Entry(row)).toStdString())
                << "row " << row;
            out << (QFileInfo::exists(path) ? QString::fromUtf8(readFile(path)) : "missing " + path);
        }
        return out;
    }

    QTreeWidgetItem *type = nullptr, *otherType = nullptr, *folder = nullptr, *otherFolder = nullptr;
    QTreeWidgetItem *a = nullptr, *b = nullptr;
};

} // namespace

TEST(PageEntries, RoundTripThroughItemsAndAgreeWithTheirSubItems)
{
    arkavo::test::EnsureApp();
    const PageEntry entries[] = {
        {"A", 1, 1, ".tif", "/r/Images/T/F/A/P0000001.tif"},
        {"O'Brien, 合同 A", 12, 3, ".jpg", "/r/Images/T/F/O'Brien, 合同 A/P0000012.jpg"},
        {"B-2", 9999999, -1, ".bmp", {}},
    };
    TPageListView list;
    for (const PageEntry &e : entries)
        list.AppendEntry(e);
    list.InsertEntry(0, entries[2]);
    list.SetEntry(0, entries[1]);
    ASSERT_EQ(list.count(), 4);
    for (int row = 0; row < list.count(); ++row) {
        const PageEntry &e = entries[row == 0 ? 1 : row - 1];
        const QListWidgetItem *item = list.item(row);
        EXPECT_EQ(list.Entry(row), e) << row;
        EXPECT_EQ(item->text(), e.file + "-" + QString::number(e.page));
        EXPECT_EQ((QStringList{list.SubItem(row, 0), list.SubItem(row, 1), list.SubItem(row, 2),
                               list.SubItem(row, 3)}),
                  (QStringList{e.file, QString::number(e.page), QString::number(e.fileOrder), e.ext}));
        EXPECT_EQ(TPageListView::ImageIndex(item), -1);
    }
    EXPECT_EQ(list.RowOf(entries[1].path), 0);
    EXPECT_EQ(list.RowOf(entries[0].path), 1);
    EXPECT_EQ(list.RowOf(QString()), -1); // an entry without a path is never found by one

    // Through the sub-items: a changed file order keeps the path; a changed page number
    // names another file, so the path goes.
    QListWidgetItem *item = list.item(1);
    TPageListView::SetSubItem(item, 2, "7");
    EXPECT_EQ(list.Entry(1), (PageEntry{"A", 1, 7, ".tif", entries[0].path}));
    TPageListView::SetSubItem(item, 1, "4");
    EXPECT_EQ(list.Entry(1), (PageEntry{"A", 4, 7, ".tif", {}}));
    EXPECT_EQ(TPageListView::EntryOf(nullptr), PageEntry{});
}

INSTANTIATE_TEST_SUITE_P(Backends, PageModel, arkavo::test::CatalogBackends(),
                         arkavo::test::CatalogBackendName);

TEST_P(PageModel, SelectedPagesComeInListOrderWithTheirPaths)
{
    ASSERT_EQ(list->count(), 4);
    for (int row : {3, 0, 2})
        list->setCurrentRow(row, QItemSelectionModel::Select);
    ASSERT_EQ(list->row(list->selectedItems().first()), 3); // the view keeps selection order

    const QList<PageEntry> selected = store->SelectedPages();
    ASSERT_EQ(selected.size(), 3);
    EXPECT_EQ(selected[0], list->Entry(0));
    EXPECT_EQ(selected[1], list->Entry(2));
    EXPECT_EQ(selected[2], (PageEntry{"B", 1, NodeData(b)->Order, ".jpg", fileDir(b) + "P0000001.jpg"}));
    QStringList paths;
    store->GetSelectedPagePaths(paths);
    EXPECT_EQ(paths, (QStringList{fileDir(a) + "P0000001.tif", fileDir(a) + "P0000003.tif",
                                  fileDir(b) + "P0000001.jpg"}));
}

TEST_P(PageModel, EveryListedPathStaysOnItsPageFileThroughRenamesRenumberingAndReplacement)
{
    writeFile(RootPath + "scan.jpg", "scan");
    const auto renaming = [this](QTreeWidgetItem *node, const QString &name) {
        return [this, node, name] {
            QString newName = name;
            store->RenameNode(node, newName);
        };
    };
    const struct Step {
        const char *what;
        std::function<void()> change;
        QStringList contents;
    } steps[] = {
        {"as shown", [] {}, {"a1", "a2", "a3", "b1"}},
        {"file renamed", renaming(a, "A 2"), {"a1", "a2", "a3", "b1"}},
        {"folder renamed", renaming(folder, "F 2"), {"a1", "a2", "a3", "b1"}},
        {"file type renamed", renaming(type, "T 2"), {"a1", "a2", "a3", "b1"}},
        {"page 2 deleted",
         [&] {
             QStringList paths{store->GetPagePath(1)};
             store->DeletePages(&paths, true);
         },
         {"a1", "a3", "b1"}},
        {"page 1 replaced by a JPEG",
         [&] { store->ReplacePage(0, RootPath + "scan.jpg"); },
         {"scan", "a3", "b1"}},
        {"folder moved to another file type",
         [&] { ASSERT_TRUE(store->MoveFolderNode(folder, otherType)); },
         {"scan", "a3", "b1"}},
        {"shown file moved to another folder",
         [&] {
             tree->setCurrentItem(a);
             store->ShowNode(a, nullptr);
             ASSERT_TRUE(store->MoveFileNode(a, otherFolder));
         },
         {"scan", "a3"}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_EQ(listedContents(), step.contents);
    }
    EXPECT_EQ(store->GetPagePath(0), fileDir(a) + "P0000001.jpg");
}
