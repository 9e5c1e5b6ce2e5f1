#include "app/MainFormUnit.h"
#include "app/ExportBitmap.h"
#include "app/MessageDialogs.h"
#include "app/Settings.h"
#include "app/forms/ModalRunner.h"

#include "Component/control/DecTree.h"
#include "support/TreeBuilder.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/widgets/RecentFileList.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTest>
#include <gtest/gtest.h>

#include <deque>
#include <unordered_set>

using namespace testtree;

namespace {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
        SetMessageDlgHook([this](QWidget*, const QString& text, TMsgDlgType, int buttons) {
            Messages << text;
            if (!Answers.empty()) {
                TModalResult answer = Answers.front();
                Answers.pop_front();
                return answer;
            }
            return buttons == mbOK ? TModalResult::OK : TModalResult::No;
        });
        SetModalRunner([](QDialog&) {
            ADD_FAILURE() << "an error window opened";
            return int(QDialog::Accepted);
        });
        ASSERT_TRUE(Dir.isValid());
    }

    void TearDown() override
    {
        Form.reset();
        SetMessageDlgHook(nullptr);
        SetModalRunner(nullptr);
        TSettingsStore::SetApplication(std::move(FPreviousStore));
    }

    // A main window with every dialog answered here.
    TMainForm& Create(const QStringList& arguments = QStringList())
    {
        Form = std::make_unique<TMainForm>(arguments);
        Form->ExecuteSaveDialog = [this](const QString&) { return SaveAnswer; };
        Form->ExecuteOpenDialog = [this] { return OpenAnswer; };
        Messages.clear();
        return *Form;
    }

    TDecTree* Tree() { return Form->GetTree(); }
    TDecTreeNode* Root() { return Tree()->Root(); }
    TUndoManager& Undo() { return Tree()->UndoManager(); }
    QString Path(const QString& name) { return Dir.filePath(name); }

    // Root (decision) with A (taken, payoff 10) and B (payoff 50), as an edit would leave it.
    void BuildSample()
    {
        Undo().SaveState(QStringLiteral("Add subnodes"));
        A = AddEnd(Root(), 100, 10);
        A->Caption = QStringLiteral("A");
        B = AddEnd(Root(), 0, 50);
        B->Caption = QStringLiteral("B");
        Tree()->Recalculate();
    }

    QByteArray Read(const QString& name)
    {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }

    bool SaveAs(const QString& name)
    {
        SaveAnswer = Path(name);
        return Form->SaveDocument(true);
    }

    QString LastMessage() const { return Messages.empty() ? QString() : Messages.back(); }

    QTemporaryDir Dir;
    std::unique_ptr<TMainForm> Form;
    QStringList Messages;
    std::deque<TModalResult> Answers;
    QString SaveAnswer;
    QString OpenAnswer;
    TDecTreeNode* A = nullptr;
    TDecTreeNode* B = nullptr;

private:
    std::unique_ptr<TSettingsStore> FPreviousStore;
};

} // namespace

// ---- Editing, undo and redo ----

TEST_F(MainFormTest, EditUndoRedoFollowTheModifiedState)
{
    Create();
    Tree()->SelectNode(Root(), htOptionDescriptor);
    Form->PopupMenuPopup();
    ASSERT_TRUE(Form->PopupAddChildMenuItem->isEnabled());
    Form->PopupAddChildMenuItem->trigger();
    ASSERT_GT(Root()->Children.Count(), 0);
    Tree()->CloseInlineEditor();
    EXPECT_TRUE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_TRUE(Form->EditUndoMenuItem->isEnabled());
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo " + Undo().UndoDescription());

    const int added = Root()->Children.Count();
    while (Form->EditUndoMenuItem->isEnabled())
        Form->EditUndoMenuItem->trigger();
    EXPECT_EQ(Root()->Children.Count(), 0);
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_TRUE(Form->EditRedoMenuItem->isEnabled());

    Form->EditRedoMenuItem->trigger();
    EXPECT_EQ(Root()->Children.Count(), added);
    EXPECT_TRUE(Form->FileSaveMenuItem->isEnabled());
}

