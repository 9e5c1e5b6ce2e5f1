#include "Component/model/DecTreeNode.h"

#include "Component/model/Clones.h"
#include "Component/model/DecTreeDocument.h"
#include "Component/model/MultiOptionSolver.h"

#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <utility>
#include <vector>

TDecTreeNode::TDecTreeNode(TDecTreeDocument* tree, TDecTreeNode* parent, const TGuid& id, const QString& caption,
                           const QString& comment, TNodeType nodeType, TChanceType chanceType, double probability,
                           TCurrency payoff, const TGuid& cloneMasterId, bool childrenVisible,
                           bool decisionShowCaption, bool decisionShowOwner, bool decisionShowDueDate,
                           bool decisionShowFixed, bool decisionMultiShowBudget, bool decisionMultiShowInvestment,
                           bool decisionFixed, const QString& decisionCaption, const QString& decisionOwner,
                           int32_t decisionMultiBudget, TDateTime decisionDueDate, const QString& payoffSource)
    : Probability(probability),
      Payoff(payoff),
      DecisionMultiBudget(decisionMultiBudget),
      NodeType(nodeType),
      ChanceType(chanceType),
      DecisionFixed(decisionFixed),
      Id(id),
      CloneMasterId(cloneMasterId),
      Caption(caption),
      Comment(comment),
      Children(true),
      DecisionShowCaption(decisionShowCaption),
      DecisionShowOwner(decisionShowOwner),
      DecisionShowDueDate(decisionShowDueDate),
      DecisionShowFixed(decisionShowFixed),
      DecisionMultiShowBudget(decisionMultiShowBudget),
      DecisionMultiShowInvestment(decisionMultiShowInvestment),
      DecisionDueDate(decisionDueDate),
      DecisionOwner(decisionOwner),
      DecisionCaption(decisionCaption),
      FParent(parent),
      ChildrenVisible(childrenVisible),
      PayoffSource(payoffSource),
      Tree(tree)
{
}

TDecTreeNode::~TDecTreeNode() = default;

void* TDecTreeNode::operator new(std::size_t size, std::align_val_t align)
{
    // The node at the first aligned place past the block's own address, which is kept just
    // before it for the delete.
    const auto a = std::uintptr_t(align);
    void* block = ::operator new(size + std::size_t(a) + sizeof(void*));
    const std::uintptr_t at = (reinterpret_cast<std::uintptr_t>(block) + sizeof(void*) + a - 1) & ~(a - 1);
    reinterpret_cast<void**>(at)[-1] = block;
    return reinterpret_cast<void*>(at);
}

void TDecTreeNode::operator delete(void* p, std::align_val_t) noexcept
{
    if (p)
        ::operator delete(static_cast<void**>(p)[-1]);
}

std::unique_ptr<TDecTreeNode> TDecTreeNode::Copy(TDecTreeNode* newParent, bool resetAttributes, bool newIds,
                                                 const TDecTreeNode* templateNode) const
{
    // One node of the source with its template; the copy is made, then its children are queued.
    auto copyOne = [&](const TDecTreeNode& src, TDecTreeNode* parent, const TDecTreeNode* tmpl) {
        bool childrenVisible = src.ChildrenVisible;
        bool reselect = false;
        if (tmpl) {
            childrenVisible = tmpl->ChildrenVisible;
            if (Tree && Tree->Selection.Contains(tmpl->Id)) {
                Tree->Selection.Remove(tmpl->Id, false);
                reselect = true;
            }
        }
        const bool keep = !resetAttributes;
        auto node = std::make_unique<TDecTreeNode>(
            src.Tree, parent, newIds ? Guid::NewGuid() : src.Id, src.Caption, src.Comment, src.NodeType,
            src.ChanceType, src.Probability, src.Payoff, src.CloneMasterId, childrenVisible,
            keep && src.ShowsCaption(), keep && src.ShowsOwner(), keep && src.ShowsDueDate(),
            keep && src.ShowsFixed(), keep && src.ShowsBudget(), keep && src.ShowsInvestment(), src.DecisionFixed,
            src.DecisionCaption, src.DecisionOwner, src.DecisionMultiBudget, src.DecisionDueDate, src.PayoffSource);
        if (reselect)
            Tree->Selection.Add(node->Id);
        return node;
    };

    // Nodes are made in depth-first pre-order, as a recursive copy would make them, so the
    // selection gets the ids of copied selected templates back in the same order.
    struct Pending {
        const TDecTreeNode* Source;
        TDecTreeNode* Parent; // the copy that receives the copy of Source
        const TDecTreeNode* Template;
    };
    std::unique_ptr<TDecTreeNode> result = copyOne(*this, newParent, templateNode);
    std::vector<Pending> stack;
    auto pushChildren = [&stack](const TDecTreeNode* source, TDecTreeNode* copy, const TDecTreeNode* tmpl) {
        for (int i = source->Children.Count() - 1; i >= 0; --i) {
            const TDecTreeNode* childTemplate =
                tmpl && i < tmpl->Children.Count() ? tmpl->Children.FItems[size_t(i)] : nullptr;
            stack.push_back({source->Children.FItems[size_t(i)], copy, childTemplate});
        }
    };
    pushChildren(this, result.get(), templateNode);
    while (!stack.empty()) {
        const Pending p = stack.back();
        stack.pop_back();
        std::unique_ptr<TDecTreeNode> copy = copyOne(*p.Source, p.Parent, p.Template);
        TDecTreeNode* made = copy.get();
        p.Parent->Children.Add(std::move(copy));
        pushChildren(p.Source, made, p.Template);
    }
    return result;
}

