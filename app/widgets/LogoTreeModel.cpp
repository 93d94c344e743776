#include "LogoTreeModel.h"

#include "Icons.h"

namespace vantorel {

TLogoTreeModel::TLogoTreeModel(TLogoTree &tree, QObject *parent)
    : QAbstractItemModel(parent), FTree(tree), FLogoIcon(IconFor(TIconId::Logo)), FFolderIcon(IconFor(TIconId::Folder))
{
    FTree.SetObserver(this);
}

TLogoTreeModel::~TLogoTreeModel() { FTree.SetObserver(nullptr); }

QModelIndex TLogoTreeModel::IndexOf(const TLogoNode *node) const
{
    if (!node)
        return {};
    return createIndex(node->Index(), 0, const_cast<TLogoNode *>(node));
}

TLogoNode *TLogoTreeModel::NodeOf(const QModelIndex &index)
{
    return index.isValid() ? static_cast<TLogoNode *>(index.internalPointer()) : nullptr;
}

QModelIndex TLogoTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return (row == 0 && FTree.Root()) ? createIndex(0, 0, FTree.Root()) : QModelIndex();
    TLogoNode *node = NodeOf(parent);
    return row < node->Count() ? createIndex(row, 0, node->Item(row)) : QModelIndex();
}

QModelIndex TLogoTreeModel::parent(const QModelIndex &child) const
{
    const TLogoNode *node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TLogoTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return FTree.Root() ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    return NodeOf(parent)->Count();
}

int TLogoTreeModel::columnCount(const QModelIndex &) const { return 1; }

QVariant TLogoTreeModel::data(const QModelIndex &index, int role) const
{
    const TLogoNode *node = NodeOf(index);
    if (!node)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromStdString(node->Text());
    if (role == Qt::DecorationRole)
        return node->ImageIndex() == kLogoImage ? FLogoIcon : FFolderIcon;
    return {};
}

Qt::ItemFlags TLogoTreeModel::flags(const QModelIndex &index) const
{
    // Labels are not edited in place and nodes are not dragged: names change by command only.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TLogoTreeModel::BeforeInsert(TLogoNode *parent, int index) { beginInsertRows(IndexOf(parent), index, index); }

void TLogoTreeModel::AfterInsert(TLogoNode *, int) { endInsertRows(); }

void TLogoTreeModel::BeforeRemove(TLogoNode *parent, int index) { beginRemoveRows(IndexOf(parent), index, index); }

void TLogoTreeModel::AfterRemove() { endRemoveRows(); }

void TLogoTreeModel::NodeChanged(TLogoNode *node)
{
    const QModelIndex index = IndexOf(node);
    emit dataChanged(index, index);
}

void TLogoTreeModel::NodeExpanded(TLogoNode *node) { emit NodeExpandRequested(IndexOf(node)); }

void TLogoTreeModel::SelectionChanged(TLogoNode *node) { emit NodeSelectRequested(IndexOf(node)); }

} // namespace vantorel