// New leaves the root selected, as opening does, whatever was selected before: the keys then
// act on it at once.
TEST_F(MainFormTest, NewSelectsTheRoot)
{
    Create();
    Form->show();
    BuildSample();
    Tree()->SelectNode(B, htPayoff);
    Form->FileNewMenuItem->trigger(); // the change is not saved: No
    EXPECT_EQ(Tree()->GetSelectedNodes(), std::vector<TDecTreeNode*>({Root()}));
    EXPECT_EQ(Tree()->SelectionElementType(), htOptionDescriptor);
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Insert);
    EXPECT_EQ(Root()->Children.Count(), 2);
    EXPECT_TRUE(Form->EditUndoMenuItem->isEnabled());
}

// The Levels button shows the levels the tree shows after every change, undo and redo included.
TEST_F(MainFormTest, TheLevelsButtonFollowsEveryChange)
{
    Create();
    BuildSample();
    AddEnd(AddEnd(A, 100, 1), 100, 2); // four levels
    Tree()->Recalculate();
    auto level = [this] { return Form->LevelsToolButton->property("level").toInt(); };
    EXPECT_EQ(level(), 4);
    Form->LevelItemClick(2);
    EXPECT_EQ(level(), 2);
    Form->EditUndoMenuItem->trigger();
    EXPECT_EQ(level(), 4);
    Form->EditRedoMenuItem->trigger();
    EXPECT_EQ(level(), 2);
    Form->FileNewMenuItem->trigger();
    EXPECT_EQ(level(), 1);
}

TEST_F(MainFormTest, OptimizeTakesTheBestOptionAsOneUndoStep)
{
    Create();
    BuildSample();
    Form->EditOptimizeWholeMenuItem->trigger();
    EXPECT_EQ(A->Probability, 0);
    EXPECT_EQ(B->Probability, 100);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Find optimal path");
    EXPECT_EQ(Root()->ExpectedValue, 50);
    Form->EditUndoMenuItem->trigger();
    EXPECT_EQ(Root()->Children[0]->Probability, 100);
}

// ---- Opening ----

TEST_F(MainFormTest, AFileThatFailsToReadLeavesThePreviousDocument)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("good.qdn"));
    QByteArray bytes = Read("good.qdn");
    bytes.replace("<Type>Decision</Type>", "<Type>decision</Type>");
    Write("bad.qdn", bytes);

    Undo().SaveState(QStringLiteral("Edit Title"));
    Root()->Caption = QStringLiteral("Before");
    Undo().SaveState(QStringLiteral("Edit Title"));
    Root()->Caption = QStringLiteral("Current");
    Undo().Undo(); // leaves something to redo
    ASSERT_TRUE(Undo().CanRedo());
    const size_t steps = Undo().UndoStack().size();

    Form->LoadDocument(Path("bad.qdn"));
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_EQ(LastMessage(), "Error opening file: " + Path("bad.qdn") +
                                 "\r\rType must be 'Decision', 'MultiDecision' or 'Chance'.");
    EXPECT_EQ(Root()->Caption, "Before");
    EXPECT_EQ(Undo().UndoStack().size(), steps);
    EXPECT_FALSE(Undo().CanRedo());
    EXPECT_EQ(Form->FileName(), Path("good.qdn"));
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("good.qdn")}));
}

// A file that cannot be written is named in the message, whatever the writer.
TEST_F(MainFormTest, AFailedWriteNamesTheFile)
{
    Create();
    BuildSample();
    Write("plain", "not a folder");
    const QString picture = Path("plain/tree.gif");
    SetSavePictureDialogHook([&](QWidget*, const QString&, int, const QString&) { return picture; });
    const struct {
        std::function<void()> Write;
        QString Start;
    } cases[] = {
        {[&] { SaveAs("plain/tree.qdn"); }, "Error saving file: " + Path("plain/tree.qdn") + "\r\r"},
        {[&] { Form->FileExportPictureMenuItem->trigger(); }, "Error exporting picture: " + picture + "\r\r"},
    };
    for (const auto& c : cases) {
        Messages.clear();
        c.Write();
        ASSERT_EQ(Messages.size(), 1);
        EXPECT_TRUE(LastMessage().startsWith(c.Start)) << LastMessage().toStdString();
    }
    SetSavePictureDialogHook({});
}

