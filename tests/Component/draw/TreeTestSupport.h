#pragma once
// Small trees built by hand for the layout and painter tests, and text measurement in the
// styles the tree is drawn with.

#include "Component/draw/NodeStyles.h"
#include "Component/draw/RecordingCanvas.h"
#include "Component/draw/StyleApplier.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/styles/Style.h"
#include "shared/core/Guid.h"
#include "support/TreeBuilder.h"

#include <memory>

namespace treetest {

using testtree::Money;

inline std::unique_ptr<TDecTreeNode> NewNode(TDecTreeDocument* doc, TDecTreeNode* parent, TNodeType type,
                                             const QString& caption, double probability, double payoff)
{
    return testtree::MakeNode(doc, parent, caption, type, probability, Money(payoff));
}

inline TDecTreeNode* SetRoot(TDecTreeDocument& doc, TNodeType type, const QString& caption = QStringLiteral("Root"))
{
    doc.SetRoot(NewNode(&doc, nullptr, type, caption, 100, 0));
    doc.Selection.Clear();
    return doc.Root();
}

inline TDecTreeNode* Add(TDecTreeNode* parent, TNodeType type, const QString& caption, double probability,
                         double payoff)
{
    auto node = NewNode(parent->Tree, parent, type, caption, probability, payoff);
    TDecTreeNode* result = node.get();
    parent->Children.Add(std::move(node));
    return result;
}

// Width and line height of a text in a style, measured as layout measures.
struct TMeasure {
    TRecordingCanvas Canvas;
    int32_t Width(const TStyle& style, const QString& text)
    {
        ApplyStyleToCanvas(Canvas, style);
        return text.isEmpty() ? 0 : Canvas.TextWidth(text);
    }
    int32_t LineHeight(const TStyle& style)
    {
        ApplyStyleToCanvas(Canvas, style);
        return Canvas.TextHeight(QStringLiteral("A"));
    }
};

} // namespace treetest
