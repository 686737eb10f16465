#pragma once
// The two dialogs that pick a destination in a copy of the catalogue tree: TForm2 for the
// file or folder that receives pages, TForm6 for the file another file is merged into,
// with the merge mode. The caller finds its own node by the absolute index returned.
#include "RadioGroup.h"

#include <QDialog>
#include <QList>
#include <QPixmap>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TTargetChooser : public QDialog {
    Q_OBJECT
public:
    // The main tree the copy is made of; LevelPictures by level (root, file type, folder, file).
    void SetMainTree(QTreeWidget *mainTree, const QList<QPixmap> &levelPictures);
    // Absolute index of the node selected in the copy; -1 for none.
    int SelectedIndex() const;

    QLabel *Label1;
    QTreeWidget *TreeView1;
    QPushButton *btnOk;
    QPushButton *Button1;

protected:
    explicit TTargetChooser(QWidget *parent);
    // Whether the node at the given level and absolute index may be confirmed.
    virtual bool Acceptable(int level, int absoluteIndex) const = 0;
    void showEvent(QShowEvent *event) override;
    QTreeWidget *m_mainTree = nullptr;
    int m_mergedIndex = -1; // absolute index of the main tree's selected node at show time

private:
    // Fills the dialog's tree with the main tree's nodes, in the same order and nesting,
    // each showing the picture of its level.
    void CopyCatalogTree();
    void TreeView1Change();

    QList<QPixmap> m_pictures;
};

// "浏览目录结构": a folder or a file that receives pages.
class TForm2 : public TTargetChooser {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

protected:
    bool Acceptable(int level, int absoluteIndex) const override;
};

// "文件合并": the file the main tree's selected file is merged into, and how.
class TForm6 : public TTargetChooser {
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);
    // Index of the chosen merge mode, 0 to 3.
    int MergeMode() const;

    TRadioGroup *RadioGroup1;

protected:
    bool Acceptable(int level, int absoluteIndex) const override;
};
