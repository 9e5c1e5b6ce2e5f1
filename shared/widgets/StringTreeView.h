#pragma once
// The inner view of a TStringTree: a Qt tree view over a model that reads the wrapper's nodes
// directly (each model index carries its wrapper node). It adds what the wrapper's options need
// from a tree control: an update bracket, a sort column with direction, tree lines, node
// height, check-image kind and report mode.

#include <QAbstractItemModel>
#include <QTreeView>
#include <functional>

class TStringTree;
class TStringTreeNode;
class TStringTreeNodeCollection;

class TStringTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TStringTreeModel(TStringTree& tree);

    QModelIndex IndexOf(const TStringTreeNode* node, int column = 0) const;
    static TStringTreeNode* NodeOf(const QModelIndex& index);

    // Structure changes, called by the collections around their own changes.
    void BeginAdd(TStringTreeNodeCollection& collection);
    void EndAdd(TStringTreeNodeCollection& collection, TStringTreeNode* node);
    void BeginClear(TStringTreeNodeCollection& collection);
    void EndClear(TStringTreeNodeCollection& collection);
    void BeginAddColumn(int oldCount);
    void EndAddColumn(int oldCount);
    // Asks the tree's checking handlers, then sets the state and tells of it when allowed.
    void ChangeCheckState(TStringTreeNode* node, int nativeState);

    // Sorts every sibling list by `compare` (negative, zero, positive), keeping
    // selection, focus and expansion with their nodes.
    void Sort(const std::function<int(TStringTreeNode*, TStringTreeNode*)>& compare, bool descending);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::DropActions supportedDropActions() const override;

private:
    TStringTreeNodeCollection& ChildrenOf(const QModelIndex& parent) const;
    TStringTree& FTree;
    bool FRemoving = false;
};

class TStringTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit TStringTreeView(TStringTree& owner);

    TStringTreeModel& Model() const { return *FModel; }

    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }
    // Asks for a repaint of the visible nodes.
    void Invalidate();

    int SortColumn() const { return FSortColumn; }
    bool SortDescending() const { return FSortDescending; }
    // Sets the sort column (-1 for none) and direction; sorts when automatic sorting is on.
    void SetSort(int column, bool descending);
    bool AutoSort() const { return FAutoSort; }
    void SetAutoSort(bool autoSort);
    // Sorts the whole tree by `column` (-1 leaves the order as it is).
    void SortTree(int column, bool descending);
    // Sorts by the sort column when automatic sorting is on (held back while updating).
    void SortIfAuto();

    bool ShowCheckBoxes() const { return FShowCheckBoxes; }
    void SetShowCheckBoxes(bool show);
    int CheckImageKind() const { return FCheckImageKind; }
    void SetCheckImageKind(int kind);
    bool ReportMode() const { return FReportMode; }
    void SetReportMode(bool on);
    bool ShowTreeLines() const { return FShowTreeLines; }
    void SetShowTreeLines(bool show);
    int DefaultNodeHeight() const { return FDefaultNodeHeight; }
    void SetDefaultNodeHeight(int height);
    bool FullRowSelect() const { return FFullRowSelect; }
    void SetFullRowSelect(bool on);

Q_SIGNALS:
    // A repaint was asked for through Invalidate.
    void RepaintRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TStringTree& FOwner;
    TStringTreeModel* FModel;
    int FUpdateCount = 0;
    int FSortColumn = -1;
    bool FSortDescending = false;
    bool FAutoSort = false;
    bool FSortPending = false;
    bool FShowCheckBoxes = false;
    int FCheckImageKind = 0;
    bool FReportMode = false;
    bool FShowTreeLines = true;
    int FDefaultNodeHeight = 18;
    bool FFullRowSelect = false;
    Qt::MouseButton FHeaderButton = Qt::LeftButton;
    Qt::KeyboardModifiers FHeaderModifiers;
    QPoint FHeaderPos;
};
