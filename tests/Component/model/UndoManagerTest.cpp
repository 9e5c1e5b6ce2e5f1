#include "Component/model/DecTreeDocument.h"
#include "Component/model/UndoManager.h"
#include "Component/styles/StyleTreeSerializer.h"
#include "shared/core/Exceptions.h"
#include "support/StylesXml.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace {

// A document that is one integer, to test the stacks on their own.
class TCounterUndo : public TUndoManager {
public:
    int Value = 0;
    int Restores = 0;
    bool FailRestore = false;

protected:
    struct TState : TUndoState {
        TState(const QString& d, int v) : TUndoState(d), Value(v) {}
        int Value;
    };
    std::unique_ptr<TUndoState> CaptureState(const QString& description) override
    {
        return std::make_unique<TState>(description, Value);
    }
    void RestoreState(TUndoState& state) override
    {
        if (FailRestore)
            throw IOException(QStringLiteral("restore failed"));
        ++Restores;
        Value = static_cast<TState&>(state).Value;
    }
};

// ---- trees with every stored field set, including awkward values ----

QString PickString(std::mt19937_64& rng)
{
    switch (rng() % 6) {
    case 0: return QString();                        // null
    case 1: return QString::fromLatin1("");          // empty, not null
    case 2: return QStringLiteral("  ");
    case 3: return QStringLiteral("Option ") + QString::number(rng() % 1000);
    case 4: return QString::fromUtf16(u"Zürich – 東京 \U0001F600");
    default: return QString(QChar(0xD800)) + QStringLiteral("lone"); // not valid UTF-16
    }
}

double PickDouble(std::mt19937_64& rng)
{
    switch (rng() % 7) {
    case 0: return 0.0;
    case 1: return -0.0;
    case 2: return 100.0;
    case 3: return double(rng() % 100) / 3.0;
    case 4: return 4294967296.0 + 1;
    case 5: return std::numeric_limits<double>::quiet_NaN();
    default: return -double(rng() % 1000);
    }
}

TGuid RandomGuid(std::mt19937_64& rng)
{
    TGuid g;
    uint64_t a = rng(), b = rng();
    std::memcpy(static_cast<void*>(&g), &a, 8);
    std::memcpy(reinterpret_cast<char*>(static_cast<void*>(&g)) + 8, &b, 8);
    return g;
}

std::unique_ptr<TDecTreeNode> RandomNode(TDecTreeDocument* doc, TDecTreeNode* parent, std::mt19937_64& rng)
{
    auto bit = [&] { return (rng() & 1) != 0; };
    const TCurrency payoffs[] = {0, 1, -1, 123456789, std::numeric_limits<int64_t>::min(),
                                 std::numeric_limits<int64_t>::max()};
    return std::make_unique<TDecTreeNode>(
        doc, parent, RandomGuid(rng), PickString(rng), PickString(rng), TNodeType(rng() % 3),
        TChanceType(rng() % 2), PickDouble(rng), payoffs[rng() % 6],
        bit() ? RandomGuid(rng) : Guid::Empty(), bit(), bit(), bit(), bit(), bit(), bit(), bit(), bit(),
        PickString(rng), PickString(rng), int32_t(rng() % 5) - 1, bit() ? 0.0 : PickDouble(rng) + 45000,
        PickString(rng));
}

