#pragma once
// The search: its panel (PanelSearch, on the scan panel's "查询" tab) takes keywords or one
// value per field and lists the hits per folder or per file type; the form itself, "查询结果",
// shows the hits of the chosen line in a grid, and moving through the grid selects each file
// in the catalogue tree. The form docks into a strip along the bottom of the page area or
// floats above the main window.
#include "FieldStore.h"
#include "SearchQueries.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QTableWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TCatalogContext;
class TImageManager;
class TSearchHighlightDelegate;
class TSearchResultModel;

class TFormSearch : public QWidget {
    Q_OBJECT
public:
    // Store is the main window's; it must outlive the form.
    explicit TFormSearch(TImageManager *store, QWidget *parent = nullptr);
    ~TFormSearch() override;

    // Follows the tree: refreshes for each node the main window shows.
    void Follow(TCatalogContext *context);
    // Reads the shown file type's definitions into the value grid when that type changed
    // (only while the panel is visible) and sets the buttons for Node.
    void RefreshForNode(QTreeWidgetItem *node);
    // The shown file type's definitions were edited: they are read again.
    void DefinitionsChanged();

    void btn_mhsearchClick();
    void btn_gotokpClick();
    void btn_kpsearchClick();
    void btn_backtomhClick();
    void btn_researchClick();

    // Height of the result strip under the page area.
    static constexpr int StripHeight = 168;
    // Puts the result strip (168 pixels high) under the page area of PageSplitter, a vertical
    // splitter whose first pane is the page area, docks the form into it and hides both.
    void PlaceResultStrip(QSplitter *pageSplitter);
    // Shows the form where it is, docked (the strip comes into the layout) or floating.
    void ShowResults();
    bool Docked() const;
    // Floats the form with its top-left corner at At (global), staying on top.
    void FloatAt(QPoint at);
    void Dock();

    // The terms of the last search (keywords, or the values of the fields that had one) and,
    // for an advanced search, the display names of those fields.
    const QStringList &Terms() const { return m_terms; }
    const QStringList &TermNames() const { return m_termNames; }
    bool QuickMode() const { return m_quick; }
    // Definitions in the value grid and the file type they belong to (-1 for none).
    const FieldDefList &FieldDefs() const { return m_defs; }
    int LoadedAppId() const { return m_appId; }

    // The system beep of the value grid's typing filter; tests replace it.
    std::function<void()> Beep;

    QWidget *PanelSearch;
    QWidget *PanelKeyword;  // the keyword bar: EdtKeyword, btn_mhsearch, btn_gotokp
    QWidget *PanelAdvanced; // btn_kpsearch, btn_backtomh, btn_research
    QLineEdit *EdtKeyword;
    QPushButton *btn_mhsearch, *btn_gotokp, *btn_kpsearch, *btn_backtomh, *btn_research;
    QTableWidget *ValueListEditor1;
    QGroupBox *grpboxResult;
    QTreeWidget *ListView1;

    QWidget *PanelTitle; // the docked form's title bar: drag it out to float the form
    QLabel *LabelTitle;
    QToolButton *btn_close;
    QTableView *DBGrid1;
    TSearchResultModel *ADOQuery1;
    QWidget *PanelResult = nullptr; // the strip in the page area

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void buildPanel();
    void buildGrid();
    void clearValueGrid();
    void setEditing(bool on);
    void commitOpenEditor();
    QTreeWidgetItem *selectedNode() const;
    void showLines(const QList<SearchQueries::SearchLine> &lines, const QString &firstTitle);
    void resultLineChanged(QTreeWidgetItem *line);
    void openLine(const SearchQueries::SearchLine &line);
    void closeGrid();
    void navigateToRow(int row);
    void hideResults();

    TImageManager *m_store;
    FieldDefList m_defs;
    int m_appId = -1;
    QStringList m_terms;
    QStringList m_termNames;
    QList<int> m_termFields; // definition index of each advanced term
    bool m_quick = true;
    QList<SearchQueries::SearchLine> m_lines;
    TSearchHighlightDelegate *m_highlight = nullptr;
    bool m_opening = false;
    bool m_keywordTouched = false;

    QPointer<QWidget> m_panelGuard; // the panel may go with the tab it was put on

    // Docking.
    QPointer<QSplitter> m_pageSplitter;
    bool m_placing = false;
    bool m_titlePressed = false;
    QPoint m_pressAt;
};
