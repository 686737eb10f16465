#pragma once
// The index values of the shown file, on the scan panel's "索引" tab: one row per index
// field of the file's type, the remark "备注" last. The panel reads and writes the values
// through the store for the file the store shows (ShownAppId, ShownBatchId, ShownImageId).
#include "FieldStore.h"

#include <QWidget>

#include <functional>

class QPushButton;
class QTableWidget;
class QTreeWidgetItem;
class TCatalogContext;
class TImageManager;

class TformFieldInput : public QWidget {
    Q_OBJECT
public:
    // Store is the main window's; it must outlive the panel.
    explicit TformFieldInput(TImageManager *store, QWidget *parent = nullptr);
    ~TformFieldInput() override;

    // Shows the values of Node when it is a file, an empty read-only grid for any other node.
    // Call after the store has shown the node (ShowNode), and after a file was dragged to a
    // new place. Does nothing while the panel is not visible: it loads again when shown.
    void LoadNode(QTreeWidgetItem *node);
    // Writes the grid when it holds changes not yet saved (an open cell editor included).
    // Call before the store shows another node and when the main window closes; leaving the
    // tab saves by itself.
    void SaveIfChanged();
    bool HasUnsavedChanges() const;
    // "保存": writes the grid and reports "保存失败！" when the store refuses it.
    void btn_saveClick();

    // Optional: saves on the context's NodeLeaving and loads on its NodeShown, the two
    // signals the main window gives around each change of the tree selection. Use either
    // this or the calls above for the tree, not both.
    void Follow(TCatalogContext *context);

    // Definitions of the shown rows, the remark last; empty unless a file is shown.
    const FieldDefList &FieldDefs() const { return m_defs; }

    // The system beep of the typing filter; tests replace it.
    std::function<void()> Beep;

    QTableWidget *ValueListEditor1;
    QPushButton *btn_save;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void clearGrid();
    void setEditing(bool on);
    void commitOpenEditor();
    void save();

    TImageManager *m_store;
    FieldDefList m_defs;
    int m_defsAppId = 0; // file type the definitions belong to
    bool m_filling = false;
};