void FillTree(TDecTreeDocument& doc, int count, uint64_t seed)
{
    std::mt19937_64 rng(seed);
    doc.SetRoot(RandomNode(&doc, nullptr, rng));
    std::vector<TDecTreeNode*> nodes{doc.Root()};
    for (int i = 1; i < count; ++i) {
        TDecTreeNode* parent = nodes[rng() % nodes.size()];
        auto node = RandomNode(&doc, parent, rng);
        nodes.push_back(node.get());
        parent->Children.Add(std::move(node));
    }
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameString(const QString& a, const QString& b) { return a.isNull() == b.isNull() && a == b; }

// Every stored field, the order and the parent links of two trees.
void ExpectSameTree(const TDecTreeNode* a, const TDecTreeNode* b, const TDecTreeDocument* tree)
{
    std::vector<std::pair<const TDecTreeNode*, const TDecTreeNode*>> stack{{a, b}};
    int compared = 0;
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        ++compared;
        ASSERT_TRUE(x && y);
        EXPECT_EQ(x->Id, y->Id);
        EXPECT_EQ(x->CloneMasterId, y->CloneMasterId);
        EXPECT_TRUE(SameString(x->Caption, y->Caption));
        EXPECT_TRUE(SameString(x->Comment, y->Comment));
        EXPECT_TRUE(SameString(x->DecisionOwner, y->DecisionOwner));
        EXPECT_TRUE(SameString(x->DecisionCaption, y->DecisionCaption));
        EXPECT_TRUE(SameString(x->PayoffSource, y->PayoffSource));
        EXPECT_EQ(x->DecisionShowCaption, y->DecisionShowCaption);
        EXPECT_EQ(x->DecisionShowOwner, y->DecisionShowOwner);
        EXPECT_EQ(x->DecisionShowDueDate, y->DecisionShowDueDate);
        EXPECT_EQ(x->DecisionShowFixed, y->DecisionShowFixed);
        EXPECT_EQ(x->DecisionMultiShowBudget, y->DecisionMultiShowBudget);
        EXPECT_EQ(x->DecisionMultiShowInvestment, y->DecisionMultiShowInvestment);
        EXPECT_TRUE(SameBits(x->DecisionDueDate, y->DecisionDueDate));
        EXPECT_EQ(x->DecisionFixed, y->DecisionFixed);
        EXPECT_EQ(x->DecisionMultiBudget, y->DecisionMultiBudget);
        EXPECT_EQ(x->ChildrenVisible, y->ChildrenVisible);
        EXPECT_TRUE(SameBits(x->Probability, y->Probability));
        EXPECT_EQ(x->Payoff, y->Payoff);
        EXPECT_EQ(x->NodeType, y->NodeType);
        EXPECT_EQ(x->ChanceType, y->ChanceType);
        if (tree) {
            EXPECT_EQ(y->Tree, tree);
        }
        ASSERT_EQ(x->Children.Count(), y->Children.Count());
        for (int i = 0; i < y->Children.Count(); ++i) {
            EXPECT_EQ(y->Children[i]->Parent(), y);
            stack.push_back({x->Children[i], y->Children[i]});
        }
    }
    EXPECT_GT(compared, 0);
}

} // namespace

TEST(UndoStacks, KeepAtMostMaxUndoPlusOneAndDropTheOldest)
{
    TCounterUndo undo;
    for (int i = 0; i < 600; ++i) {
        undo.Value = i;
        undo.SaveState(QString::number(i));
    }
    ASSERT_EQ(undo.UndoStack().size(), 501u);
    EXPECT_EQ(undo.UndoStack().front()->Description, QStringLiteral("99"));
    EXPECT_EQ(undo.UndoDescription(), QStringLiteral("599"));
}

TEST(UndoStacks, UndoAndRedoSwapTheStatesUnderTheActionsName)
{
    TCounterUndo undo;
    undo.Value = 1;
    undo.SaveState(QStringLiteral("Set to 2"));
    undo.Value = 2;
    undo.SaveState(QStringLiteral("Set to 3"));
    undo.Value = 3;
    undo.Undo();
    EXPECT_EQ(undo.Value, 2);
    EXPECT_EQ(undo.UndoDescription(), QStringLiteral("Set to 2"));
    EXPECT_EQ(undo.RedoDescription(), QStringLiteral("Set to 3"));
    undo.Undo();
    EXPECT_EQ(undo.Value, 1);
    EXPECT_FALSE(undo.CanUndo());
    EXPECT_EQ(undo.RedoStack().size(), 2u);
    undo.Redo();
    EXPECT_EQ(undo.Value, 2);
    undo.Redo();
    EXPECT_EQ(undo.Value, 3);
    EXPECT_FALSE(undo.CanRedo());
    EXPECT_EQ(undo.UndoDescription(), QStringLiteral("Set to 3"));
}

