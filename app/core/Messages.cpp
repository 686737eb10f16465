#include "Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace {

Messages::Responder &responder()
{
    static Messages::Responder r;
    return r;
}

QList<MessageRecord> &shownList()
{
    static QList<MessageRecord> list;
    return list;
}

} // namespace

MsgAnswer Messages::Show(const QString &text, const QString &caption, MsgIcon icon, MsgButtons buttons,
                         QWidget *owner)
{
    const MessageRecord record{text, caption, icon, buttons};
    if (responder()) {
        shownList().append(record);
        return responder()(record);
    }

    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MsgIcon::Information:
        qicon = QMessageBox::Information;
        break;
    case MsgIcon::Warning:
        qicon = QMessageBox::Warning;
        break;
    case MsgIcon::Error:
        qicon = QMessageBox::Critical;
        break;
    case MsgIcon::Question:
        qicon = QMessageBox::Question;
        break;
    case MsgIcon::None:
        break;
    }
    QMessageBox::StandardButtons qbuttons = QMessageBox::Ok;
    switch (buttons) {
    case MsgButtons::Ok:
        break;
    case MsgButtons::OkCancel:
        qbuttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case MsgButtons::YesNo:
        qbuttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case MsgButtons::YesNoCancel:
        qbuttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    if (!owner)
        owner = QApplication::activeWindow();
    QMessageBox box(qicon, caption, text, qbuttons, owner);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        return MsgAnswer::Ok;
    }
}

void Messages::Info(const QString &text, QWidget *owner)
{
    Show(text, QStringLiteral("提示"), MsgIcon::Information, MsgButtons::Ok, owner);
}

void Messages::Error(const QString &text, QWidget *owner)
{
    Show(text, QStringLiteral("错误"), MsgIcon::Error, MsgButtons::Ok, owner);
}

bool Messages::Ask(const QString &text, QWidget *owner)
{
    return Show(text, QStringLiteral("询问"), MsgIcon::Question, MsgButtons::YesNo, owner) == MsgAnswer::Yes;
}

void Messages::SetResponder(Responder r)
{
    responder() = std::move(r);
}

const QList<MessageRecord> &Messages::Shown()
{
    return shownList();
}

void Messages::ClearShown()
{
    shownList().clear();
}