TDecTreeNode* TDecTreeNode::FindNodeById(const TGuid& id)
{
    std::vector<TDecTreeNode*> stack{this};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        if (node->Id == id)
            return node;
        const auto& items = node->Children.FItems;
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            stack.push_back(*it);
    }
    return nullptr;
}

std::unique_ptr<TDecTreeNodeList> TDecTreeNode::GetAllNodes()
{
    auto result = std::make_unique<TDecTreeNodeList>(false);
    if (IsClone())
        return result;
    std::vector<TDecTreeNode*> stack{this};
    while (!stack.empty()) {
        TDecTreeNode* node = stack.back();
        stack.pop_back();
        result->FItems.push_back(node);
        const auto& items = node->Children.FItems;
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            if (!(*it)->IsClone())
                stack.push_back(*it);
    }
    return result;
}

int TDecTreeNode::GetDepth() const
{
    int depth = 1;
    for (const TDecTreeNode* p = FParent; p; p = p->FParent)
        ++depth;
    return depth;
}

namespace {

// The levels below and including top; with shownOnly, only through nodes whose children show.
int CountLevels(const TDecTreeNode* top, bool shownOnly)
{
    int levels = 1;
    std::vector<std::pair<const TDecTreeNode*, int>> stack{{top, 1}};
    while (!stack.empty()) {
        auto [node, level] = stack.back();
        stack.pop_back();
        levels = std::max(levels, level);
        if (!shownOnly || node->ChildrenVisible)
            for (const TDecTreeNode* child : node->Children)
                stack.push_back({child, level + 1});
    }
    return levels;
}

} // namespace

int TDecTreeNode::GetLevelCount() const
{
    return CountLevels(this, false);
}

int TDecTreeNode::GetVisibleLevelCount() const
{
    return CountLevels(this, true);
}

void TDecTreeNode::SetLevelsVisible(int levels)
{
    std::vector<std::pair<TDecTreeNode*, int>> stack{{this, levels}};
    while (!stack.empty()) {
        auto [node, n] = stack.back();
        stack.pop_back();
        node->ChildrenVisible = n != 1;
        for (TDecTreeNode* child : node->Children)
            stack.push_back({child, n - 1});
    }
}

QString TDecTreeNode::GetOutlineCode(const TCloneMasters* masters) const
{
    if (!FParent || !Tree || !Tree->Options.OutlineCodes)
        return QString();
    // The 1-based indexes from this node up to the root; under a clone the numbering continues
    // from the clone's master.
    std::vector<int> indexes;
    std::unordered_set<const TDecTreeNode*> mastersSeen;
    QString code; // of the master the walk ends at, when it knows that
    const TDecTreeNode* node = this;
    while (node->FParent) {
        TDecTreeNode* parent = node->FParent;
        indexes.push_back(parent->Children.IndexOf(node) + 1);
        if (parent->IsClone()) {
            TDecTreeNode* master = masters ? masters->Find(parent->CloneMasterId) : parent->GetMasterNode();
            // A master inside its own clone would number forever; such a document keeps the
            // clone's own position.
            if (master && mastersSeen.insert(master).second) {
                // Above a master outside clones the walk would meet no clone again.
                if (const QString* known = masters ? masters->CodeOf(*master) : nullptr) {
                    code = *known;
                    break;
                }
                parent = master;
            }
        }
        node = parent;
    }
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
        if (!code.isEmpty())
            code += QLatin1Char('.');
        code += QString::number(*it);
    }
    return code + QStringLiteral("  ");
}

