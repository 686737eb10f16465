#pragma once
// The value column of an index value grid: character rows are limited to their field
// length, number rows take only what a number is typed with (digits and signs, and the
// decimal point for reals); any other typed key, Backspace included, is swallowed with a
// beep. Used by the value panel and the advanced search.
#include "FieldStore.h"

#include <QStyledItemDelegate>

#include <functional>

class FieldValueDelegate : public QStyledItemDelegate {
public:
    // FieldOf gives the definition of a grid row (null for none); Beep sounds a refusal.
    FieldValueDelegate(std::function<const FieldRecord *(int row)> fieldOf, std::function<void()> beep,
                       QObject *parent);
    // The rows of a grid that shows Defs in order; both references must outlive the delegate.
    FieldValueDelegate(const FieldDefList &defs, const std::function<void()> &beep, QObject *parent);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    // Ends the open editor, keeping its text in the grid or dropping it.
    void finish(QWidget *editor, bool keep);

    // Whether a character typed into a row of the given field type is taken.
    static bool TakesTypedChar(int fieldType, QChar c);

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    bool refuse() const;

    std::function<const FieldRecord *(int row)> m_fieldOf;
    std::function<void()> m_beep;
};
