#pragma once
// What the catalogue operations and the tree moves share: node identifiers and paths,
// message texts, and the shown node saved around a move.
#include "TImageManager.h"

#include <QString>
#include <QStringList>
#include <QTreeWidget>

namespace catalogops {

inline QString Num(qint64 n)
{
    return QString::number(n);
}

inline int IdOf(QTreeWidgetItem *node)
{
    const TCatalogNodeData *d = NodeData(node);
    return d ? d->Id : 0;
}

inline int OrderOf(QTreeWidgetItem *node)
{
    const TCatalogNodeData *d = NodeData(node);
    return d ? d->Order : 0;
}

// The node's directory relative to the repository roots: captions from the file type down.
inline QString RelativeDir(QTreeWidgetItem *node)
{
    QStringList parts;
    for (QTreeWidgetItem *n = node; n && n->parent(); n = n->parent())
        parts.prepend(n->text(0));
    return parts.join(u'/');
}

inline QWidget *OwnerOf(QTreeWidget *tree)
{
    return tree ? tree->window() : nullptr;
}

inline QString WithName(const QString &format, const QString &name)
{
    QString text = format;
    return text.replace(QStringLiteral("%s"), name);
}

// The shown context, saved around a move.
struct ShownContext {
    int32_t appId, batchId, imageId;
    QString appName, batchName, fileName;
};

inline ShownContext SaveShown(const TImageManager &m)
{
    return {m.ShownAppId, m.ShownBatchId, m.ShownImageId, m.ShownAppName, m.ShownBatchName, m.ShownFileName};
}

inline void RestoreShown(TImageManager &m, const ShownContext &c)
{
    m.ShownAppId = c.appId;
    m.ShownBatchId = c.batchId;
    m.ShownImageId = c.imageId;
    m.ShownAppName = c.appName;
    m.ShownBatchName = c.batchName;
    m.ShownFileName = c.fileName;
}

} // namespace catalogops
