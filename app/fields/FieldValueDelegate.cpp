#include "FieldValueDelegate.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

FieldValueDelegate::FieldValueDelegate(std::function<const FieldRecord *(int row)> fieldOf,
                                       std::function<void()> beep, QObject *parent)
    : QStyledItemDelegate(parent), m_fieldOf(std::move(fieldOf)), m_beep(std::move(beep))
{
}

FieldValueDelegate::FieldValueDelegate(const FieldDefList &defs, const std::function<void()> &beep,
                                       QObject *parent)
    : FieldValueDelegate(
          [&defs](int row) -> const FieldRecord * {
              return row >= 0 && row < defs.size() ? defs.at(row) : nullptr;
          },
          [&beep] {
              if (beep)
                  beep();
          },
          parent)
{
}

bool FieldValueDelegate::TakesTypedChar(int fieldType, QChar c)
{
    // Backspace counts as a typed character in number rows.
    const bool digitOrSign = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-';
    switch (fieldType) {
    case 1:
        return digitOrSign;
    case 2:
        return digitOrSign || c == u'.';
    default:
        return true;
    }
}

QWidget *FieldValueDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                          const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (!editor)
        return nullptr;
    const FieldRecord *field = m_fieldOf ? m_fieldOf(index.row()) : nullptr;
    editor->setProperty("fieldType", field ? field->FieldType : 3);
    if (auto *line = qobject_cast<QLineEdit *>(editor); line && field && field->FieldType == 0)
        line->setMaxLength(qMax(1, field->FieldLength));
    return editor;
}

void FieldValueDelegate::finish(QWidget *editor, bool keep)
{
    if (keep)
        emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool FieldValueDelegate::eventFilter(QObject *object, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        const bool backspace = key->key() == Qt::Key_Backspace;
        // Keys that type nothing (arrows, Enter, Escape, Delete, shortcuts) are not filtered.
        if (backspace || (!text.isEmpty() && text.at(0).isPrint())) {
            const int type = object->property("fieldType").toInt();
            const QChar c = backspace ? QChar(u'\b') : text.at(0);
            if (!TakesTypedChar(type, c))
                return refuse();
        }
    } else if (event->type() == QEvent::InputMethod) {
        // Text from an input method is typed text as well.
        const int type = object->property("fieldType").toInt();
        const QString text = static_cast<QInputMethodEvent *>(event)->commitString();
        for (QChar c : text)
            if (!TakesTypedChar(type, c))
                return refuse();
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

bool FieldValueDelegate::refuse() const
{
    if (m_beep)
        m_beep();
    return true;
}
