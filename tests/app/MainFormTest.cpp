#include "app/MainFormUnit.h"
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
#include <QTest>
#include <gtest/gtest.h>

#include <deque>
#include <set>
#include <string>

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

// ---- Saving ----

TEST_F(MainFormTest, AFailedSaveKeepsNameCaptionRecentListAndModifiedState)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("kept.qdn"));
    Undo().SaveState(QStringLiteral("Edit Title"));
    Root()->Caption = QStringLiteral("Changed");
    Tree()->Recalculate();
    const QByteArray before = Read("kept.qdn");
    ASSERT_FALSE(before.isEmpty());

    SaveAnswer = Path("missing-folder/other.qdn");
    EXPECT_FALSE(Form->SaveDocument(true));
    ASSERT_FALSE(Messages.empty());
    EXPECT_TRUE(LastMessage().startsWith("Error saving file: \r\r"));
    EXPECT_EQ(Form->windowTitle(), "Quandrel - kept.qdn");
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("kept.qdn")}));
    EXPECT_TRUE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_EQ(Read("kept.qdn"), before);
}

// ---- Opening ----

TEST_F(MainFormTest, OpenReadsTheDocumentAndEmptiesTheUndoLists)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("doc.qdn"));

    Form->FileNewMenuItem->trigger();
    Undo().SaveState(QStringLiteral("Something"));
    OpenAnswer = Path("doc.qdn");
    Answers = {TModalResult::No}; // do not save the change
    Form->FileOpenMenuItem->trigger();
    ASSERT_EQ(Root()->Children.Count(), 2);
    EXPECT_EQ(Root()->Children[0]->Caption, "A");
    EXPECT_EQ(Root()->Children[0]->Tree, &Tree()->Document());
    EXPECT_FALSE(Undo().CanUndo());
    EXPECT_FALSE(Undo().CanRedo());
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_EQ(Form->windowTitle(), "Quandrel - doc.qdn");
    EXPECT_EQ(Tree()->GetSelectedNodes(), std::vector<TDecTreeNode*>({Root()}));
    EXPECT_EQ(Root()->ExpectedValue, 10); // recalculated
}