TEST(UndoStacks, ANewActionEndsTheRedoHistory)
{
    TCounterUndo undo;
    undo.SaveState(QStringLiteral("A"));
    undo.SaveState(QStringLiteral("B"));
    undo.Undo();
    ASSERT_TRUE(undo.CanRedo());
    undo.SaveState(QStringLiteral("C"));
    EXPECT_FALSE(undo.CanRedo());
    EXPECT_EQ(undo.RedoDescription(), QString());
    EXPECT_EQ(undo.UndoDescription(), QStringLiteral("C"));
}

TEST(DecTreeUndo, UndoAndRedoRestoreTreeOptionsAndStylesExactly)
{
    TDecTreeDocument doc;
    FillTree(doc, 400, 7);
    doc.Options.CurrencySymbol = QStringLiteral("€");
    doc.Options.CurrencyDecimals = 2;
    doc.Options.OutlineCodes = true;
    doc.StyleStates.NotInTakenPath()->Symbols()->FontName()->Inherit = false;
    doc.StyleStates.NotInTakenPath()->Symbols()->FontName()->Value = QStringLiteral("Ärial");

    TDecTreeDocument before;
    FillTree(before, 400, 7);
    const TTreeOptions optionsBefore = doc.Options;
    const std::string stylesBefore = StylesXml(doc.StyleStates);

    doc.UndoManager.SaveState(QStringLiteral("Change everything"));
    // Change the tree in place and structurally, the options and the styles.
    doc.Root()->Children[0]->Caption = QStringLiteral("changed");
    doc.Root()->Children[1]->Children.Clear();
    doc.Root()->Probability = 12.5;
    doc.Options.CurrencyDecimals = 4;
    doc.ResetDefaultStyles();
    doc.StyleStates.InTakenPath()->RootStyle()->LineWidth()->Value = 9;

    TDecTreeDocument after;
    FillTree(after, 400, 7);
    after.Root()->Children[0]->Caption = QStringLiteral("changed");
    after.Root()->Children[1]->Children.Clear();
    after.Root()->Probability = 12.5;
    const std::string stylesAfter = StylesXml(doc.StyleStates);

    doc.UndoManager.Undo();
    ExpectSameTree(before.Root(), doc.Root(), &doc);
    EXPECT_EQ(doc.Options, optionsBefore);
    EXPECT_EQ(StylesXml(doc.StyleStates), stylesBefore);

    doc.UndoManager.Redo();
    ExpectSameTree(after.Root(), doc.Root(), &doc);
    EXPECT_EQ(doc.Options.CurrencyDecimals, 4);
    EXPECT_EQ(StylesXml(doc.StyleStates), stylesAfter);
}

namespace {

// The payoff of node i (in pre-order) of the document, changed by one unit.
void ChangePayoff(TDecTreeDocument& doc, size_t i)
{
    TDecTreeNode* node = doc.PreOrder()[i];
    node->Payoff = node->Payoff == std::numeric_limits<int64_t>::max() ? 0 : node->Payoff + 1;
}

} // namespace

// A one-node change shares every chunk of records but the one that holds the node: the
// snapshot costs that chunk and its own list, far below a byte a node.
TEST(DecTreeUndo, ASnapshotOfAOneNodeChangeCostsOneChunk)
{
    constexpr size_t Nodes = 20000;
    TDecTreeDocument doc;
    FillTree(doc, int(Nodes), 3);
    TDecTreeUndoManager& undo = doc.UndoManager;
    undo.SaveState(QStringLiteral("first"));
    std::mt19937_64 rng(11);
    for (int k = 0; k < 20; ++k) {
        ChangePayoff(doc, size_t(rng() % Nodes));
        const size_t bytes = undo.SnapshotBytes();
        const size_t records = undo.SharedRecordCount();
        undo.SaveState(QStringLiteral("edit"));
        // One new record: the node's.
        EXPECT_EQ(undo.SharedRecordCount(), records + 1);
        EXPECT_LT(undo.SnapshotBytes() - bytes, Nodes / 4) << "edit " << k;
    }
}

