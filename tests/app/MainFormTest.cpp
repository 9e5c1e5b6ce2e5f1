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

// The document named on the command line, read while the window is made, opens at the first
// show, or the show says why it does not, as the Open command would.
TEST_F(MainFormTest, TheDocumentOnTheCommandLineOpensAtTheFirstShow)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("good.qdn"));
    QByteArray bytes = Read("good.qdn");
    QFile bad(Path("bad.qdn"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(bytes.replace("<Type>Decision</Type>", "<Type>decision</Type>"));
    bad.close();
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