TEST_F(MainFormTest, AFileThatFailsToReadLeavesThePreviousDocument)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("good.qdn"));
    QByteArray bytes = Read("good.qdn");
    bytes.replace("<Type>Decision</Type>", "<Type>decision</Type>");
    QFile bad(Path("bad.qdn"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(bytes);
    bad.close();

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

// ---- Opening: what the program does with a file beyond parsing it ----

namespace {

// A Branch element with every field the reader needs.
std::string FileBranch(const std::string& id, const std::string& caption, const char* type, const char* probability,
                       const char* payoff, const std::string& children = "", const std::string& ref = "",
                       const char* childrenVisible = "1")
{
    std::string s = "<Branch id=\"" + id + "\"" + (ref.empty() ? "" : " ref=\"" + ref + "\"") + "><Caption>" + caption +
                    "</Caption><Type>" + type + "</Type><ChanceType>Percent</ChanceType><Probability>" + probability +
                    "</Probability><Payoff>" + payoff + "</Payoff><ChildrenVisible>" + childrenVisible +
                    "</ChildrenVisible>";
    for (const char* flag : {"DecisionFixed", "DecisionShowCaption", "DecisionShowOwner", "DecisionShowDueDate",
                             "DecisionMultiShowBudget", "DecisionMultiShowInvestment", "DecisionShowFixed"})
        s += std::string("<") + flag + ">0</" + flag + ">";
    s += "<DecisionMultiBudget>-1</DecisionMultiBudget>";
    return s + (children.empty() ? "" : "<Branches>" + children + "</Branches>") + "</Branch>";
}

std::string FileTree(const std::string& root, const std::string& extra = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tree><OutlineCodes>1</OutlineCodes><ShowPayoff>1</ShowPayoff>"
           "<CurrencyDecimals>2</CurrencyDecimals><CurrencyPosFormat>0</CurrencyPosFormat><CurrencyNegFormat>1"
           "</CurrencyNegFormat>" + extra + root + "</Tree>\n";
}

std::string Id(int n) { return "00000000-0000-4000-8000-" + std::to_string(100000000000 + n).substr(0, 12); }

} // namespace

TEST_F(MainFormTest, OpeningRepairsIdsDropsImpossibleClonesLinksTheRestAndValuesTheTree)
{
    Create();
    // A chance of four quarters: A (10 or 30), B a clone of A, C carrying A's id again (5),
    // D a clone of a node the file does not hold, with a child of its own (40).
    const std::string a = FileBranch(Id(1), "A", "Chance", "25", "0",
                                     FileBranch(Id(2), "a1", "Chance", "50", "10") + FileBranch(Id(3), "a2", "Chance", "50", "30"));
    const std::string b = FileBranch(Id(4), "B", "Chance", "25", "0", "", Id(1));
    const std::string c = FileBranch(Id(1), "C", "Chance", "25", "5");
    const std::string d = FileBranch(Id(5), "D", "Chance", "25", "0", FileBranch(Id(6), "E", "Chance", "100", "40"), Id(99));
    QFile file(Path("open.qdn"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(FileTree(FileBranch(Id(0), "Root", "Chance", "100", "0", a + b + c + d))));
    file.close();
    OpenAnswer = Path("open.qdn");
    Form->FileOpenMenuItem->trigger();
    EXPECT_EQ(Messages, QStringList());
    ASSERT_EQ(Root()->Children.Count(), 4);
    TDecTreeNode* nodeA = Root()->Children[0];
    TDecTreeNode* nodeB = Root()->Children[1];
    TDecTreeNode* nodeC = Root()->Children[2];
    TDecTreeNode* nodeD = Root()->Children[3];
    // The first holder of an id keeps it; a later one gets a new one.
    EXPECT_EQ(Guid::ToString(nodeA->Id), QString::fromStdString(Id(1)));
    std::set<QString> ids;
    for (TDecTreeNode* node : Tree()->Document().PreOrder())
        ids.insert(Guid::ToString(node->Id));
    EXPECT_EQ(ids.size(), Tree()->Document().PreOrder().size());
    // The clone shows its master's children; the link to nothing is gone, and D keeps its own child.
    EXPECT_EQ(nodeB->CloneMasterId, nodeA->Id);
    ASSERT_EQ(nodeB->Children.Count(), 2);
    EXPECT_EQ(nodeB->Children[1]->Caption, "a2");
    EXPECT_FALSE(nodeD->IsClone());
    ASSERT_EQ(nodeD->Children.Count(), 1);
    EXPECT_EQ(nodeD->Children[0]->Caption, "E");
    EXPECT_FALSE(nodeC->IsClone());
    // Valued as soon as it shows: a quarter each of 20, 20, 5 and 40.
    EXPECT_EQ(nodeB->ExpectedValue, 20);
    EXPECT_EQ(Root()->ExpectedValue, 21.25);
}

TEST_F(MainFormTest, OpeningAnOlderFileLinksItsIntegerIdsAndTakesItsFont)
{
    struct TCase {
        const char* FontStyle;
        bool Bold, Italic, Underline, StrikeOut;
    };
    const TCase cases[] = {{"[fsBold,fsUnderline]", true, false, true, false}, {"[fsItalic,fsStrikeOut]", false, true, false, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.FontStyle);
        Create();
        // The highest integer id an older file can hold, a clone of it, and a link past it; a flag
        // written as -1 is set.
        const std::string master = FileBranch("n100000", "master", "Chance", "50", "0", FileBranch("n7", "leaf", "Chance", "100", "8"), "", "-1");
        const std::string clone = FileBranch("n3", "clone", "Chance", "50", "0", "", "n100000");
        const std::string beyond = FileBranch("n4", "beyond", "Chance", "0", "0", "", "n100001");
        const std::string font = std::string("<Font><FontName>Courier New</FontName><FontSize>11</FontSize><FontStyle>") +
                                 c.FontStyle + "</FontStyle></Font>";
        QFile file(Path("old.pmk"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(FileTree(FileBranch("n1", "Root", "Chance", "100", "0", master + clone + beyond), font)));
        file.close();
        Form->LoadDocument(Path("old.pmk"));
        ASSERT_EQ(Root()->Children.Count(), 3);
        TDecTreeNode* nodeMaster = Root()->Children[0];
        EXPECT_TRUE(nodeMaster->ChildrenVisible);
        EXPECT_EQ(Root()->Children[1]->CloneMasterId, nodeMaster->Id);
        EXPECT_EQ(Root()->Children[1]->Children.Count(), 1);
        EXPECT_FALSE(Root()->Children[2]->IsClone());
        EXPECT_EQ(Root()->ExpectedValue, 8);
        TStyle* style = Tree()->StyleStates().InTakenPath()->RootStyle();
        EXPECT_EQ(style->FontName()->Value, "Courier New");
        EXPECT_EQ(style->FontSize()->Value, 11);
        EXPECT_EQ(style->FontBold()->Value, c.Bold);
        EXPECT_EQ(style->FontItalic()->Value, c.Italic);
        EXPECT_EQ(style->FontUnderline()->Value, c.Underline);
        EXPECT_EQ(style->FontStrikeOut()->Value, c.StrikeOut);
    }
}

TEST_F(MainFormTest, OpeningAndSavingKeepEveryNameOfTheRecentList)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("first.qdn"));
    ASSERT_TRUE(SaveAs("second.qdn"));
    // Save as takes the old name off the list; opening keeps it there, below the new one.
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("second.qdn")}));
    Form->LoadDocument(Path("first.qdn"));
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("first.qdn"), Path("second.qdn")}));
    // The file written holds the clone without the children it shows.
    Undo().SaveState(QStringLiteral("Define as clone"));
    AddEnd(Root(), 0, 0)->CloneMasterId = Root()->Children[0]->Id;
    AddEnd(Root()->Children[0], 100, 1);
    Tree()->Recalculate();
    ASSERT_EQ(Root()->Children[2]->Children.Count(), 1);
    ASSERT_TRUE(SaveAs("clone.qdn"));
    EXPECT_EQ(Read("clone.qdn").count("<Branches>"), 2);
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
