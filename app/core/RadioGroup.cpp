#include "RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const char *name, const QString &caption, const QStringList &items, int columns,
                         QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QLatin1String(name));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Box = new QGroupBox(caption, this);
    outer->addWidget(Box);
    auto *grid = new QGridLayout(Box);
    auto *group = new QButtonGroup(this);
    const int rows = (int(items.size()) + std::max(columns, 1) - 1) / std::max(columns, 1);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items[i], Box);
        button->setObjectName(objectName() + u'_' + QString::number(i));
        group->addButton(button, i);
        grid->addWidget(button, i % rows, i / rows);
        Buttons << button;
    }
    connect(group, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
    SetItemIndex(0);
}

int TRadioGroup::ItemIndex() const
{
    for (int i = 0; i < Buttons.size(); ++i)
        if (Buttons[i]->isChecked())
            return i;
    return -1;
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QRadioButton *b = Buttons.value(index))
        b->setChecked(true);
}
