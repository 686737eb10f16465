#pragma once
// The main window. It owns the catalogue objects for the life of the program.
#include <QMainWindow>

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;
};
