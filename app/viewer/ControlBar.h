#pragma once
// A band of tool bars that wraps onto further rows when the viewer is too narrow, so
// that no button is ever pushed into an overflow menu.
#include <QLayout>
#include <QList>

class TBandLayout : public QLayout {
public:
    explicit TBandLayout(QWidget *parent) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }
    ~TBandLayout() override;

    void addItem(QLayoutItem *item) override { m_items.append(item); }
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    int arrange(const QRect &rect, bool apply) const;
    QList<QLayoutItem *> m_items;
};
