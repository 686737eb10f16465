#pragma once
// The page list: an icon-mode list holding one page entry per item, a thumbnail image
// index and a position that the store sets explicitly.
#include "PageEntry.h"

#include <QList>
#include <QListWidget>
#include <QPoint>
#include <QSize>

#include <functional>

class QTimer;

class TPageListView : public QListWidget {
    Q_OBJECT
public:
    // Item data roles.
    enum Role {
        SubItemRole = Qt::UserRole + 100, // + 0..3: file name, page number, file order, extension
        PathRole = Qt::UserRole + 104,
        ImageIndexRole = Qt::UserRole + 110,
        PositionRole = Qt::UserRole + 111,
    };
    static constexpr int kThumbWidth = 135;
    static constexpr int kThumbHeight = 160;

    explicit TPageListView(QWidget *parent = nullptr);
    // The model goes with the widget's children and reports its reset on the way.
    ~TPageListView() override;

    // Size of the large images (the thumbnail box).
    QSize LargeImageSize() const { return {kThumbWidth, kThumbHeight}; }

    // An item showing Entry: caption "name-n", image index -1.
    static QListWidgetItem *MakePageItem(const PageEntry &entry);
    static PageEntry EntryOf(const QListWidgetItem *item);
    // Also sets the caption; the image index stays.
    static void SetEntryOf(QListWidgetItem *item, const PageEntry &entry);

    PageEntry Entry(int row) const { return EntryOf(item(row)); }
    void InsertEntry(int row, const PageEntry &entry) { insertItem(row, MakePageItem(entry)); }
    void AppendEntry(const PageEntry &entry) { addItem(MakePageItem(entry)); }
    void SetEntry(int row, const PageEntry &entry) { SetEntryOf(item(row), entry); }
    // Row of the item whose page file is Path; -1 when none shows it.
    int RowOf(const QString &path) const;
    // The selected items' entries, in row order.
    QList<PageEntry> SelectedEntries() const;

    // The sub-items by number, as text: 0 file name, 1 page number, 2 file order, 3
    // extension. Changing the file name, the page number or the extension this way
    // drops the entry's path.
    static QListWidgetItem *MakePageItem(const QString &fileName, int pageNo, int fileOrder,
                                         const QString &ext);
    static QString SubItem(const QListWidgetItem *item, int index);
    static void SetSubItem(QListWidgetItem *item, int index, const QString &value);
    QString SubItem(int row, int index) const { return SubItem(item(row), index); }

    static int ImageIndex(const QListWidgetItem *item);
    static void SetImageIndex(QListWidgetItem *item, int index);

    // Explicit item positions, in list contents coordinates.
    void SetItemPosition(int row, const QPoint &pos);
    QPoint ItemPosition(int row) const;

    // Removes every item and the thumbnail pictures cached for them.
    void ClearAll();

    // Whether VisibleRowsChanged is still to come.
    bool VisibleRowsPending() const;

    // Makes the drag of the selected pages in place of the list's own; none: no drag.
    std::function<void()> StartDrag;

signals:
    // The thumbnail pictures held for the items are no longer valid.
    void ThumbnailsCleared();
    // What the visible area shows may have changed: the list was scrolled, resized or
    // shown, or rows were inserted, removed, changed or placed. Sent once the event loop
    // runs again, however many changes came before.
    void VisibleRowsChanged();

protected:
    // The list's own drop would add items without page files, or move items on the screen
    // only: drops are the main window's, which watches the viewport.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void visibleRowsMayChange();

    QTimer *m_visibleRowsTimer;
};
