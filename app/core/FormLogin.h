#pragma once
// The login window. Start-up runs its login action without showing it; the action
// (OpenCatalog) creates the catalogue file and its tables when they are missing.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TFormLogin : public QDialog {
    Q_OBJECT
public:
    explicit TFormLogin(QWidget *parent = nullptr);

    // The login action of the "登 录" button. True when the user is logged in (result OK).
    bool Button1Click();

    QLabel *Label1, *Label2, *Label3;
    QLineEdit *Edit1; // user name
    QLineEdit *Edit2; // password
    QLineEdit *Edit3; // server
    QPushButton *Button1, *Button2;

    const QString &ServerName() const { return m_server; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showFailure(const QString &text, QWidget *focus);

    QString m_server;
};