bool TDecTreeNode::IsSelected() const
{
    return Tree && Tree->Selection.Contains(Id);
}

TDecTreeNode* TDecTreeNode::GetRoot() const
{
    const TDecTreeNode* node = this;
    while (node->FParent)
        node = node->FParent;
    return const_cast<TDecTreeNode*>(node);
}

static bool IsAnyDecision(TNodeType type)
{
    return type == ntDecision || type == ntMultiDecision;
}

bool TDecTreeNode::ShowsCaption() const { return DecisionShowCaption && HasChildren(); }
bool TDecTreeNode::ShowsOwner() const { return DecisionShowOwner && IsAnyDecision(NodeType) && HasChildren(); }
bool TDecTreeNode::ShowsDueDate() const { return DecisionShowDueDate && IsAnyDecision(NodeType) && HasChildren(); }
bool TDecTreeNode::ShowsFixed() const { return DecisionShowFixed && IsAnyDecision(NodeType) && HasChildren(); }
bool TDecTreeNode::ShowsBudget() const
{
    return DecisionMultiShowBudget && NodeType == ntMultiDecision && HasChildren();
}
bool TDecTreeNode::ShowsInvestment() const
{
    return DecisionMultiShowInvestment && NodeType == ntMultiDecision && HasChildren();
}
bool TDecTreeNode::HasVisibleAttributes() const
{
    return ShowsCaption() || ShowsOwner() || ShowsDueDate() || ShowsFixed() || ShowsBudget() || ShowsInvestment();
}
bool TDecTreeNode::HasCaptionAndAttributes() const
{
    return ShowsCaption() && (ShowsOwner() || ShowsDueDate() || ShowsFixed() || ShowsBudget() || ShowsInvestment());
}

bool TDecTreeNode::IsInsideClone() const
{
    for (const TDecTreeNode* p = FParent; p; p = p->FParent)
        if (p->IsClone())
            return true;
    return false;
}

TDecTreeNode* TDecTreeNode::GetMasterNode()
{
    // Up to the nearest clone (or the root), then down again along the same child indexes.
    std::vector<int> indexes;
    TDecTreeNode* node = this;
    while (!node->IsClone() && node->FParent) {
        indexes.push_back(node->FParent->Children.IndexOf(node));
        node = node->FParent;
    }
    TDecTreeNode* master = node->IsClone() ? GetRoot()->FindNodeById(node->CloneMasterId) : node;
    for (auto it = indexes.rbegin(); master && it != indexes.rend(); ++it)
        master = *it < master->Children.Count() ? master->Children.FItems[size_t(*it)] : nullptr;
    return master;
}

TDecTreeNode* TDecTreeNode::GetMirroredNode()
{
    std::vector<int> indexes, outer;
    TDecTreeNode* clone = nullptr;
    for (TDecTreeNode* node = this; node->FParent; node = node->FParent) {
        indexes.push_back(node->FParent->Children.IndexOf(node));
        if (node->FParent->IsClone()) {
            clone = node->FParent;
            outer = indexes;
        }
    }
    if (!clone)
        return this;
    TDecTreeNode* master = GetRoot()->FindNodeById(clone->CloneMasterId);
    for (auto it = outer.rbegin(); master && it != outer.rend(); ++it)
        master = *it < master->Children.Count() ? master->Children.FItems[size_t(*it)] : nullptr;
    return master;
}

bool TDecTreeNode::ContainsCloneOf(const TGuid& id) const
{
    std::vector<const TDecTreeNode*> stack{this};
    while (!stack.empty()) {
        const TDecTreeNode* node = stack.back();
        stack.pop_back();
        if (node->CloneMasterId == id)
            return true;
        for (const TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    return false;
}

bool TDecTreeNode::IsOrContainsCloneMaster() const
{
    if (IsInsideClone())
        return false;
    // The masters of all clones of the tree, gathered once.
    std::unordered_set<TGuid> masters;
    std::vector<const TDecTreeNode*> stack{GetRoot()};
    while (!stack.empty()) {
        const TDecTreeNode* node = stack.back();
        stack.pop_back();
        if (node->IsClone())
            masters.insert(node->CloneMasterId);
        for (const TDecTreeNode* child : node->Children)
            stack.push_back(child);
    }
    if (masters.empty())
        return false;
    // This node and the descendants not inside a clone below it.
    stack.push_back(this);
    while (!stack.empty()) {
        const TDecTreeNode* node = stack.back();
        stack.pop_back();
        if (masters.count(node->Id))
            return true;
        if (!node->IsClone())
            for (const TDecTreeNode* child : node->Children)
                stack.push_back(child);
    }
    return false;
}