// Records and chunks that no snapshot holds any more leave the pool: as the oldest snapshots are
// dropped, and when the history is cleared.
TEST(DecTreeUndo, RecordsNoSnapshotHoldsLeaveThePool)
{
    constexpr size_t Nodes = 3000;
    TDecTreeDocument doc;
    FillTree(doc, int(Nodes), 5);
    TDecTreeUndoManager& undo = doc.UndoManager;
    undo.MaxUndo = 3;
    undo.SaveState(QStringLiteral("first"));
    const size_t bytesOfOne = undo.SnapshotBytes();
    for (size_t k = 0; k < 60; ++k) {
        // Each edit changes another node, so every snapshot holds one record of its own.
        ChangePayoff(doc, (k * 997) % Nodes);
        undo.SaveState(QStringLiteral("edit"));
        ASSERT_LE(undo.UndoStack().size(), 4u);
        // The records of the tree and one for each snapshot held besides the latest.
        EXPECT_LE(undo.SharedRecordCount(), Nodes + 5) << "edit " << k;
        EXPECT_LT(undo.SnapshotBytes(), 2 * bytesOfOne) << "edit " << k;
    }
    for (int k = 0; k < 3; ++k)
        undo.Undo();
    EXPECT_LE(undo.SharedRecordCount(), Nodes + 5);
    // A cleared history keeps nothing of the document.
    undo.Clear();
    EXPECT_EQ(undo.SharedRecordCount(), 0u);
    EXPECT_EQ(undo.SnapshotBytes(), 0u);
}

// Trees whose sizes fall on and around the chunk boundaries, changed at the first and last
// positions of chunks, in place and in their structure, are put back exactly by undo and redo.
TEST(DecTreeUndo, ChangesAtChunkBoundariesAreUndoneAndRedoneExactly)
{
    const size_t chunk = TTreeSnapshot::ChunkSize;
    for (const size_t nodes : {size_t(1), chunk - 1, chunk, chunk + 1, 2 * chunk, 3 * chunk + 7}) {
        for (const size_t at : {size_t(0), chunk - 1, chunk, 2 * chunk - 1, nodes - 1}) {
            if (at >= nodes)
                continue;
            SCOPED_TRACE(testing::Message() << nodes << " nodes, change at " << at);
            TDecTreeDocument doc, before, after;
            FillTree(doc, int(nodes), nodes + at);
            FillTree(before, int(nodes), nodes + at);
            FillTree(after, int(nodes), nodes + at);
            doc.UndoManager.SaveState(QStringLiteral("earlier"));
            doc.UndoManager.SaveState(QStringLiteral("change"));
            for (TDecTreeDocument* d : {&doc, &after}) {
                TDecTreeNode* node = d->PreOrder()[at];
                node->Caption = QStringLiteral("changed");
                std::mt19937_64 rng(at); // the same new node in both
                node->Children.Insert(0, RandomNode(d, node, rng));
            }
            doc.UndoManager.Undo();
            ExpectSameTree(before.Root(), doc.Root(), &doc);
            doc.UndoManager.Redo();
            ExpectSameTree(after.Root(), doc.Root(), &doc);
            doc.UndoManager.Undo();
            doc.UndoManager.Undo();
            ExpectSameTree(before.Root(), doc.Root(), &doc);
        }
    }
}

