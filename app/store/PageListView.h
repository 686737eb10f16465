#pragma once
// The page list: an icon-mode list whose items carry the page's file name, page
// number, file order and extension, a thumbnail image index and a position that the
// store sets explicitly.
#include <QListWidget>
#include <QPoint>
#include <QSize>

class TPageListView : public QListWidget {
    Q_OBJECT
public:
    // Item data roles.
    enum Role {
        SubItemRole = Qt::UserRole + 100, // + 0..3: file name, page number, file order, extension
        ImageIndexRole = Qt::UserRole + 110,
        PositionRole = Qt::UserRole + 111,
    };
    static constexpr int kThumbWidth = 135;
    static constexpr int kThumbHeight = 160;

    explicit TPageListView(QWidget *parent = nullptr);

    // Size of the large images (the thumbnail box).
    QSize LargeImageSize() const { return {kThumbWidth, kThumbHeight}; }

    // Builds an item the way the store shows a page: caption "name-n", image index -1.
    static QListWidgetItem *MakePageItem(const QString &fileName, int pageNo, int fileOrder,
                                         const QString &ext);
    static QString SubItem(const QListWidgetItem *item, int index);
    static void SetSubItem(QListWidgetItem *item, int index, const QString &value);
    static int ImageIndex(const QListWidgetItem *item);
    static void SetImageIndex(QListWidgetItem *item, int index);

    QString SubItem(int row, int index) const { return SubItem(item(row), index); }

    // Explicit item positions, in list contents coordinates.
    void SetItemPosition(int row, const QPoint &pos);
    QPoint ItemPosition(int row) const;

    // Removes every item and the thumbnail pictures cached for them.
    void ClearAll();

signals:
    // The thumbnail pictures held for the items are no longer valid.
    void ThumbnailsCleared();

protected:
    // The list's own drop would add items without page files, or move items on the screen
    // only. A drag of the list's own pages is followed (the window scrolls the list near
    // its edges), but nothing is dropped.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