// The document named on the command line, read while the window is made, opens at the first
// show, or the show says why it does not, as the Open command would.
TEST_F(MainFormTest, TheDocumentOnTheCommandLineOpensAtTheFirstShow)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("good.qdn"));
    Write("bad.qdn", Read("good.qdn").replace("<Type>Decision</Type>", "<Type>decision</Type>"));
    const struct {
        QString Name;
        QString Message;
    } cases[] = {{"good.qdn", ""},
                 {"missing.qdn", "File '" + Path("missing.qdn") + "' does not exist."},
                 {"bad.qdn", "Error opening file: " + Path("bad.qdn") + "\r\rType must be 'Decision', 'MultiDecision' or 'Chance'."}};
    for (const auto& c : cases) {
        Create({Path(c.Name)});
        Form->FormShow();
        EXPECT_EQ(LastMessage(), c.Message) << c.Name.toStdString();
        EXPECT_EQ(Root()->Children.Count(), c.Message.isEmpty() ? 2 : 0) << c.Name.toStdString();
        EXPECT_EQ(Form->FileName(), c.Message.isEmpty() ? Path(c.Name) : QString()) << c.Name.toStdString();
    }
}

// ---- Opening: what the program does with a file beyond parsing it ----

namespace {

QByteArray IdText(const TDecTreeNode* node) { return Guid::ToString(node->Id).toUtf8(); }

} // namespace

TEST_F(MainFormTest, OpeningRepairsIdsDropsImpossibleClonesLinksTheRestAndValuesTheTree)
{
    Create();
    // A chance of four quarters: A (10 or 30), B a clone of A, C (5) saved with A's id, and D
    // (with its child E: 40) saved as a clone of a node the file does not hold.
    Root()->NodeType = ntChance;
    TDecTreeNode* a = AddChild(Root(), ntChance, 25, 0);
    AddEnd(a, 50, 10)->Caption = QStringLiteral("a1");
    AddEnd(a, 50, 30)->Caption = QStringLiteral("a2");
    AddChild(Root(), ntChance, 25, 0)->CloneMasterId = a->Id;
    const TDecTreeNode* c = AddEnd(Root(), 25, 5);
    TDecTreeNode* d = AddChild(Root(), ntChance, 25, 0);
    AddEnd(d, 100, 40)->Caption = QStringLiteral("E");
    ASSERT_TRUE(SaveAs("open.qdn"));
    QByteArray bytes = Read("open.qdn");
    bytes.replace("\"" + IdText(c) + "\"", "\"" + IdText(a) + "\"");
    bytes.replace("\"" + IdText(d) + "\"", "\"" + IdText(d) + "\" ref=\"" + Guid::ToString(Guid::NewGuid()).toUtf8() + "\"");
    Write("open.qdn", bytes);
    const TGuid idOfA = a->Id;
    // Save as takes the old name off the recent list; opening another file keeps it.
    ASSERT_TRUE(SaveAs("other.qdn"));
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("other.qdn")}));

    Undo().SaveState(QStringLiteral("Something"));
    OpenAnswer = Path("open.qdn");
    Answers = {TModalResult::No}; // do not save the change
    Form->FileOpenMenuItem->trigger();
    ASSERT_EQ(Root()->Children.Count(), 4);
    TDecTreeNode* nodeA = Root()->Children[0];
    TDecTreeNode* nodeB = Root()->Children[1];
    TDecTreeNode* nodeD = Root()->Children[3];
    // The first holder of an id keeps it, a later one gets a new one.
    EXPECT_EQ(nodeA->Id, idOfA);
    std::unordered_set<TGuid> ids;
    for (TDecTreeNode* node : Tree()->Document().PreOrder())
        ids.insert(node->Id);
    EXPECT_EQ(ids.size(), Tree()->Document().PreOrder().size());
    // The clone shows its master's children; the link to nothing is gone, and D keeps its own child.
    EXPECT_EQ(nodeB->CloneMasterId, nodeA->Id);
    ASSERT_EQ(nodeB->Children.Count(), 2);
    EXPECT_EQ(nodeB->Children[1]->Caption, "a2");
    EXPECT_FALSE(nodeD->IsClone());
    ASSERT_EQ(nodeD->Children.Count(), 1);
    EXPECT_EQ(nodeD->Children[0]->Caption, "E");
    EXPECT_EQ(nodeD->Children[0]->Tree, &Tree()->Document());
    // Valued as soon as it shows: a quarter each of 20, 20, 5 and 40.
    EXPECT_EQ(nodeB->ExpectedValue, 20);
    EXPECT_EQ(Root()->ExpectedValue, 21.25);
    // A fresh start: nothing to undo or save, the root selected, the name in the caption.
    EXPECT_FALSE(Undo().CanUndo());
    EXPECT_FALSE(Undo().CanRedo());
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_EQ(Form->windowTitle(), "Quandrel - open.qdn");
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("open.qdn"), Path("other.qdn")}));
    EXPECT_EQ(Tree()->GetSelectedNodes(), std::vector<TDecTreeNode*>({Root()}));
}

