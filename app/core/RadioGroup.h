#pragma once
// A captioned group of radio buttons laid out in columns (filled column by column), one of
// which is chosen, by index. The buttons are named after the group: "<name>_0", "<name>_1"...
#include <QList>
#include <QStringList>
#include <QWidget>

class QGroupBox;
class QRadioButton;

class TRadioGroup : public QWidget {
    Q_OBJECT
public:
    TRadioGroup(const char *name, const QString &caption, const QStringList &items, int columns,
                QWidget *parent);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton *Item(int index) const { return Buttons.value(index); }

    QList<QRadioButton *> Buttons;
    QGroupBox *Box;

signals:
    // The user chose an item (also the one already chosen).
    void Clicked(int index);
};
