// The image menu: every image command of the menu, the tool bars and the page list's
// pop-up runs here, on the selected pages of the list or on the viewer's page.
#include "TForm1.h"

#include "BusyCursor.h"
#include "CommandTable.h"
#include "ImageBatch.h"
#include "PageListView.h"
#include "Quietly.h"
#include "TForm5.h"
#include "TFormImgProcSetting.h"
#include "TFormSetAngle.h"
#include "TImageManager.h"
#include "Messages.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProgressBar>
#include <QDir>
#include <QScopeGuard>

#include <optional>

#include "ovisco/OviscoInterface.h"

namespace {

// Selections this long show their progress in the status bar.
constexpr int kProgressFrom = 8;

} // namespace

void TForm1::connectImageCommands()
{
    for (const CommandSpec &c : MainCommands()) {
        if (c.kind != CommandSpec::Item || !QByteArrayView(c.menu).startsWith("MN_IMAGE"))
            continue;
        const QString name = QString::fromLatin1(c.name);
        if (ImageOpOf(name) == ImageOp::None)
            continue;
        QAction *action = Action(name);
        connect(action, &QAction::triggered, this, [this, action] { ImageProc(action); });
    }
    for (const ImageMirror &m : ImagePopupMirror()) {
        QAction *popup = Action(QString::fromLatin1(m.popupName));
        const QString target = QString::fromLatin1(m.menuName);
        if (!popup || popup->menu())
            continue;
        if (target == u"MN_IMAGE_SETTING")
            connect(popup, &QAction::triggered, this, &TForm1::MN_IMAGE_SETTINGClick);
        else if (target == u"MN_IMAGE_BRIGHTCONTRAST")
            // The pop-up's copy shows the brightness and contrast window as the menu's does.
            connect(popup, &QAction::triggered, this, [this] {
                if (QAction *a = Action(QStringLiteral("MN_IMAGE_BRIGHTCONTRAST")); a && a->isEnabled())
                    a->trigger();
            });
        else if (ImageOpOf(target) != ImageOp::None)
            connect(popup, &QAction::triggered, this, [this, popup] { ImageProc(popup); });
    }
    if (QAction *setting = Action(QStringLiteral("MN_IMAGE_SETTING")))
        connect(setting, &QAction::triggered, this, &TForm1::MN_IMAGE_SETTINGClick);
}

void TForm1::MN_IMAGE_SETTINGClick()
{
    FormImgProcSetting->exec();
}

void TForm1::ImageProc(QAction *sender)
{
    if (!sender || ListView1->count() == 0)
        return;
    // A pop-up entry stands for the main-menu entry in its place.
    QString name = sender->objectName();
    for (const ImageMirror &m : ImagePopupMirror())
        if (name == QLatin1String(m.popupName))
            name = QString::fromLatin1(m.menuName);
    const ImageOp op = ImageOpOf(name);
    if (op == ImageOp::None)
        return;
    const bool single = Action(QStringLiteral("MN_VIEW_SINGLE"))->isChecked() && Viewer;
    if (op == ImageOp::SearchBlankPage && !single)
        ListView1->selectAll();
    QList<int> rows;
    for (int row = 0; row < ListView1->count(); ++row)
        if (ListView1->item(row)->isSelected())
            rows << row;
    if (rows.isEmpty())
        return;
    if (!single)
        ListView1->setFocus();

    ImageOpParams params;
    params.settings = FormImgProcSetting->Values();
    if (Viewer) {
        const TViewerRect &s = Viewer->ViewerSelection;
        params.selection = {s.Left, s.Top, s.Right, s.Bottom};
    }
    if (op == ImageOp::RotateCustom) {
        // Asked once, for every page; Cancel changes nothing.
        TFormSetAngle dialog(this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        params.angle = dialog.Angle();
    }

    // No second command can start while this one runs; the window still paints.
    setEnabled(false);
    std::optional<BusyCursor> busy(std::in_place);
    auto restore = qScopeGuard([this] { setEnabled(true); });

    if (single) {
        // The viewer's page: its result goes back into the viewer, which writes it when the
        // operator moves on. Switching to single-page mode leaves one page selected, so the
        // page is processed once.
        const TCodecImage shown = Viewer->GetViewerImage();
        if (!shown.Dib)
            return;
        arkavo::GlobalBlock result = RunImageOp(op, shown.Dib, params);
        if (!result)
            return;
        const bool turn = IsQuarterOrHalfTurn(op);
        if (turn)
            Viewer->setUpdatesEnabled(false);
        Viewer->SetViewerImage({shown.XResolution, shown.YResolution, result.release()});
        if (turn) {
            if (Viewer->OviscoPicture)
                arkavo::Quietly("fit", [&] { Viewer->OviscoPicture->FitTo(0); });
            Viewer->setUpdatesEnabled(true);
        }
        return;
    }

    QList<ImageBatchPage> pages;
    for (int row : rows) {
        const QString path = ImageManager->GetPagePath(row);
        pages.push_back({path, path.isEmpty() ? QString() : ImageManager->ThumbnailPathOf(path)});
    }
    ImageBatch batch(op, params, pages, ImageBatch::DefaultThreads());
    const bool progress = rows.size() >= kProgressFrom;
    if (progress) {
        ProgressBar1->setRange(0, int(rows.size()));
        ProgressBar1->setValue(0);
        ProgressBar1->show();
    }
    const auto hideProgress = qScopeGuard([this, progress] {
        if (progress)
            ProgressBar1->hide();
    });
    int failed = 0;
    QString firstFailed;
    for (int k = 0; k < rows.size(); ++k) {
        QListWidgetItem *item = ListView1->item(rows[k]);
        item->setSelected(false);
        ListView1->scrollToItem(item);
        const PageOutcome outcome = pages[k].pagePath.isEmpty() ? PageOutcome::NotLoaded : batch.WaitFor(k);
        if (progress)
            ProgressBar1->setValue(k + 1);
        if (outcome == PageOutcome::Written)
            TPageListView::SetImageIndex(item, -1); // the list asks for the new thumbnail
        if (outcome == PageOutcome::SaveFailed && failed++ == 0)
            firstFailed = pages[k].pagePath;
        if (op == ImageOp::SearchBlankPage ? outcome == PageOutcome::Blank
                                           : outcome != PageOutcome::NotLoaded)
            item->setSelected(true);
    }
    LoadVisibleThumbnails();
    // The message comes once the window works again.
    restore.dismiss();
    setEnabled(true);
    busy.reset();
    if (failed > 0)
        Messages::Show(QStringLiteral("有 %1 个页面无法保存处理结果，保持原样未作修改（第一个：%2）！")
                           .arg(failed)
                           .arg(QDir::toNativeSeparators(firstFailed)),
                       QStringLiteral("错误"), MsgIcon::Error, MsgButtons::Ok, this);
}
