#pragma once
// Drags in the main window with the mouse. The offscreen platform has no drag and drop of
// its own: the press and the moves that start a view's drag are real, and the window's
// drag runner then stands in for the platform, carrying the drag's data over the target
// view to the drop point as the platform's events would.
#include "TForm1.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QStringList>
#include <QTest>
#include <QUrl>

namespace arkavo::test {

// Enter, a move to At and, when both were accepted, the drop. Whether the drop was taken;
// Allowed, whether the target let it come.
inline bool DeliverDrop(const QMimeData *mime, QAbstractItemView *to, QPoint at, bool *allowed = nullptr)
{
    QWidget *port = to->viewport();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(port, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(port, &move);
    const bool ok = enter.isAccepted() && move.isAccepted();
    if (allowed)
        *allowed = ok;
    if (!ok)
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(port, &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

struct DragResult {
    bool started = false; // the view began a drag
    bool allowed = false; // the target let it come
    bool dropped = false; // and took the drop
    QList<QUrl> urls;     // the files it offered other programs
};

// Presses on Press in From's viewport and moves until the view starts its drag, which is
// let go over To's viewport at At.
inline DragResult DragWithMouse(TForm1 &form, QAbstractItemView *from, QPoint press, QAbstractItemView *to,
                                QPoint at)
{
    DragResult result;
    form.RunDrag = [&](QDrag *d) {
        result.started = true;
        result.urls = d->mimeData()->urls();
        result.dropped = DeliverDrop(d->mimeData(), to, at, &result.allowed);
    };
    QWidget *port = from->viewport();
    QTest::mousePress(port, Qt::LeftButton, {}, press);
    QTest::mouseMove(port, press + QPoint(4, 4));
    QTest::mouseMove(port, press + QPoint(30, 30));
    QTest::mouseRelease(port, Qt::LeftButton, {}, press + QPoint(30, 30));
    form.RunDrag = nullptr;
    QCoreApplication::processEvents();
    return result;
}

} // namespace arkavo::test
