// Random sequences of user actions on the real control, each step checked against a whole
// recalculation of a copy of the same tree: whatever an edit recalculates for itself must leave
// every value, mark, path value and rectangle exactly (bit for bit) as the whole pass makes them.
//
// QD_EDIT_SEED and QD_EDIT_COUNT choose the first seed and the number of sequences of each block
// (scripts/edit-sequences.sh runs thousands that way); a failure names the seed, the step and the
// actions that led to it, and QD_EDIT_SEED with QD_EDIT_COUNT=1 runs that sequence alone.

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "Component/model/SubtreeWork.h"
#include "Component/model/TreeSnapshot.h"
#include "bench/support/RandomTree.h"

#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int Blocks = 6;
constexpr int SequencesPerBlock = 40;

uint64_t EnvNumber(const char* name, uint64_t fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// The walks a sequence shares out among threads. Its documents are far below the sizes from which
// the program does that, so most sequences lower those sizes to a few nodes and take 2, 3 or 8
// threads however many processors there are; one in four walks as the program does.
// QD_EDIT_THREADS fixes the number of threads for every sequence (1 keeps each walk on one thread,
// the lowered sizes notwithstanding). The whole recalculations they are compared with always walk
// as the program does.
TSubtreeWorkSettings WalksOf(uint64_t seed)
{
    static const unsigned Threads[] = {0, 2, 3, 8};
    const unsigned threads = unsigned(EnvNumber("QD_EDIT_THREADS", Threads[seed % 4]));
    TSubtreeWorkSettings walks;
    if (threads > 0) {
        walks.DocumentFrom = walks.EditedSubtreeFrom = walks.SnapshotFrom = walks.RelayoutFrom = 2;
        walks.Threads = threads;
    }
    return walks;
}

class TScopedWalks {
public:
    explicit TScopedWalks(const TSubtreeWorkSettings& walks) : FSaved(SubtreeWorkSettings())
    {
        SubtreeWorkSettings() = walks;
    }
    ~TScopedWalks() { SubtreeWorkSettings() = FSaved; }

private:
    const TSubtreeWorkSettings FSaved;
};

// The nodes in pre-order: all of them, or only those on the screen (every ancestor expanded).
std::vector<TDecTreeNode*> Nodes(TDecTreeNode* root, bool shownOnly)
{
    std::vector<TDecTreeNode*> out;
    std::vector<TDecTreeNode*> stack{root};
    while (!stack.empty()) {
        TDecTreeNode* n = stack.back();
        stack.pop_back();
        out.push_back(n);
        if (n->ChildrenVisible || !shownOnly)
            for (int i = n->Children.Count() - 1; i >= 0; --i)
                stack.push_back(n->Children.Items(i));
    }
    return out;
}

std::vector<TDecTreeNode*> AllNodes(TDecTreeNode* root)
{
    return Nodes(root, false);
}

std::vector<TDecTreeNode*> ShownNodes(TDecTreeNode* root)
{
    return Nodes(root, true);
}

bool SameBits(double a, double b)
{
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

const char* ElementName(int element)
{
    static const char* const names[] = {"descriptor", "symbol", "probability", "payoff", "plus/minus",
                                        "roll-up", "box", "caption line", "owner line", "budget line",
                                        "investment line", "due-date line", "mode line"};
    return element >= 0 && element < int(std::size(names)) ? names[element] : "bounds";
}

// What the last recalculation left in one node.
struct TNodeResult {
    int Children;
    double Probability, ExpectedValue, MinValue, MaxValue, PathProbability, PathPayoff;
    bool InTakenPath;
    TRectangle Rects[NodeElementTypeCount + 1]; // the elements, then the bounds
};

std::vector<TNodeResult> Results(TDecTreeNode* root)
{
    std::vector<TNodeResult> out;
    for (const TDecTreeNode* n : AllNodes(root)) {
        TNodeResult r{n->Children.Count(), n->Probability, n->ExpectedValue, n->MinValue,  n->MaxValue,
                      n->PathProbability,  n->PathPayoff,  n->InTakenPath,   {}};
        std::copy(std::begin(n->ElementRects), std::end(n->ElementRects), r.Rects);
        r.Rects[NodeElementTypeCount] = n->BoundsRect;
        out.push_back(r);
    }
    return out;
}

// The control after one step: its tree as an undo snapshot holds it, and what it showed.
struct TRecordedStep {
    std::string Action;
    TTreeSnapshot Tree;
    TTreeOptions Options;
    std::vector<TNodeResult> Shown;
};

// What the control showed against what a whole recalculation of a copy of its tree gives;
// empty when they agree.
std::string CompareWithWholeRecalculation(const TRecordedStep& step)
{
    const TScopedWalks asTheProgramWalks{TSubtreeWorkSettings()};
    TDecTree whole;
    whole.Options() = step.Options;
    whole.SetRoot(step.Tree.Restore(&whole.Document()));
    const std::vector<TNodeResult>& actual = step.Shown;
    // What a whole recalculation leaves alone (the path values of inner nodes, which a collapsed
    // node's width reads, and the places of hidden nodes) is carried over, so that only what it
    // writes is compared.
    const std::vector<TDecTreeNode*> copy = AllNodes(whole.Root());
    if (copy.size() != actual.size())
        return "the copy of the tree has another number of nodes";
    for (size_t i = 0; i < copy.size(); ++i) {
        const TNodeResult& a = actual[i];
        TDecTreeNode& c = *copy[i];
        c.ExpectedValue = a.ExpectedValue;
        c.MinValue = a.MinValue;
        c.MaxValue = a.MaxValue;
        c.InTakenPath = a.InTakenPath;
        c.PathProbability = a.PathProbability;
        c.PathPayoff = a.PathPayoff;
        std::copy(a.Rects, a.Rects + NodeElementTypeCount, std::begin(c.ElementRects));
        c.BoundsRect = a.Rects[NodeElementTypeCount];
    }
    whole.Recalculate();
    const std::vector<TNodeResult> expected = Results(whole.Root());
    std::ostringstream out;
    if (expected.size() != actual.size()) {
        out << "the tree has " << actual.size() << " nodes, a whole recalculation " << expected.size();
        return out.str();
    }
    const std::vector<TDecTreeNode*> nodes = AllNodes(whole.Root());
    for (size_t i = 0; i < actual.size(); ++i) {
        const TNodeResult& a = actual[i];
        const TNodeResult& e = expected[i];
        auto differs = [&](const char* what, double x, double y) {
            if (SameBits(x, y))
                return false;
            out.precision(17);
            out << "node " << i << " (depth " << nodes[i]->GetDepth() << ", " << a.Children << " children"
                << (nodes[i]->IsCloneOrInsideClone() ? ", clone" : "") << "): " << what << " " << x << ", whole " << y;
            return true;
        };
        if (differs("child count", a.Children, e.Children) || differs("probability", a.Probability, e.Probability) ||
            differs("expected value", a.ExpectedValue, e.ExpectedValue) ||
            differs("min value", a.MinValue, e.MinValue) || differs("max value", a.MaxValue, e.MaxValue) ||
            differs("in taken path", a.InTakenPath, e.InTakenPath))
            return out.str();
        if (a.Children == 0 && (differs("path probability", a.PathProbability, e.PathProbability) ||
                                differs("path payoff", a.PathPayoff, e.PathPayoff)))
            return out.str();
        for (int r = 0; r <= NodeElementTypeCount; ++r) {
            const TRectangle& x = a.Rects[r];
            const TRectangle& y = e.Rects[r];
            if (x.Left != y.Left || x.Top != y.Top || x.Width != y.Width || x.Height != y.Height) {
                out << "node " << i << " (depth " << nodes[i]->GetDepth() << "): " << ElementName(r) << " at ("
                    << x.Left << ", " << x.Top << ", " << x.Width << ", " << x.Height << "), whole (" << y.Left << ", "
                    << y.Top << ", " << y.Width << ", " << y.Height << ")";
                return out.str();
            }
        }
    }
    return {};
}

// One random document and one random sequence of user actions on it, from one seed.
class TEditSequence {
public:
    explicit TEditSequence(uint64_t seed) : FSeed(seed), R(seed * 0x9E3779B97F4A7C15ull + 1)
    {
        Box = std::make_unique<TScrollableDecTree>();
        Box->resize(500, 400);
        Tree = Box->Tree();
        Tree->Dialogs.Confirm = [](QWidget*, const QString&) { return true; };
        Tree->Dialogs.Inform = [](QWidget*, const QString&) {};
        Tree->Dialogs.EditDueDate = [this](const QPoint&, double& date) {
            date = 45000 + double(R() % 400);
            return true;
        };
        // As the main window records them.
        Tree->OnBeforeExpandCollapse = [](TDecTree* t) { t->UndoManager().SaveState(QStringLiteral("Expand")); };
        Tree->OnBeforeShowDecisionProperty = [](TDecTree* t) {
            t->UndoManager().SaveState(QStringLiteral("Show property"));
        };
        Box->show();
        QApplication::setActiveWindow(Box.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Box.get()));
    }

    // Runs the sequence; the first difference from a whole recalculation, with what led to it,
    // or empty.
    std::string Run()
    {
        MakeDocument();
        Tree->Recalculate();
        if (std::string d = Check("the document as loaded"); !d.empty())
            return d;
        const int steps = 50 + int(R() % 151);
        for (FStep = 0; FStep < steps; ++FStep) {
            const std::string action = Act();
            if (std::string d = Check(action); !d.empty())
                return d;
            if (Chance(0.12))
                if (std::string d = BackAndForth(); !d.empty())
                    return d;
        }
        return Flush();
    }

    int Edits() const { return FEdits; }

private:
    double Uniform() { return std::uniform_real_distribution<double>(0, 1)(R); }
    bool Chance(double p) { return Uniform() < p; }
    template <class T>
    T Pick(const std::vector<T>& items)
    {
        return items[R() % items.size()];
    }

    void MakeDocument()
    {
        TRandomTreeSettings s;
        s.Seed = R();
        // Mostly small trees, a few up to 2,000 nodes.
        s.NodeCount = int(std::lround(20 * std::pow(100.0, Uniform() * Uniform())));
        s.MaxChildren = 2 + int(R() % 4);
        s.MultiDecisionShare = 0.1 + 0.3 * Uniform();
        s.BudgetShare = Uniform();
        s.FixedShare = 0.15 * Uniform();
        s.ZeroChanceShare = Chance(0.3) ? 0.1 : 0;
        s.ChainShare = 0.3 * Uniform();
        FillRandomDocument(Tree->Document(), s);
        TTreeOptions& o = Tree->Options();
        o.SetShowPayoff(!Chance(0.25));
        o.SetOutlineCodes(Chance(0.3));
        o.SetCurrencySymbol(Chance(0.5) ? QStringLiteral("$") : QString());
        o.SetCurrencyDecimals(int(R() % 3));
        for (TDecTreeNode* n : AllNodes(Tree->Root())) {
            n->ChildrenVisible = !Chance(0.04);
            if (Chance(0.2)) {
                n->DecisionShowCaption = Chance(0.7);
                n->DecisionShowOwner = Chance(0.5);
                n->DecisionMultiShowBudget = Chance(0.7);
                n->DecisionMultiShowInvestment = Chance(0.5);
                n->DecisionShowFixed = Chance(0.3);
                n->DecisionShowDueDate = Chance(0.2);
                n->DecisionCaption = QStringLiteral("c");
            }
        }
        if (Chance(0.5))
            for (int k = int(R() % 4); k >= 0; --k)
                LinkClone(false);
        Tree->SelectNode(Tree->Root(), htOptionDescriptor);
    }

    // Makes a random node a clone of another, as the main window's command does.
    bool LinkClone(bool recorded)
    {
        const auto nodes = AllNodes(Tree->Root());
        TDecTreeNode* node = Pick(nodes);
        TDecTreeNode* master = Pick(nodes);
        if (!master->HasChildren() || node->HasChildren() == Chance(0.8))
            return false;
        // Refused links change nothing; the rules are the model's.
        const TGuid masterId = master->Id;
        if (recorded)
            Tree->UndoManager().SaveState(QStringLiteral("Define as clone"));
        QString error;
        node->SetCloneMaster(masterId, error);
        if (!error.isEmpty()) {
            if (recorded)
                Tree->UndoManager().Undo();
            return false;
        }
        Tree->Recalculate();
        return true;
    }

    // Mouse events at a point of the drawing, handed to the control itself where its view shows
    // that point: clicks at the same place of the window one after the other would otherwise
    // count as double clicks.
    void Mouse(QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons)
    {
        const QPointF client(Tree->ToClient(at));
        QMouseEvent event(type, client, Tree->mapToGlobal(client), Qt::LeftButton, buttons, {});
        QApplication::sendEvent(Tree, &event);
    }

    void Click(const QPoint& at)
    {
        Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    }

    void Key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QTest::keyClick(target, key, mods);
    }

    void Type(QWidget* target, QChar c)
    {
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), {});
    }

    // The elements of a node that open the in-place editor or act at once (a decision's mark).
    std::vector<TNodeElementType> EditableElements(const TDecTreeNode& n)
    {
        std::vector<TNodeElementType> out{htOptionDescriptor};
        if (n.Parent()) {
            out.push_back(htPayoff);
            out.push_back(htPayoff);
            out.push_back(htProbability);
            out.push_back(htProbability);
        }
        for (TNodeElementType e : {htSymbolAttributeCaption, htSymbolAttributeOwner, htSymbolAttributeMultiBudget,
                                   htSymbolAttributeMultiBudget, htSymbolAttributeFixed, htSymbolAttributeDueDate})
            if (TDecTree::ValidElementType(e, n))
                out.push_back(e);
        return out;
    }

    std::string Describe(const char* what, const TDecTreeNode* node = nullptr, int element = -1)
    {
        std::ostringstream s;
        s << what;
        if (node) {
            const auto nodes = AllNodes(Tree->Root());
            s << " node " << (std::find(nodes.begin(), nodes.end(), node) - nodes.begin());
        }
        if (element >= 0)
            s << " " << ElementName(element);
        return s.str();
    }

    // One user action; answers what it was.
    std::string Act()
    {
        if (Tree->IsEditing() && Chance(0.75))
            return Keystroke();
        // Reaching anything else takes a click, which ends the edit and keeps what was typed.
        Tree->CloseInlineEditor();
        const double roll = Uniform();
        const auto shown = ShownNodes(Tree->Root());
        if (roll < 0.45) {
            // Select an element and start editing it: Enter, F2, or typing over it.
            TDecTreeNode* node = Pick(shown);
            const TNodeElementType element = Pick(EditableElements(*node));
            Tree->SelectNode(node, element);
            // Now and then the same element of a few more nodes, for Ctrl+Enter.
            if (Chance(0.15))
                for (int k = 0; k < 2; ++k) {
                    TDecTreeNode* other = Pick(shown);
                    if (TDecTree::ValidElementType(element, *other) && !Tree->Selection().Contains(other->Id))
                        Tree->Selection().Add(other->Id);
                }
            const std::string what = Describe("edit", node, element);
            if (Chance(0.3))
                Type(Tree, Pick(std::vector<QChar>{QChar('1'), QChar('7'), QChar('-'), QChar('x')}));
            else
                Key(Tree, Chance(0.5) ? Qt::Key_Return : Qt::Key_F2);
            FEdits += Tree->IsEditing();
            return what;
        }
        if (roll < 0.55) {
            // Take an option (a decision's mark), also inside clones.
            std::vector<TDecTreeNode*> options;
            for (TDecTreeNode* n : shown)
                if (n->Parent() && n->Parent()->NodeType != ntChance)
                    options.push_back(n);
            if (options.empty())
                return "no option to take";
            TDecTreeNode* option = Pick(options);
            const std::string what = Describe("take", option);
            if (Chance(0.5)) {
                Tree->SelectNode(option, htProbability);
                Key(Tree, Qt::Key_Return);
                return what;
            }
            // A double click on the mark: the first click selects it through the hit test.
            const TRectangle r = option->ElementRects[htProbability];
            const QPoint at(r.Left + r.Width / 2, r.Top + r.Height / 2);
            Click(at);
            Mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
            Mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
            return what + " by a double click";
        }
        if (roll < 0.63) {
            TDecTreeNode* node = Pick(shown);
            const bool toParent = Chance(0.3);
            const std::string what = Describe(toParent ? "insert beside" : "insert below", node);
            Tree->SelectNode(node, htOptionDescriptor);
            Key(Tree, Qt::Key_Insert, toParent ? Qt::ShiftModifier : Qt::NoModifier);
            return what;
        }
        if (roll < 0.69) {
            TDecTreeNode* node = Pick(shown);
            const std::string what = Describe("delete", node);
            Tree->SelectNode(node, htOptionDescriptor);
            if (Chance(0.2))
                Tree->Selection().Add(Pick(shown)->Id);
            Key(Tree, Qt::Key_Delete);
            return what;
        }
        if (roll < 0.78) {
            if (!Tree->UndoManager().CanUndo())
                return "nothing to undo";
            Tree->UndoManager().Undo();
            return "undo";
        }
        if (roll < 0.84) {
            if (!Tree->UndoManager().CanRedo())
                return "nothing to redo";
            Tree->UndoManager().Redo();
            return "redo";
        }
        if (roll < 0.89) {
            // Expand or collapse by a click on the node's mark.
            std::vector<TDecTreeNode*> forks;
            for (TDecTreeNode* n : shown)
                if (n->HasChildren())
                    forks.push_back(n);
            if (forks.empty())
                return "nothing to expand";
            TDecTreeNode* node = Pick(forks);
            const std::string what = Describe("expand/collapse", node);
            const TRectangle r = node->ElementRects[htPlusMinus];
            const bool before = node->ChildrenVisible;
            // Copies inside clones get new ids on every refresh: the node is found by its place.
            const auto nodes = AllNodes(Tree->Root());
            const size_t place = size_t(std::find(nodes.begin(), nodes.end(), node) - nodes.begin());
            const QPoint at(r.Left + r.Width / 2, r.Top + r.Height / 2);
            Click(at);
            const auto after = AllNodes(Tree->Root());
            if (place >= after.size() || after[place]->ChildrenVisible == before)
                ADD_FAILURE() << "a click on the mark at (" << at.x() << ", " << at.y() << ") did not reach it";
            return what;
        }
        if (roll < 0.95) {
            // A line of the attribute box shown or hidden through its popup.
            std::vector<TDecTreeNode*> forks;
            for (TDecTreeNode* n : shown)
                if (n->HasChildren() && !n->IsCloneOrInsideClone())
                    forks.push_back(n);
            if (forks.empty())
                return "no attribute box";
            TDecTreeNode* node = Pick(forks);
            Tree->BuildAttributePopup(node);
            std::vector<QAction*> items;
            for (QAction* a : Tree->AttributePopup()->actions())
                if (a->isEnabled() && !a->isSeparator())
                    items.push_back(a);
            QAction* item = Pick(items);
            const std::string what = Describe(("popup " + item->text().toStdString()).c_str(), node);
            Tree->PopupItemClick(item);
            return what;
        }
        return LinkClone(true) ? "link a clone" : "a link refused";
    }

    // Several steps back through the history and as many forth again, each checked; at the end
    // the tree must be the very one it was before, field for field.
    std::string BackAndForth()
    {
        TDecTreeUndoManager& undo = Tree->UndoManager();
        const TTreeSnapshot before = TTreeSnapshot::Capture(FPool, Tree->Root());
        const int back = 1 + int(R() % 5);
        int undone = 0;
        for (; undone < back && undo.CanUndo(); ++undone) {
            undo.Undo();
            if (std::string d = Check("undo " + std::to_string(undone + 1) + " of " + std::to_string(back)); !d.empty())
                return d;
        }
        for (int k = 0; k < undone; ++k) {
            undo.Redo();
            if (std::string d = Check("redo " + std::to_string(k + 1) + " of " + std::to_string(undone)); !d.empty())
                return d;
        }
        // The copies inside clones get new ids on every refresh; all else is compared.
        const TTreeSnapshot after = TTreeSnapshot::Capture(FPool, Tree->Root());
        const std::vector<TDecTreeNode*> nodes = AllNodes(Tree->Root());
        size_t differs = before.NodeCount() == after.NodeCount() ? before.NodeCount() : 0;
        for (size_t i = 0; differs == before.NodeCount() && i < before.NodeCount(); ++i) {
            const TNodeRecord* x = before.Record(i);
            const TNodeRecord* y = after.Record(i);
            const size_t from = nodes[i]->IsInsideClone() ? sizeof(TGuid) : 0;
            if (x->Size != y->Size || std::memcmp(x->Bytes() + from, y->Bytes() + from, x->Size - from) != 0)
                differs = i;
        }
        if (differs != before.NodeCount())
            return "seed " + std::to_string(FSeed) + ", step " + std::to_string(FStep) + ": " +
                   std::to_string(undone) + " undone and redone do not give the tree back (node " +
                   std::to_string(differs) + ")";
        return {};
    }

    // One key in the open editor: a character, a deletion, or the end of the edit.
    std::string Keystroke()
    {
        QWidget* editor = Tree->InlineEditor();
        const double roll = Uniform();
        if (roll < 0.08) {
            Key(editor, Qt::Key_Return);
            return "Enter";
        }
        if (roll < 0.12) {
            Key(editor, Qt::Key_Return, Qt::ControlModifier);
            return "Ctrl+Enter";
        }
        if (roll < 0.16) {
            Key(editor, Qt::Key_Escape);
            return "Escape";
        }
        if (roll < 0.26) {
            Key(editor, Qt::Key_Backspace);
            return "Backspace";
        }
        if (roll < 0.30) {
            Key(editor, Qt::Key_A, Qt::ControlModifier);
            return "select all";
        }
        static const QString keys = QStringLiteral("0123456789000-.,%e x");
        const QChar c = keys[qsizetype(R() % uint64_t(keys.size()))];
        Type(editor, c);
        return std::string("type '") + char(c.unicode()) + "'";
    }

    // Records the step. The whole recalculations it is compared with run later, when the edit
    // under way has ended: building their trees would count as a change of structure, after which
    // the control's next keystroke recalculates everything and the edit's own path goes untested.
    std::string Check(const std::string& action)
    {
        FPending.push_back({action, TTreeSnapshot::Capture(FPool, Tree->Root(), FPending.empty() ? nullptr : &FPending.back().Tree),
                            Tree->Options(), Results(Tree->Root())});
        if (Tree->IsEditing() && FPending.size() < 40)
            return {};
        return Flush();
    }

    std::string Flush()
    {
        std::string found;
        for (size_t k = 0; k < FPending.size() && found.empty(); ++k) {
            FActions.push_back(FPending[k].Action);
            if (FActions.size() > 12)
                FActions.erase(FActions.begin());
            const std::string d = CompareWithWholeRecalculation(FPending[k]);
            if (d.empty())
                continue;
            std::ostringstream out;
            out << "seed " << FSeed << ", step " << FStep - int(FPending.size() - 1 - k) << ": " << d << "\n  after:";
            for (const std::string& a : FActions)
                out << " | " << a;
            found = out.str();
        }
        FPending.clear();
        return found;
    }

    uint64_t FSeed;
    std::mt19937_64 R;
    std::unique_ptr<TScrollableDecTree> Box;
    TDecTree* Tree = nullptr;
    int FStep = -1;
    int FEdits = 0;
    std::vector<std::string> FActions;
    std::shared_ptr<TNodeRecordPool> FPool = std::make_shared<TNodeRecordPool>();
    std::vector<TRecordedStep> FPending;
};

class EditSequences : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

} // namespace

TEST_P(EditSequences, EveryStepEqualsAWholeRecalculation)
{
    const uint64_t count = EnvNumber("QD_EDIT_COUNT", SequencesPerBlock);
    const uint64_t first = EnvNumber("QD_EDIT_SEED", 1) + uint64_t(GetParam()) * count;
    int edits = 0;
    for (uint64_t seed = first; seed < first + count; ++seed) {
        const TScopedWalks walks(WalksOf(seed));
        TEditSequence sequence(seed);
        const std::string difference = sequence.Run();
        ASSERT_TRUE(difference.empty()) << difference;
        edits += sequence.Edits();
    }
    // The sequences reach the editors, not only the commands around them.
    EXPECT_GT(edits, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, EditSequences, ::testing::Range(0, Blocks),
                         [](const ::testing::TestParamInfo<int>& info) { return "Block" + std::to_string(info.param); });
