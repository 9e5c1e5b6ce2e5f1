#pragma once
// The list-and-tree control of the dialogs: columns with captions, nodes that own one text per
// column and their child nodes, check states, sorting by a column, and events that speak of
// those objects. It hosts one inner tree view filling its whole client area.

#include "shared/widgets/StringTreeColumn.h"
#include "shared/widgets/StringTreeNode.h"
#include "shared/widgets/StringTreeTypes.h"

#include <QCollator>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <memory>


class TStringTreeView;

class TStringTree : public QWidget {
    Q_OBJECT
public:
    explicit TStringTree(QWidget* parent = nullptr);
    ~TStringTree() override;

    // For settings this wrapper does not cover.
    TStringTreeView* InnerTree() const { return FInner; }

    TStringTreeNode* FocusedNode() const;
    void SetFocusedNode(TStringTreeNode* node);
    int SelectedCount() const;
    TStringTreeColumnCollection& Columns() const { return *FColumns; }
    TStringTreeNodeCollection& Nodes() const { return *FNodes; }

    bool ShowCheckBoxes() const;
    void SetShowCheckBoxes(bool show);
    bool ReportMode() const;
    void SetReportMode(bool on);
    bool ShowTreeLines() const;
    void SetShowTreeLines(bool show);
    bool ShowRoot() const;
    void SetShowRoot(bool show);
    TStringTreeNodeCheckImageKind CheckImageKind() const;
    void SetCheckImageKind(TStringTreeNodeCheckImageKind kind);
    int DefaultNodeHeight() const;
    void SetDefaultNodeHeight(int height);
    bool FullRowSelect() const;
    void SetFullRowSelect(bool on);
    bool HeaderVisible() const;
    void SetHeaderVisible(bool visible);
    bool MultiSelect() const;
    void SetMultiSelect(bool on);
    bool AutoSort() const;
    void SetAutoSort(bool on);
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    bool FocusOnRightClick() const { return FFocusOnRightClick; }
    void SetFocusOnRightClick(bool on) { FFocusOnRightClick = on; }
    const QList<QIcon>& Images() const { return FImages; }
    void SetImages(const QList<QIcon>& images);
    // Nodes shown now: top-level nodes and the children of expanded nodes.
    int VisibleCount() const;
    int Indent() const;
    void SetIndent(int indent);

    // Repaints are held back between the outermost BeginUpdate and its EndUpdate, and done
    // once there when something asked for one.
    void BeginUpdate();
    void EndUpdate();
    void ClearSelection();
    void FullExpand();
    // The node at a point in this control's coordinates; none when there is none.
    TStringTreeNode* GetNodeAt(int x, int y) const;
    // Repaints now, or at the end of the update bracket.
    void Invalidate();

    TStringTreeNodeEvent OnSelectionChange;
    TStringTreeFocusChangedEvent OnFocusChanged;
    TStringTreeFocusChangingEvent OnFocusChanging;
    TStringTreeColumnClickEvent OnColumnClick;
    TStringTreeHeaderClickEvent OnHeaderClick;
    TStringTreeCompareEvent OnCustomCompare;
    TStringTreeDragAllowedEvent OnDragAllowed;
    TStringTreeDragOverEvent OnDragOver;
    TStringTreeDragDropEvent OnDragDrop;
    TStringTreeNotifyEvent OnDblClick;
    TStringTreeMouseEvent OnMouseDown;
    TStringTreeMouseMoveEvent OnMouseMove;
    TStringTreeMouseEvent OnMouseUp;
    TStringTreeCheckingEvent OnChecking;
    TStringTreeNodeEvent OnChecked;

private:
    friend class TStringTreeView;
    friend class TStringTreeModel;
    friend class TStringTreeSelectionModel;

    // Handlers of the inner view's events.
    int CompareNodes(int column, TStringTreeNode* node1, TStringTreeNode* node2);
    void HeaderClicked(int section, Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void InnerMouseDown(QMouseEvent* event);
    bool Checking(TStringTreeNode* node, int& nativeState);
    bool FocusChanging(const QModelIndex& oldIndex, const QModelIndex& newIndex);
    QPoint ToClient(const QPoint& innerViewportPos) const;

    TStringTreeView* FInner;
    std::unique_ptr<TStringTreeColumnCollection> FColumns;
    std::unique_ptr<TStringTreeNodeCollection> FNodes;
    int FUpdateCount = 0;
    bool FRepaintPending = false;
    bool FFocusOnRightClick = false;
    QPointer<QMenu> FPopupMenu;
    QList<QIcon> FImages;
    QCollator FCollator;
};