namespace {

// A field-for-field copy of a document's tree, made without the snapshots.
std::unique_ptr<TDecTreeDocument> CopyOf(const TDecTreeDocument& doc)
{
    auto copy = std::make_unique<TDecTreeDocument>();
    auto one = [&](const TDecTreeNode& n, TDecTreeNode* parent) {
        return std::make_unique<TDecTreeNode>(
            copy.get(), parent, n.Id, n.Caption, n.Comment, n.NodeType, n.ChanceType, n.Probability, n.Payoff,
            n.CloneMasterId, n.ChildrenVisible, n.DecisionShowCaption, n.DecisionShowOwner, n.DecisionShowDueDate,
            n.DecisionShowFixed, n.DecisionMultiShowBudget, n.DecisionMultiShowInvestment, n.DecisionFixed,
            n.DecisionCaption, n.DecisionOwner, n.DecisionMultiBudget, n.DecisionDueDate, n.PayoffSource);
    };
    if (!doc.Root())
        return copy;
    copy->SetRoot(one(*doc.Root(), nullptr));
    std::vector<std::pair<const TDecTreeNode*, TDecTreeNode*>> stack{{doc.Root(), copy->Root()}};
    while (!stack.empty()) {
        auto [from, to] = stack.back();
        stack.pop_back();
        for (const TDecTreeNode* child : from->Children) {
            auto made = one(*child, to);
            stack.push_back({child, made.get()});
            to->Children.Add(std::move(made));
        }
    }
    return copy;
}

// One random change of the tree: a field in place, or nodes added, removed or moved.
void RandomChange(TDecTreeDocument& doc, std::mt19937_64& rng)
{
    const std::vector<TDecTreeNode*> nodes = doc.PreOrder();
    TDecTreeNode* node = nodes[rng() % nodes.size()];
    TDecTreeNode* parent = node->Parent();
    switch (rng() % 13) {
    case 0: node->Payoff = node->Payoff / 2 + 1; break;
    case 1: node->Probability = PickDouble(rng); break;
    case 2: node->Caption = PickString(rng); break;
    case 3: node->DecisionOwner = PickString(rng); break;
    case 4: node->ChildrenVisible = !node->ChildrenVisible; break;
    case 5: node->Id = RandomGuid(rng); break;
    case 6: node->CloneMasterId = (rng() % 4 == 0) ? RandomGuid(rng) : Guid::Empty(); break;
    case 7: node->Children.Insert(int(rng() % uint64_t(node->Children.Count() + 1)), RandomNode(&doc, node, rng)); break;
    case 8:
        if (parent)
            parent->Children.Remove(node);
        break;
    case 9:
        if (parent && parent->Children.Count() > 1)
            parent->Children.Exchange(0, parent->Children.Count() - 1);
        break;
    case 10: {
        // A subtree moved under another node outside it.
        TDecTreeNode* to = nodes[rng() % nodes.size()];
        bool inside = false;
        for (const TDecTreeNode* a = to; a && !inside; a = a->Parent())
            inside = a == node;
        if (parent && !inside) {
            std::unique_ptr<TDecTreeNode> moved = parent->Children.Extract(parent->Children.IndexOf(node));
            moved->SetParent(to);
            to->Children.Insert(int(rng() % uint64_t(to->Children.Count() + 1)), std::move(moved));
        }
        break;
    }
    case 11:
        // Another root, as far as the snapshots can tell, now and then with another child.
        doc.Root()->Id = RandomGuid(rng);
        if (rng() & 1)
            doc.Root()->Children.Insert(0, RandomNode(&doc, doc.Root(), rng));
        break;
    default:
        // Several new children of the root at once.
        for (int k = 1 + int(rng() % 3); k > 0; --k)
            doc.Root()->Children.Add(RandomNode(&doc, doc.Root(), rng));
    }
}

} // namespace

