#pragma once
// "定制索引字段": the index fields of one file type. The rows are edited in memory and
// handed to the store as a whole on "保存"; nothing is written before that.
#include "FieldStore.h"

#include <QDialog>
#include <QList>
#include <QSpinBox>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TCatalogConnection;

// One row of the dialog's list.
struct FieldDefRow {
    QString InName;  // column in the value table; kept when the row is changed
    QString OutName; // display name, trimmed
    int FieldType = 0;
    int FieldLength = 0;
    bool IsRequired = false;
};

// The dialog's list rules without a screen: internal names, the name check and the four
// edit commands on the rows in display order.
class FieldDefTable {
public:
    enum class Outcome { Done, EmptyName, Duplicate, NoRow };

    // The display name of a field type, empty for an unknown type.
    static QString TypeName(int type);
    // Text of a row's required column.
    static QString RequiredMark(bool required);

    // Replaces the rows with the stored definitions. Numbers already handed out stay taken.
    void Load(const FieldDefList &stored);
    const QList<FieldDefRow> &Rows() const { return m_rows; }

    // "F" and the next free number. A number is never handed out twice, even after its row
    // was deleted or saved: a new field must not take over a dropped field's column.
    QString NextInName();

    // Index of the row with this (trimmed) display name, -1 when none.
    int IndexOf(const QString &name) const;

    // The values' display name is trimmed; new rows get the next internal name. Row is the
    // index of the new or changed row.
    Outcome Add(const FieldDefRow &values, int &row);
    // Before row Before; appended when Before is not a row.
    Outcome Insert(int before, const FieldDefRow &values, int &row);
    // Keeps the row's internal name, so the store alters the existing column.
    Outcome Change(int row, const FieldDefRow &values);
    // The row to select afterwards: the one now at the same place, the new last one, or -1.
    int Delete(int row);

    // The definitions to store, in display order; the caller frees them with FreeFieldDefs.
    FieldDefList SaveList(int appId) const;

private:
    void takeNumber(const QString &inName);

    QList<FieldDefRow> m_rows;
    qint64 m_lastNumber = 0; // highest number seen or handed out while the dialog lives
};

// Length box of a character field: takes any number while it is typed, so the dialog can
// bring it into range itself (a plain spin box would refuse the keystroke instead).
class TFieldLengthEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TFieldLengthEdit(QWidget *parent = nullptr);
    QValidator::State validate(QString &input, int &pos) const override;
    QString Text() const;

signals:
    void Edited(); // on every change of the text
};

class TFormFieldDef : public QDialog {
    Q_OBJECT
public:
    // The file type whose fields are shown; the definitions are read when the dialog is shown.
    TFormFieldDef(TCatalogConnection *connection, const QString &appName, int appId,
                  QWidget *parent = nullptr);

    QLabel *Label1, *Label2;
    QTreeWidget *ListView1;
    QLineEdit *Edit1;
    QComboBox *ComboBox1;
    TFieldLengthEdit *SpinEdit1;
    QCheckBox *CheckBox1;
    QPushButton *btn_AddField, *Btn_InsertField, *btn_editField, *btn_DeleteField, *btn_OK, *SpeedButton1;

    const FieldDefTable &Table() const { return m_table; }

    void btn_AddFieldClick();
    void Btn_InsertFieldClick();
    void btn_editFieldClick();
    void btn_DeleteFieldClick();
    void btn_OKClick();
    void SpeedButton1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void ListView1Change();
    void ComboBox1Change(int index);
    void SpinEdit1Change();

    int selectedRow() const;
    FieldDefRow editorValues() const;
    // Fills the list from the table and selects Row (none when -1); the editor follows.
    void fillList(int row);
    void reportDuplicate(const QString &caption);

    TCatalogConnection *m_connection;
    QString m_appName;
    int m_appId;
    FieldDefTable m_table;
};
