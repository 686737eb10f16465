#pragma once
// The main window's two views as the store fills them: the catalogue tree, which never
// edits the root and takes no drops, and the delegates that draw tree nodes with the
// picture of their level and page items in the thumbnail box's size.
#include "CutMark.h"
#include "PageListView.h"

#include <QDragMoveEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <functional>

class TForm1;

// The catalogue tree: items are reached from model indexes, and the root is never edited.
class TCatalogTreeView : public QTreeWidget {
public:
    using QTreeWidget::itemFromIndex;
    using QTreeWidget::QTreeWidget;

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override
    {
        if (!index.parent().isValid())
            return false;
        return QTreeWidget::edit(index, trigger, event);
    }
    // The tree's own drop would copy or move bare items with no catalogue rows or
    // directories behind them: drops are the main window's, which watches the viewport.
    void dragEnterEvent(QDragEnterEvent *event) override { event->ignore(); }
    void dragMoveEvent(QDragMoveEvent *event) override { event->ignore(); }
    void dropEvent(QDropEvent *event) override { event->ignore(); }
    // The main window makes the drag of the selected node.
    void startDrag(Qt::DropActions) override
    {
        if (StartDrag)
            StartDrag();
    }

public:
    std::function<void()> StartDrag;
};

// Draws each tree node with the picture of its level and hands finished edits to the rename.
class TCatalogTreeDelegate : public QStyledItemDelegate {
public:
    explicit TCatalogTreeDelegate(TForm1 *form) : QStyledItemDelegate(form), m_form(form) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        int level = 0;
        for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
            ++level;
        const QList<QPixmap> &pictures = m_form->ImageList4->Images;
        if (level < pictures.size()) {
            option->icon = QIcon(pictures[level]);
            option->features |= QStyleOptionViewItem::HasDecoration;
            option->decorationSize = QSize(16, 16);
        }
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        auto *edit = qobject_cast<QLineEdit *>(editor);
        QTreeWidgetItem *node = static_cast<TCatalogTreeView *>(m_form->TreeView1)->itemFromIndex(index);
        if (!edit || !node)
            return;
        QString name = edit->text();
        m_form->TreeView1Edited(node, name);
        node->setText(0, name);
    }

private:
    TForm1 *m_form;
};

// Every page item has the thumbnail box's size with its caption below, loaded or not,
// so the explicit positions of the store line up and pictures are never squeezed.
class TPageItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {TPageListView::kThumbWidth + 8,
                TPageListView::kThumbHeight + option.fontMetrics.height() + 10};
    }
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationSize = QSize(TPageListView::kThumbWidth, TPageListView::kThumbHeight);
        // The cut mark comes from the item's flag each time it is painted.
        if (index.data(kCutFlagRole).toBool() && !option->icon.isNull())
            option->icon = QIcon(CutMarked(option->icon.pixmap(option->decorationSize)));
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
    }
};
