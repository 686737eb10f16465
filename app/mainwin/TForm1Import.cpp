// Importing outside image files as pages, at the end of a file or before a page.
#include "TForm1.h"

#include "CatalogContext.h"
#include "Messages.h"
#include "PageImport.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TImageManager.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QListWidget>
#include <QTreeWidget>

// ---- Import ----

QStringList TForm1::chooseImportFiles()
{
    if (ChooseImportFiles)
        return ChooseImportFiles();
    if (OpenDialog1->exec() != QDialog::Accepted)
        return {};
    return OpenDialog1->selectedFiles();
}

// Runs an import with the page list frozen and hidden, then places the pages, shows the
// first selected one and gives the list back. Failures inside end the import quietly.
void TForm1::importWithListFrozen(const std::function<void()> &work)
{
    ListView1->setUpdatesEnabled(false);
    ListView1->hide();
    arkavo::Quietly("import", [&] {
        work();
        ImageManager->ArrangeThumbnails();
        if (!ListView1->selectedItems().isEmpty())
            ListView1->scrollToItem(ListView1->selectedItems().first());
    });
    ListView1->show();
    if (!Action(QStringLiteral("MN_VIEW_SINGLE"))->isChecked())
        ListView1->setFocus();
    ListView1->setUpdatesEnabled(true);
    UpdateCommandStates();
}

void TForm1::MN_FILE_AppendImportClick()
{
    const QStringList files = chooseImportFiles();
    if (files.isEmpty())
        return;
    QCoreApplication::processEvents();
    importWithListFrozen([&] { importPagesInto(m_context->SelectedNode(), files); });
}

void TForm1::MN_FILE_InsertImportClick()
{
    if (ListView1->count() == 0) {
        MN_FILE_AppendImportClick();
        return;
    }
    const QStringList files = chooseImportFiles();
    if (files.isEmpty())
        return;
    importWithListFrozen([&] {
        QListWidgetItem *target = ListView1->currentItem() ? ListView1->currentItem() : ListView1->item(0);
        const int order = TPageListView::SubItem(target, 2).toInt();
        const QString fileName = TPageListView::SubItem(target, 0);
        TImportContext context{this, ProgressBar1, StatusBar1};
        ImportPages(*ImageManager, files, ImageManager->ShownAppName, order, fileName,
                    ImageManager->ShownBatchName, context);
        ImageManager->MovePagesBefore(target, nullptr);
    });
}
