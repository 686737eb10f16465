#pragma once
// Every message box and question of the program goes through here, so tests can
// read exactly what the user was shown and answer without a screen.
#include <QList>
#include <QString>

#include <functional>

class QWidget;

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRecord {
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

class Messages {
public:
    // Shows a message box owned by owner (the active window when null) and returns the answer.
    static MsgAnswer Show(const QString &text, const QString &caption, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok, QWidget *owner = nullptr);

    // Caption "提示", information icon.
    static void Info(const QString &text, QWidget *owner = nullptr);
    // Caption "错误", error icon.
    static void Error(const QString &text, QWidget *owner = nullptr);
    // Caption "询问", Yes/No; true for Yes.
    static bool Ask(const QString &text, QWidget *owner = nullptr);

    // Tests: a responder answers instead of a dialog; every shown message is recorded.
    using Responder = std::function<MsgAnswer(const MessageRecord &)>;
    static void SetResponder(Responder responder);
    static const QList<MessageRecord> &Shown();
    static void ClearShown();
};