// Random changes of every kind, one to three a step, each step recorded; then the whole history
// is undone and redone, and every state must be the tree as it was, field for field.
TEST(DecTreeUndo, RandomChangesAreUndoneAndRedoneExactly)
{
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937_64 rng(seed);
        TDecTreeDocument doc;
        FillTree(doc, 1 + int(rng() % 900), seed);
        // Few clone links, as in documents: inside clones nodes are told apart by place alone.
        for (TDecTreeNode* n : doc.PreOrder())
            if (rng() % 50 != 0)
                n->CloneMasterId = Guid::Empty();
        std::vector<std::unique_ptr<TDecTreeDocument>> states;
        const int steps = 1 + int(rng() % 12);
        for (int k = 0; k < steps; ++k) {
            states.push_back(CopyOf(doc));
            doc.UndoManager.SaveState(QStringLiteral("change"));
            for (int c = 1 + int(rng() % 3); c > 0; --c)
                RandomChange(doc, rng);
        }
        states.push_back(CopyOf(doc));
        for (int k = steps; k-- > 0;) {
            doc.UndoManager.Undo();
            ExpectSameTree(states[size_t(k)]->Root(), doc.Root(), &doc);
        }
        for (int k = 1; k <= steps; ++k) {
            doc.UndoManager.Redo();
            ExpectSameTree(states[size_t(k)]->Root(), doc.Root(), &doc);
        }
        if (HasFailure())
            return;
    }
}

// An undo writes only the nodes that differ and keeps the others, objects and all, and says
// which fields it changed: a value in place, or a structure change.
TEST(DecTreeUndo, AnUndoKeepsTheNodesItNeedNotChangeAndSaysWhatChanged)
{
    TDecTreeDocument doc;
    FillTree(doc, 2000, 9);
    TDecTreeUndoManager& undo = doc.UndoManager;
    const std::vector<TDecTreeNode*> objects = doc.PreOrder();
    TDecTreeNode* node = objects[1234];

    undo.SaveState(QStringLiteral("payoff"));
    node->Payoff = node->Payoff / 2 + 7;
    undo.Undo();
    EXPECT_EQ(doc.PreOrder(), objects);
    ASSERT_EQ(undo.LastRestore().Tree.Changed.size(), 1u);
    EXPECT_EQ(undo.LastRestore().Tree.Changed[0].Node, node);
    EXPECT_EQ(undo.LastRestore().Tree.Changed[0].Fields, uint32_t(rfPayoff));
    EXPECT_FALSE(undo.LastRestore().Tree.Structure);
    undo.Redo();
    EXPECT_EQ(doc.PreOrder(), objects);
    // The next snapshot shares everything with the state the redo gave back.
    const size_t records = undo.SharedRecordCount();
    undo.SaveState(QStringLiteral("nothing"));
    EXPECT_EQ(undo.SharedRecordCount(), records);
    undo.Undo();

    // A node inserted deep in the tree: its undo takes only that node away, and its redo makes
    // only that node again.
    undo.SaveState(QStringLiteral("insert"));
    std::mt19937_64 rng(1);
    node->Children.Insert(0, RandomNode(&doc, node, rng));
    undo.Undo();
    EXPECT_TRUE(undo.LastRestore().Tree.Structure);
    EXPECT_EQ(doc.PreOrder(), objects);
    undo.Redo();
    std::vector<TDecTreeNode*> inserted = doc.PreOrder();
    ASSERT_EQ(inserted.size(), objects.size() + 1);
    const size_t at = 1235;
    inserted.erase(inserted.begin() + at);
    EXPECT_EQ(inserted, objects);

    // Options and styles are told apart from the tree.
    undo.SaveState(QStringLiteral("options"));
    doc.Options.CurrencyDecimals = doc.Options.CurrencyDecimals + 1;
    undo.Undo();
    EXPECT_TRUE(undo.LastRestore().Options);
    EXPECT_FALSE(undo.LastRestore().Styles);
    EXPECT_TRUE(undo.LastRestore().Tree.Changed.empty());
    undo.SaveState(QStringLiteral("styles"));
    doc.StyleStates.InTakenPath()->RootStyle()->LineWidth()->Value = 7;
    undo.Undo();
    EXPECT_FALSE(undo.LastRestore().Options);
    EXPECT_TRUE(undo.LastRestore().Styles);
}

