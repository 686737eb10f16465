// The viewer's page and file navigation, and its zoom commands with the zoom box text.
#include "TForm5.h"

#include "Quietly.h"
#include "TImageManager.h"

#include "ovisco/OviscoInterface.h"

#include <QComboBox>
#include <QScreen>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

void TForm5::showZoomText()
{
    // Nearest whole number, halves to even.
    ComboBox2->setEditText(QString::number(std::nearbyint(Zoom()), 'f', 0) + u'%');
}

// ---- Page and file navigation ----

void TForm5::btn_FirstPageClick()
{
    if (PageIndex < 0)
        return;
    const QString name = itemFileName(PageIndex);
    int i = PageIndex;
    while (i > 0 && itemFileName(i - 1) == name)
        --i;
    if (i != PageIndex)
        ShowPage(i);
}

void TForm5::btn_LastPageClick()
{
    if (PageIndex < 0 || !Context)
        return;
    const QString name = itemFileName(PageIndex);
    int i = PageIndex;
    while (i + 1 < Context->PageCount() && itemFileName(i + 1) == name)
        ++i;
    if (i != PageIndex)
        ShowPage(i);
}

void TForm5::btn_NextPageClick()
{
    if (PageIndex < 0 || !Context)
        return;
    if (PageIndex + 1 < Context->PageCount() && itemFileName(PageIndex + 1) == itemFileName(PageIndex))
        Context->SelectPage(PageIndex + 1);
}

void TForm5::btn_PreviousPageClick()
{
    if (PageIndex < 1 || !Context)
        return;
    if (itemFileName(PageIndex - 1) == itemFileName(PageIndex))
        Context->SelectPage(PageIndex - 1);
}

// First, last (delta 0) or neighbouring file (delta -1 / +1).
void TForm5::fileStep(bool first, bool last, int delta)
{
    if (FileIndex == -1 || !Context)
        return;
    QTreeWidgetItem *node = selectedTreeNode();
    if (!node)
        return;
    int level = 0;
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        ++level;
    if (level == 3) {
        QTreeWidgetItem *folder = node->parent();
        QTreeWidgetItem *target = nullptr;
        if (first)
            target = folder->child(0);
        else if (last)
            target = folder->child(folder->childCount() - 1);
        else
            target = folder->child(folder->indexOfChild(node) + delta);
        if (target && target != node)
            Context->SelectNode(target);
        return;
    }
    if (level != 2)
        return;
    QTreeWidgetItem *target = nullptr;
    if (first) {
        target = node->child(0);
    } else if (last) {
        target = node->child(node->childCount() - 1);
    } else {
        QTreeWidgetItem *current = Context->NodeAt(FileIndex);
        QTreeWidgetItem *parent = current ? current->parent() : nullptr;
        if (parent)
            target = parent->child(parent->indexOfChild(current) + delta);
    }
    if (!target)
        return;
    const int item =
        Context->Store() ? Context->Store()->FindPageItem(target->text(0), QStringLiteral("1"), 0) : -1;
    if (item >= 0) {
        Context->SelectPage(item);
    } else {
        Context->ClearPageSelection();
        SetCurrentFile(AbsoluteIndex(target));
    }
}

void TForm5::btn_FirstFileClick()
{
    fileStep(true, false, 0);
}

void TForm5::btn_LastFileClick()
{
    fileStep(false, true, 0);
}

void TForm5::btn_NextFileClick()
{
    fileStep(false, false, 1);
}

void TForm5::btn_PreviousFileClick()
{
    fileStep(false, false, -1);
}

// ---- Zoom ----

void TForm5::zoomStep(bool in)
{
    if (!OviscoPicture || !HasImage() || Busy)
        return;
    Busy = true;
    arkavo::Quietly("zoom", [&] {
        const double zoom = OviscoPicture->Zoom();
        OviscoPicture->setZoom(in ? std::min(zoom * 2, 10000.0) : std::max(zoom / 2, 2.0));
    });
    Busy = false;
    showZoomText();
}

void TForm5::fitTo(int mode)
{
    if (!OviscoPicture || !HasImage() || Busy)
        return;
    Busy = true;
    arkavo::Quietly("fit", [&] { OviscoPicture->FitTo(mode); });
    Busy = false;
    showZoomText();
}

void TForm5::btn_ZOOM_ACTUALSIZEClick()
{
    // Without a page or a page resolution there is no actual size to show.
    if (!OviscoPicture || !HasImage() || PageImage.XResolution <= 0)
        return;
    double dpi = ScreenDpi;
    if (dpi <= 0) {
        const QScreen *s = screen();
        dpi = s ? s->logicalDotsPerInchX() : 96;
    }
    OviscoPicture->setZoom(std::nearbyint(dpi * 100 / PageImage.XResolution));
    showZoomText();
}

void TForm5::ComboBox2Apply()
{
    QString text = ComboBox2->currentText();
    const qsizetype percent = text.indexOf(u'%');
    if (percent >= 0)
        text.truncate(percent);
    bool ok = false;
    const double zoom = text.trimmed().toDouble(&ok);
    if (ok && OviscoPicture)
        OviscoPicture->setZoom(zoom);
}