TEST_F(MainFormTest, OpeningAnOlderFileLinksItsIntegerIdsAndTakesItsFont)
{
    Create();
    // Integer ids as older files hold them (the first character is no part of the number):
    // a clone of a node further on, which has the highest id there can be, and a link past
    // it. Flags were written -1.
    Root()->NodeType = ntChance;
    TDecTreeNode* clone = AddEnd(Root(), 50, 0);
    TDecTreeNode* master = AddChild(Root(), ntChance, 50, 0);
    AddEnd(master, 100, 8);
    clone->CloneMasterId = master->Id;
    TDecTreeNode* beyond = AddEnd(Root(), 0, 0);
    beyond->CloneMasterId = Guid::NewGuid();
    ASSERT_TRUE(SaveAs("old.pmk"));
    QByteArray bytes = Read("old.pmk");
    for (const auto& [node, legacy] : {std::pair{Root(), "n1"}, {master, "n100000"}, {master->Children[0], "n7"},
                                       {clone, "q3"}, {beyond, "n4"}})
        bytes.replace(IdText(node), legacy);
    bytes.replace(Guid::ToString(beyond->CloneMasterId).toUtf8(), "n100001");
    bytes.replace("<ChildrenVisible>1</ChildrenVisible>", "<ChildrenVisible>-1</ChildrenVisible>");
    bytes.replace("<Tree>", "<Tree><Font><FontName>Courier New</FontName><FontSize>11</FontSize><FontStyle>"
                            "[fsBold,fsUnderline]</FontStyle></Font>");
    Write("old.pmk", bytes);
    Form->LoadDocument(Path("old.pmk"));
    ASSERT_EQ(Root()->Children.Count(), 3);
    EXPECT_TRUE(Root()->Children[1]->ChildrenVisible);
    EXPECT_EQ(Root()->Children[0]->CloneMasterId, Root()->Children[1]->Id);
    EXPECT_EQ(Root()->Children[0]->Children.Count(), 1);
    EXPECT_FALSE(Root()->Children[2]->IsClone());
    EXPECT_EQ(Root()->ExpectedValue, 8);
    TStyle* style = Tree()->StyleStates().InTakenPath()->RootStyle();
    EXPECT_EQ(style->FontName()->Value, "Courier New");
    EXPECT_EQ(style->FontSize()->Value, 11);
    EXPECT_TRUE(style->FontBold()->Value);
    EXPECT_FALSE(style->FontItalic()->Value);
    EXPECT_TRUE(style->FontUnderline()->Value);
    EXPECT_FALSE(style->FontStrikeOut()->Value);
}

// ---- Node popup commands ----

TEST_F(MainFormTest, TheTreesHoverHintGoesToTheHintPanel)
{
    Create();
    Form->show();
    BuildSample();
    QApplication::processEvents();
    const TRectangle& r = B->ElementRects[htProbability];
    ASSERT_GT(r.Width, 0);
    QTest::mouseMove(Tree(), QPoint(r.Left + r.Width / 2, r.Top + r.Height / 2));
    QApplication::processEvents();
    EXPECT_EQ(GetShortHint(Tree()->Hint()), Tree()->toolTip());
    EXPECT_EQ(Form->StatusPanels[3]->text(), GetLongHint(Tree()->Hint()));
}