// The root itself changed: another id and another child count, undone and redone.
TEST(DecTreeUndo, ARootWithAnotherIdAndAnotherChildIsPutBack)
{
    for (const int nodes : {1, 2, 300}) {
        // Without clone links: the copies inside a clone are told apart by their places alone.
        TDecTreeDocument doc, before, after;
        for (TDecTreeDocument* d : {&doc, &before, &after}) {
            FillTree(*d, nodes, 21);
            for (TDecTreeNode* n : d->PreOrder())
                n->CloneMasterId = Guid::Empty();
        }
        const std::vector<TDecTreeNode*> kept = doc.PreOrder();
        doc.UndoManager.SaveState(QStringLiteral("root"));
        for (TDecTreeDocument* d : {&doc, &after}) {
            std::mt19937_64 rng(4);
            d->Root()->Id = RandomGuid(rng);
            d->Root()->Children.Add(RandomNode(d, d->Root(), rng));
        }
        doc.UndoManager.Undo();
        ExpectSameTree(before.Root(), doc.Root(), &doc);
        EXPECT_EQ(doc.PreOrder(), kept) << nodes << " nodes";
        doc.UndoManager.Redo();
        ExpectSameTree(after.Root(), doc.Root(), &doc);
    }
}

// Empty texts put back by an undo are one shared string, not a block of memory each, and stay
// apart from null ones.
TEST(DecTreeUndo, RestoredEmptyTextsShareOneString)
{
    TDecTreeDocument doc;
    FillTree(doc, 1, 1);
    TDecTreeNode* root = doc.Root();
    for (int i = 0; i < 50; ++i) {
        auto node = std::make_unique<TDecTreeNode>(&doc, root, Guid::NewGuid(), QString::fromLatin1(""), QString(),
                                                   ntChance, ctPercent, 0, 0, Guid::Empty(), true, false, false, false,
                                                   false, false, false, false, QString::fromLatin1(""), QString(), -1,
                                                   0, QString::fromLatin1(""));
        root->Children.Add(std::move(node));
    }
    doc.UndoManager.SaveState(QStringLiteral("delete"));
    root->Children.Clear();
    doc.UndoManager.Undo();
    ASSERT_EQ(root->Children.Count(), 50);
    const QString& first = root->Children[0]->Caption;
    for (const TDecTreeNode* node : root->Children) {
        for (const QString* text : {&node->Caption, &node->DecisionCaption, &node->PayoffSource}) {
            EXPECT_FALSE(text->isNull());
            EXPECT_TRUE(text->isEmpty());
            EXPECT_TRUE(text->isSharedWith(first));
        }
        EXPECT_TRUE(node->Comment.isNull());
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SanitisedHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool SanitisedHeap = true;
#else
constexpr bool SanitisedHeap = false;
#endif
#else
constexpr bool SanitisedHeap = false;
#endif

// Nodes keep the alignment their hot fields need, and a node made takes the memory of the node
// freed just before: were each node a block the heap aligned itself, the heap would seldom hand
// such a block out again, and a document would grow with every undo and clone refresh.
TEST(DecTreeUndo, ANodeMadeTakesTheMemoryOfTheNodeFreedBefore)
{
    TDecTreeDocument doc;
    auto make = [&doc] {
        return std::make_unique<TDecTreeNode>(&doc, nullptr, Guid::NewGuid(), QString(), QString(), ntDecision,
                                              ctPercent, 0, 0, Guid::Empty(), true, false, false, false, false, false,
                                              false, false, QString(), QString(), -1, 0, QString());
    };
    for (int turn = 0; turn < 16; ++turn) {
        std::unique_ptr<TDecTreeNode> node = make();
        const void* place = node.get();
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(place) % alignof(TDecTreeNode), 0u);
        node.reset();
        node = make();
        // A sanitiser's heap holds freed memory back on purpose.
        if (!SanitisedHeap) {
            EXPECT_EQ(node.get(), place) << "turn " << turn;
        }
    }
}

// Nodes that only moved to other places (others came or went before them) keep their records:
// a snapshot after such a change makes records for the changed nodes alone, wherever the changes
// lie.
TEST(DecTreeUndo, NodesThatOnlyMovedKeepTheirRecords)
{
    TDecTreeDocument doc;
    FillTree(doc, 5000, 17);
    TDecTreeUndoManager& undo = doc.UndoManager;
    undo.SaveState(QStringLiteral("first"));
    std::mt19937_64 rng(3);
    const std::vector<TDecTreeNode*> nodes = doc.PreOrder();
    // A new node near the front and another far behind it, and a subtree taken out between.
    TDecTreeNode* front = nodes[10];
    TDecTreeNode* back = nodes[4000];
    front->Children.Insert(0, RandomNode(&doc, front, rng));
    back->Children.Insert(0, RandomNode(&doc, back, rng));
    TDecTreeNode* gone = nodes[2000];
    while (gone->Parent() && gone->Parent()->Children.Count() < 2)
        gone = gone->Parent();
    ASSERT_TRUE(gone->Parent());
    gone->Parent()->Children.Remove(gone);
    const size_t records = undo.SharedRecordCount();
    undo.SaveState(QStringLiteral("moved"));
    // The two new nodes, and the three nodes whose child counts changed.
    EXPECT_LE(undo.SharedRecordCount(), records + 5);
}

// In a document with clones, whose copies get new ids on every refresh, an undo of a value keeps
// every node, the copies at every depth inside the clones too.
TEST(DecTreeUndo, AnUndoKeepsTheCopiesInsideClones)
{
    TDecTreeDocument doc;
    FillTree(doc, 400, 23);
    std::vector<TDecTreeNode*> nodes = doc.PreOrder();
    for (TDecTreeNode* n : nodes)
        n->CloneMasterId = Guid::Empty();
    // The master: an inner node with grandchildren; the clone: an end node outside it.
    TDecTreeNode* master = nullptr;
    for (TDecTreeNode* n : nodes)
        if (n->Parent() && n->GetLevelCount() >= 3 && n->GetLevelCount() <= 6)
            master = n;
    ASSERT_TRUE(master);
    TDecTreeNode* clone = nullptr;
    for (TDecTreeNode* n : nodes)
        if (!n->HasChildren() && master->FindNodeById(n->Id) == nullptr && !clone)
            clone = n;
    ASSERT_TRUE(clone);
    QString error;
    clone->SetCloneMaster(master->Id, error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    doc.Root()->RefreshClones();
    nodes = doc.PreOrder();
    ASSERT_GE(clone->GetLevelCount(), 3);

    TDecTreeUndoManager& undo = doc.UndoManager;
    undo.SaveState(QStringLiteral("payoff"));
    TDecTreeNode* other = nodes[1];
    other->Payoff = other->Payoff / 3 + 1;
    // A recalculation refreshes the clones: their copies get new ids.
    doc.Root()->RefreshClones();
    const std::vector<TDecTreeNode*> refreshed = doc.PreOrder();
    undo.Undo();
    EXPECT_EQ(doc.PreOrder(), refreshed);
    EXPECT_FALSE(undo.LastRestore().Tree.Changed.empty());
}

// A clone link given back in place (the node keeps its children) is seen by the document: it
// knows again that it holds clones.
TEST(DecTreeUndo, ACloneLinkGivenBackInPlaceIsSeen)
{
    TDecTreeDocument doc;
    FillTree(doc, 200, 29);
    for (TDecTreeNode* n : doc.PreOrder())
        n->CloneMasterId = Guid::Empty();
    TDecTreeNode* node = doc.PreOrder()[150];
    node->CloneMasterId = doc.PreOrder()[1]->Id;
    ASSERT_TRUE(doc.HasClones());
    const std::vector<TDecTreeNode*> objects = doc.PreOrder();
    doc.UndoManager.SaveState(QStringLiteral("unlink"));
    node->CloneMasterId = Guid::Empty();
    doc.StructureChanged(); // an unlink changes the structure
    ASSERT_FALSE(doc.HasClones());
    doc.UndoManager.Undo();
    EXPECT_EQ(doc.PreOrder(), objects);
    EXPECT_TRUE(doc.HasClones());
}
