#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include "LogoTree.h"

namespace vantorel {

// Shows the logo tree in a Qt view and follows every change of it.
class TLogoTreeModel : public QAbstractItemModel, public TLogoTreeObserver {
    Q_OBJECT

public:
    TLogoTreeModel(TLogoTree &tree, QObject *parent = nullptr);
    ~TLogoTreeModel() override;

    QModelIndex IndexOf(const TLogoNode *node) const;
    static TLogoNode *NodeOf(const QModelIndex &index);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void NodeExpandRequested(const QModelIndex &index);
    void NodeSelectRequested(const QModelIndex &index);

private:
    void BeforeInsert(TLogoNode *parent, int index) override;
    void AfterInsert(TLogoNode *parent, int index) override;
    void BeforeRemove(TLogoNode *parent, int index) override;
    void AfterRemove() override;
    void NodeChanged(TLogoNode *node) override;
    void NodeExpanded(TLogoNode *node) override;
    void SelectionChanged(TLogoNode *node) override;

    TLogoTree &FTree;
    QIcon FLogoIcon;
    QIcon FFolderIcon;
};

} // namespace vantorel
