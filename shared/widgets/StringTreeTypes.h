#pragma once
// The enumerations and event signatures of the list-and-tree control, and the one-to-one
// conversions between the control's enumerations and the inner view's values.

#include <QPoint>
#include <QStringList>
#include <Qt>
#include <functional>

class QMimeData;
class QObject;
class TStringTree;
class TStringTreeColumn;
class TStringTreeNode;

enum TStringTreeNodeCheckState {
    stncsUncheckedNormal,
    stncsUncheckedPressed,
    stncsCheckedNormal,
    stncsCheckedPressed,
    stncsMixedNormal,
    stncsMixedPressed,
};

enum TStringTreeNodeCheckImageKind {
    stnckLightCheck,
    stnckDarkCheck,
    stnckLightTick,
    stnckDarkTick,
    stnckFlat,
    stnckXP,
    stnckCustom,
    stnckSystem,
    stnckSystemFlat,
};

// Where a drop would land relative to the node under the mouse.
enum TStringTreeDropMode { stdmNowhere, stdmAbove, stdmOnNode, stdmBelow };

// The phase of a drag over the control.
enum TStringTreeDragState { stdsDragEnter, stdsDragLeave, stdsDragMove };

// Drop effect codes: none 0, copy 1, move 2, link 4 (combined as bits).
using TStringTreeDropEffect = int;
inline constexpr TStringTreeDropEffect stdeNone = 0;
inline constexpr TStringTreeDropEffect stdeCopy = 1;
inline constexpr TStringTreeDropEffect stdeMove = 2;
inline constexpr TStringTreeDropEffect stdeLink = 4;

// The formats a dragged object offers (MIME types).
using TStringTreeFormatArray = QStringList;

// The inner view's own values: check states and check-image kinds are small integers in the
// same order as the enumerations above. Values outside raise EInvalidOperation.
namespace string_tree_native {
int ToNativeCheckState(TStringTreeNodeCheckState state);
TStringTreeNodeCheckState FromNativeCheckState(int state);
int ToNativeCheckImageKind(TStringTreeNodeCheckImageKind kind);
TStringTreeNodeCheckImageKind FromNativeCheckImageKind(int kind);
// How a check state shows in the item view.
Qt::CheckState ToQtCheckState(int nativeState);
} // namespace string_tree_native

// Event signatures: Sender is always the control.
using TStringTreeNodeEvent = std::function<void(TStringTree* sender, TStringTreeNode* node)>;
using TStringTreeFocusChangedEvent =
    std::function<void(TStringTree* sender, TStringTreeNode* node, TStringTreeColumn* column)>;
using TStringTreeFocusChangingEvent =
    std::function<void(TStringTree* sender, TStringTreeNode* oldNode, TStringTreeNode* newNode,
                       TStringTreeColumn* oldColumn, TStringTreeColumn* newColumn, bool& allowed)>;
using TStringTreeColumnClickEvent =
    std::function<void(TStringTree* sender, TStringTreeColumn* column, Qt::KeyboardModifiers shift)>;
using TStringTreeHeaderClickEvent =
    std::function<void(TStringTree* sender, TStringTreeColumn* column, Qt::MouseButton button,
                       Qt::KeyboardModifiers shift, int x, int y)>;
using TStringTreeCompareEvent = std::function<void(TStringTree* sender, TStringTreeColumn* column,
                                                   TStringTreeNode* node1, TStringTreeNode* node2, int& result)>;
using TStringTreeDragAllowedEvent =
    std::function<void(TStringTree* sender, TStringTreeNode* node, TStringTreeColumn* column, bool& allowed)>;
using TStringTreeDragOverEvent =
    std::function<void(TStringTree* sender, QObject* source, Qt::KeyboardModifiers shift, TStringTreeDragState state,
                       QPoint pt, TStringTreeDropMode mode, TStringTreeDropEffect& effect, bool& accept)>;
using TStringTreeDragDropEvent =
    std::function<void(TStringTree* sender, QObject* source, const QMimeData* dataObject,
                       const TStringTreeFormatArray& formats, TStringTreeNode* targetNode, Qt::KeyboardModifiers shift,
                       QPoint pt, TStringTreeDropEffect& effect, TStringTreeDropMode mode)>;
using TStringTreeNotifyEvent = std::function<void(TStringTree* sender)>;
// Standard mouse events; coordinates are the control's client coordinates.
using TStringTreeMouseEvent = std::function<void(TStringTree* sender, Qt::MouseButton button,
                                                 Qt::KeyboardModifiers shift, int x, int y)>;
using TStringTreeMouseMoveEvent =
    std::function<void(TStringTree* sender, Qt::KeyboardModifiers shift, int x, int y)>;
using TStringTreeCheckingEvent = std::function<void(TStringTree* sender, TStringTreeNode* node,
                                                    TStringTreeNodeCheckState& newState, bool& allowed)>;
