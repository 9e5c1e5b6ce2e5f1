#include "app/AppStrings.h"
#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/Settings.h"

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "Component/model/TreeBuilder.h"
#include "shared/core/Exceptions.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/widgets/RecentFileList.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <QWindow>
#include <gtest/gtest.h>

#include <deque>

using namespace testtree;

namespace {

struct TShownMessage {
    QString Text;
    TMsgDlgType Type;
    int Buttons;
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
        SetMessageDlgHook([this](QWidget*, const QString& text, TMsgDlgType type, int buttons) {
            Messages.push_back({text, type, buttons});
            if (!Answers.empty()) {
                TModalResult answer = Answers.front();
                Answers.pop_front();
                return answer;
            }
            return buttons == mbOK ? TModalResult::OK : TModalResult::No;
        });
        ASSERT_TRUE(Dir.isValid());
    }

    void TearDown() override
    {
        Form.reset();
        SetMessageDlgHook(nullptr);
        TSettingsStore::SetApplication(std::move(FPreviousStore));
    }

    // A main window with every dialog answered here.
    TMainForm& Create(const QStringList& arguments = QStringList())
    {
        Form = std::make_unique<TMainForm>(arguments);
        Form->ExecuteSaveDialog = [this](const QString& proposed) {
            ProposedNames << proposed;
            return SaveAnswer;
        };
        Form->ExecuteOpenDialog = [this] { return OpenAnswer; };
        Form->ExecuteCommentDialog = [this](const QString& text) {
            CommentShown = text;
            return CommentAnswer;
        };
        Form->OpenHelpFile = [this](const QString& path) { HelpOpened = path; };
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

    bool SaveAs(const QString& name)
    {
        SaveAnswer = Path(name);
        return Form->SaveDocument(true);
    }

    QString LastMessage() const { return Messages.empty() ? QString() : Messages.back().Text; }

    QTemporaryDir Dir;
    std::unique_ptr<TMainForm> Form;
    std::vector<TShownMessage> Messages;
    std::deque<TModalResult> Answers;
    QStringList ProposedNames;
    QString SaveAnswer;
    QString OpenAnswer;
    QString CommentShown;
    TCommentResult CommentAnswer;
    QString HelpOpened;
    TDecTreeNode* A = nullptr;
    TDecTreeNode* B = nullptr;

private:
    std::unique_ptr<TSettingsStore> FPreviousStore;
};

} // namespace

// ---- Creation ----

TEST_F(MainFormTest, StartsWithANewUnmodifiedDocument)
{
    Create();
    EXPECT_EQ(Form->windowTitle(), "Quandrel - New Decision Tree");
    EXPECT_EQ(Root()->Caption, "New Decision Tree");
    EXPECT_EQ(Root()->NodeType, ntDecision);
    EXPECT_EQ(Root()->Children.Count(), 0);
    EXPECT_TRUE(Tree()->Options().OutlineCodes);
    EXPECT_TRUE(Tree()->Options().ShowPayoff);
    EXPECT_EQ(Tree()->Options().StatusDate, 0);
    EXPECT_TRUE(Form->FileName().isEmpty());
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_TRUE(Form->FileSaveAsMenuItem->isEnabled());
    EXPECT_FALSE(Form->EditUndoMenuItem->isEnabled());
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo");
    EXPECT_FALSE(Form->EditRedoMenuItem->isEnabled());
    EXPECT_EQ(Form->EditRedoMenuItem->text(), "Redo");
    EXPECT_TRUE(Form->PendingCloneMaster().IsEmpty());
    EXPECT_GE(Form->minimumWidth(), 260);
    EXPECT_TRUE(Form->acceptDrops());
}

TEST_F(MainFormTest, MenusCaptionsShortcutsAndHints)
{
    Create();
    QStringList menus;
    for (QAction* a : Form->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&Styles", "&Tools", "&Help"}));

    QStringList file;
    for (QAction* a : Form->FileMenu->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(file, QStringList({"&New", "Open...", "Save", "Save as...", "Export picture...", "-", "Import styles...",
                                 "Export style...", "-", "External data...", "Tree properties...", "-", "Print...",
                                 "-", "Exit"}));
    EXPECT_EQ(Form->FileNewMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(Form->FileOpenMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(Form->FileSaveMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(Form->FileTreePropertiesMenuItem->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_EQ(Form->FilePrintMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(Form->EditUndoMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(Form->EditRedoMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));

    EXPECT_EQ(Form->FileNewMenuItem->toolTip(), "New");
    EXPECT_EQ(Form->FileNewMenuItem->statusTip(), "Starts a new blank file");
    EXPECT_EQ(Form->EditOptimizeWholeMenuItem->toolTip(), "Optimize decisons");
    EXPECT_EQ(Form->EditOptimizeWholeMenuItem->statusTip(), "Optimizes all decisions to maximize payoff");
    EXPECT_EQ(Form->LevelsToolButton->toolTip(), "Expand/Collapse");
    EXPECT_EQ(Form->LevelsToolButton->statusTip(), "Expand or collapse nodes based on level");

    // Commands whose parts are not in the program yet are there, and disabled.
    for (QAction* item : {Form->FileExternalDataMenuItem, Form->HelpAboutMenuItem})
        EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
    for (QAction* item : {Form->FileNewMenuItem, Form->FileOpenMenuItem, Form->EditOptimizeWholeMenuItem,
                          Form->FileImportStylesMenuItem, Form->FileExportStyleMenuItem,
                          Form->StylesSaveCurrentStyleMenuItem,
                          Form->ToolsOptionsMenuItem, Form->HelpHelpMenuItem, Form->FileExitMenuItem,
                          Form->FileTreePropertiesMenuItem, Form->ToolsCheckUpdatesMenuItem,
                          Form->ToolsSendFeedbackMenuItem, Form->FileExportPictureMenuItem,
                          Form->FilePrintMenuItem, Form->EditCopyAsPictureMenuItem})
        EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
}

TEST_F(MainFormTest, StatusBarShowsThePayoffsOrBlanks)
{
    Create();
    Tree()->Options().SetCurrencySymbol(QStringLiteral("$"));
    Tree()->Options().SetCurrencyDecimals(2);
    Tree()->Options().SetCurrencyPosFormat(0);
    BuildSample();
    EXPECT_TRUE(Form->StatusPanels[0]->text().startsWith("Min "));
    EXPECT_TRUE(Form->StatusPanels[1]->text().startsWith("Current "));
    EXPECT_TRUE(Form->StatusPanels[2]->text().startsWith("Max "));
    EXPECT_EQ(Form->StatusPanels[1]->text(), "Current " + Tree()->FormatCurrency(10 * CurrencyScale));
    EXPECT_EQ(Form->StatusPanels[2]->text(), "Max " + Tree()->FormatCurrency(50 * CurrencyScale));
    const QFontMetrics metrics(Form->StatusPanels[1]->font());
    EXPECT_EQ(Form->StatusPanels[1]->width(), metrics.horizontalAdvance(Form->StatusPanels[1]->text()) + 8);

    Tree()->Options().SetShowPayoff(false);
    Tree()->Recalculate();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Form->StatusPanels[i]->text(), "    ");
}

TEST_F(MainFormTest, StatusBarValuesBeyondTheMoneyRangeShowTheLimitNotAWrappedNumber)
{
    Create();
    Tree()->Options().SetCurrencyDecimals(4);
    Root()->MinValue = -1e300;
    Root()->ExpectedValue = 0.00025; // 2.5 ten-thousandths
    Root()->MaxValue = 1e300;
    Form->UpdatePayoffStatusPanels();
    const TCurrency most = std::numeric_limits<TCurrency>::max();
    const TCurrency least = std::numeric_limits<TCurrency>::min();
    EXPECT_EQ(Form->StatusPanels[0]->text(), "Min " + Tree()->FormatCurrency(least));
    EXPECT_EQ(Form->StatusPanels[2]->text(), "Max " + Tree()->FormatCurrency(most));
    // Halves go to the even neighbour, as everywhere in the program.
    EXPECT_EQ(Form->StatusPanels[1]->text(), "Current " + Tree()->FormatCurrency(2));
}

// ---- First-run update question ----

TEST_F(MainFormTest, UpdateQuestionIsAskedOnceAndAnsweringNoStillCounts)
{
    Form = std::make_unique<TMainForm>();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, AppStrings::AskAutoUpdate);
    EXPECT_EQ(Messages[0].Buttons, mbYesNo);
    {
        TSettings settings;
        EXPECT_TRUE(settings.AutoUpdateConfigured);
        EXPECT_FALSE(settings.CanCheckForAutoUpdate);
    }
    Form.reset();
    Messages.clear();
    Form = std::make_unique<TMainForm>();
    EXPECT_TRUE(Messages.empty());
}

TEST_F(MainFormTest, UpdateCheckIsDueOnlyAfterMoreThanSevenDays)
{
    const DateTime now = DateTime::Create(2026, 12, 6, 12, 0, 0, 0);
    DateTime sevenDays = now;
    sevenDays.Ticks -= 7 * DateTime::TicksPerDay;
    EXPECT_FALSE(IsUpdateCheckDue(sevenDays, now));
    sevenDays.Ticks -= DateTime::TicksPerSecond;
    EXPECT_TRUE(IsUpdateCheckDue(sevenDays, now));
    EXPECT_TRUE(IsUpdateCheckDue(DateTime(), now));

    // With permission and a due check, the start-up asks the updater to look. The window is
    // made before the permission is given, so no real check leaves this machine.
    Create();
    {
        TSettings settings;
        settings.AutoUpdateConfigured = true;
        settings.CanCheckForAutoUpdate = true;
        settings.SaveSettings();
    }
    int checks = 0;
    Form->StartUpdateCheck = [&] { ++checks; };
    Form->AskAndCheckForUpdates();
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(Messages.empty());
}

// ---- Editing, undo and redo ----

TEST_F(MainFormTest, EditUndoRedoFollowTheModifiedState)
{
    Create();
    Tree()->SelectNode(Root(), htOptionDescriptor);
    Form->PopupMenuPopup();
    EXPECT_EQ(Form->PopupAddChildMenuItem->text(), "Add subnodes");
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
    EXPECT_TRUE(Form->EditRedoMenuItem->text().startsWith("Redo "));

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

TEST_F(MainFormTest, OptimizeWithoutPayoffsOnlyInforms)
{
    Create();
    BuildSample();
    Tree()->Options().SetShowPayoff(false);
    const size_t steps = Undo().UndoStack().size();
    Form->EditOptimizeWholeMenuItem->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, AppStrings::CannotOptimize);
    EXPECT_EQ(Messages[0].Type, TMsgDlgType::Information);
    EXPECT_EQ(Undo().UndoStack().size(), steps);
    EXPECT_EQ(A->Probability, 100);
}

TEST_F(MainFormTest, NewAsksToSaveAModifiedDocument)
{
    Create();
    BuildSample();
    Answers = {TModalResult::Cancel};
    Form->FileNewMenuItem->trigger();
    EXPECT_EQ(LastMessage(), "Do you want to save the changes?");
    EXPECT_EQ(Messages.back().Buttons, mbYesNoCancel);
    EXPECT_EQ(Root()->Children.Count(), 2);

    Answers = {TModalResult::No};
    Form->FileNewMenuItem->trigger();
    EXPECT_EQ(Root()->Children.Count(), 0);
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_FALSE(Undo().CanUndo());
}

// ---- Saving ----

TEST_F(MainFormTest, SaveOfANewDocumentProposesTheRootCaption)
{
    Create();
    BuildSample();
    SaveAnswer = Path("first.qdn");
    EXPECT_TRUE(Form->SaveDocument(false));
    EXPECT_EQ(ProposedNames, QStringList({"New Decision Tree"}));
    EXPECT_TRUE(QFile::exists(Path("first.qdn")));
    EXPECT_EQ(Form->FileName(), Path("first.qdn"));
    EXPECT_EQ(Form->windowTitle(), "Quandrel - first.qdn");
    EXPECT_EQ(Form->RecentFileList->Files().value(0), Path("first.qdn"));
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_TRUE(Undo().CanUndo()); // saving keeps the undo steps

    // With a name, Save asks nothing.
    Undo().SaveState(QStringLiteral("Edit Title"));
    Root()->Caption = QStringLiteral("Changed");
    Tree()->Recalculate();
    EXPECT_TRUE(Form->FileSaveMenuItem->isEnabled());
    Form->FileSaveMenuItem->trigger();
    EXPECT_EQ(ProposedNames.size(), 1);
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
}

TEST_F(MainFormTest, SaveAsMovesTheRecentEntryToTheNewName)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("old.qdn"));
    ASSERT_TRUE(SaveAs("new.qdn"));
    EXPECT_EQ(ProposedNames.value(1), Path("old.qdn"));
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("new.qdn")}));
    EXPECT_EQ(Form->windowTitle(), "Quandrel - new.qdn");
}

TEST_F(MainFormTest, SaveAsIsPossibleWhenNotModifiedAndCancellingChangesNothing)
{
    Create();
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    SaveAnswer.clear();
    Form->FileSaveAsMenuItem->trigger();
    EXPECT_EQ(ProposedNames.size(), 1);
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Form->FileName().isEmpty());
}

TEST_F(MainFormTest, AFailedSaveKeepsNameCaptionRecentListAndModifiedState)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("kept.qdn"));
    Undo().SaveState(QStringLiteral("Edit Title"));
    Root()->Caption = QStringLiteral("Changed");
    Tree()->Recalculate();
    const QByteArray before = [&] {
        QFile f(Path("kept.qdn"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    SaveAnswer = Path("missing-folder/other.qdn");
    EXPECT_FALSE(Form->SaveDocument(true));
    ASSERT_FALSE(Messages.empty());
    EXPECT_TRUE(LastMessage().startsWith("Error saving file: \r\r"));
    EXPECT_EQ(Messages.back().Type, TMsgDlgType::Error);
    EXPECT_EQ(Form->FileName(), Path("kept.qdn"));
    EXPECT_EQ(Form->windowTitle(), "Quandrel - kept.qdn");
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("kept.qdn")}));
    EXPECT_TRUE(Form->FileSaveMenuItem->isEnabled());
    QFile f(Path("kept.qdn"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

// ---- Opening ----

TEST_F(MainFormTest, OpenReadsTheDocumentAndEmptiesTheUndoLists)
{
    Create();
    BuildSample();
    Tree()->Options().SetCurrencySymbol(QStringLiteral("€"));
    Root()->Children[1]->Comment = QStringLiteral("two\r\nlines");
    ASSERT_TRUE(SaveAs("doc.qdn"));

    Form->FileNewMenuItem->trigger();
    Undo().SaveState(QStringLiteral("Something"));
    OpenAnswer = Path("doc.qdn");
    Answers = {TModalResult::No}; // do not save the change
    Form->FileOpenMenuItem->trigger();
    ASSERT_EQ(Root()->Children.Count(), 2);
    EXPECT_EQ(Root()->Children[0]->Caption, "A");
    EXPECT_EQ(Root()->Children[1]->Comment, "two\r\nlines");
    EXPECT_EQ(Tree()->Options().CurrencySymbol, "€");
    EXPECT_EQ(Root()->Children[0]->Tree, &Tree()->Document());
    EXPECT_FALSE(Undo().CanUndo());
    EXPECT_FALSE(Undo().CanRedo());
    EXPECT_FALSE(Form->FileSaveMenuItem->isEnabled());
    EXPECT_EQ(Form->FileName(), Path("doc.qdn"));
    EXPECT_EQ(Form->windowTitle(), "Quandrel - doc.qdn");
    EXPECT_EQ(Tree()->GetSelectedNodes(), std::vector<TDecTreeNode*>({Root()}));
    EXPECT_EQ(Tree()->SelectionElementType(), htOptionDescriptor);
    EXPECT_EQ(Root()->ExpectedValue, 10); // recalculated
}

TEST_F(MainFormTest, AFileThatFailsToReadLeavesThePreviousDocument)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("good.qdn"));
    QFile good(Path("good.qdn"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    QByteArray bytes = good.readAll();
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
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(LastMessage(), "Error opening file: " + Path("bad.qdn") +
                                 "\r\rType must be 'Decision', 'MultiDecision' or 'Chance'.");
    EXPECT_EQ(Messages[0].Type, TMsgDlgType::Error);
    EXPECT_EQ(Root()->Caption, "Before");
    EXPECT_EQ(Root()->Children.Count(), 2);
    EXPECT_EQ(Undo().UndoStack().size(), steps);
    EXPECT_FALSE(Undo().CanRedo());
    EXPECT_EQ(Form->FileName(), Path("good.qdn"));
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("good.qdn")}));
}

TEST_F(MainFormTest, AMissingFileLeavesTheRecentList)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("gone.qdn"));
    ASSERT_TRUE(SaveAs("here.qdn"));
    Form->RecentFileList->Add(Path("gone.qdn"));
    QFile::remove(Path("gone.qdn"));
    Undo().SaveState(QStringLiteral("Edit Title"));

    Form->RecentFileListMenuItemClick(Path("gone.qdn"));
    // First the save-changes question (No), then the notice.
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Messages[0].Text, "Do you want to save the changes to here.qdn?");
    EXPECT_EQ(Messages[1].Text, "File '" + Path("gone.qdn") + "' does not exist.");
    EXPECT_EQ(Messages[1].Type, TMsgDlgType::Information);
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("here.qdn")}));
    EXPECT_EQ(Form->FileName(), Path("here.qdn"));
}

TEST_F(MainFormTest, RecentFileEntriesOpenTheirDocument)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("one.qdn"));
    Form->FileNewMenuItem->trigger();
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("one.qdn")}));
    Form->RecentFileListMenuItemClick(Path("one.qdn"));
    EXPECT_EQ(Form->FileName(), Path("one.qdn"));
    EXPECT_EQ(Root()->Children.Count(), 2);

    // The list outlives the window.
    Form.reset();
    Create();
    EXPECT_EQ(Form->RecentFileList->Files(), QStringList({Path("one.qdn")}));
}

TEST_F(MainFormTest, DroppingFilesOpensOnlyTheFirst)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("first.qdn"));
    Form->FileNewMenuItem->trigger();
    Undo().SaveState(QStringLiteral("Edit Title"));

    Answers = {TModalResult::Cancel};
    Form->DropFiles({Path("first.qdn"), Path("second.qdn"), Path("third.qdn")});
    EXPECT_TRUE(Form->FileName().isEmpty());

    Answers = {TModalResult::No};
    Form->DropFiles({Path("first.qdn"), Path("second.qdn"), Path("third.qdn")});
    EXPECT_EQ(Form->FileName(), Path("first.qdn"));
    EXPECT_EQ(Messages.size(), 2u); // the two questions; nothing about the other files
}

TEST_F(MainFormTest, CommandLineDocumentOpensOnceOnTheFirstShow)
{
    {
        Create();
        BuildSample();
        ASSERT_TRUE(SaveAs("arg.qdn"));
    }
    Create({Path("arg.qdn")});
    EXPECT_TRUE(Form->FileName().isEmpty());
    Form->FormShow();
    EXPECT_EQ(Form->FileName(), Path("arg.qdn"));
    Undo().SaveState(QStringLiteral("Edit Title"));
    Form->FormShow();
    EXPECT_TRUE(Undo().CanUndo());
    EXPECT_TRUE(Messages.empty());
}

TEST_F(MainFormTest, ADocumentNamedRelativeToTheWorkingFolderIsKnownByItsFullPath)
{
    {
        Create();
        BuildSample();
        ASSERT_TRUE(SaveAs("relative.qdn"));
    }
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    Create({QStringLiteral("relative.qdn")});
    Form->FormShow();
    QDir::setCurrent(previous);
    EXPECT_EQ(Form->FileName(), Path("relative.qdn"));
    EXPECT_EQ(Form->RecentFileList->Files().value(0), Path("relative.qdn"));
    EXPECT_EQ(Form->windowTitle(), "Quandrel - relative.qdn");
}

TEST_F(MainFormTest, TheUpdatersRestartParameterIsNoDocument)
{
    Create({QStringLiteral(" ")});
    Form->FormShow();
    EXPECT_TRUE(Form->FileName().isEmpty());
    EXPECT_TRUE(Messages.empty());
}

// ---- Closing ----

TEST_F(MainFormTest, ClosingAModifiedDocumentAsksFirst)
{
    Create();
    Form->show();
    BuildSample();

    Answers = {TModalResult::Cancel};
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());

    // Yes, but the save dialog is cancelled: the window stays.
    Answers = {TModalResult::Yes};
    SaveAnswer.clear();
    EXPECT_FALSE(Form->close());

    Answers = {TModalResult::Yes};
    SaveAnswer = Path("closing.qdn");
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(QFile::exists(Path("closing.qdn")));
}

TEST_F(MainFormTest, ClosingAnUnmodifiedDocumentAsksNothing)
{
    Create();
    Form->show();
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Messages.empty());
}

// ---- Help and levels ----

TEST_F(MainFormTest, HelpWithoutAHelpFileSaysSo)
{
    Create();
    Form->HelpFileName = Path("Quandrel.chm");
    Form->HelpHelpMenuItem->trigger();
    EXPECT_TRUE(HelpOpened.isEmpty());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(LastMessage().startsWith("No help file is installed"));
}

TEST_F(MainFormTest, LevelsMenuListsEveryLevel)
{
    Create();
    BuildSample();
    Form->LevelsPopupMenuPopup();
    QStringList levels;
    for (QAction* a : Form->LevelsPopupMenu->actions())
        levels << a->text();
    EXPECT_EQ(levels, QStringList({"Level 1", "Level 2"}));
    Form->LevelsPopupMenu->actions().first()->trigger();
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Expand/Collapse");
    EXPECT_FALSE(Root()->ChildrenVisible);
    EXPECT_EQ(Form->LevelsToolButton->property("level").toInt(), 1);
}

// ---- Node popup commands ----

TEST_F(MainFormTest, SingleSelectedNodeIsRequired)
{
    Create();
    BuildSample();
    Tree()->Document().Selection.Clear();
    try {
        Form->GetSingleSelectedNode();
        FAIL();
    } catch (const InvalidOperationException& e) {
        EXPECT_EQ(e.Message(), "This operation requires a selected node");
    }
    Tree()->Document().Selection.Add(A->Id);
    Tree()->Document().Selection.Add(B->Id);
    try {
        Form->GetSingleSelectedNode();
        FAIL();
    } catch (const InvalidOperationException& e) {
        EXPECT_EQ(e.Message(), "This operation requires only one selected node, but 2 are selected");
    }
    // A command shows the error and the program goes on.
    Form->PopupMoveUpMenuItem->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(LastMessage().contains("InvalidOperationException"));
}

TEST_F(MainFormTest, PopupIsSetUpForTheSelection)
{
    Create();
    BuildSample();
    Tree()->SelectNode(B, htOptionDescriptor);
    Form->PopupMenuPopup();
    EXPECT_EQ(Form->PopupEditMenuItem->text(), "Edit Title");
    EXPECT_TRUE(Form->PopupMoveUpMenuItem->isEnabled());
    EXPECT_FALSE(Form->PopupMoveDownMenuItem->isEnabled());
    EXPECT_TRUE(Form->PopupCommentMenuItem->isEnabled());
    EXPECT_TRUE(Form->PopupTakeOptionMenuItem->isEnabled());
    EXPECT_FALSE(Form->PopupTypeMenuItem->isEnabled());
    EXPECT_FALSE(Form->PopupEditPayoffAdvancedMenuItem->isEnabled());
    EXPECT_TRUE(Form->PopupEditNodeTypeStyleMenuItem->isEnabled());

    Tree()->SelectNode(Root(), htSymbol);
    Form->PopupMenuPopup();
    EXPECT_EQ(Form->PopupAddChildMenuItem->text(), "Add branch");
    EXPECT_TRUE(Form->PopupTypeMenuItem->isEnabled());
    EXPECT_TRUE(Form->PopupTypeDecisionChooseOneMenuItem->isChecked());
    EXPECT_FALSE(Form->PopupTypeChancePercentMenuItem->isChecked());
    EXPECT_FALSE(Form->PopupMoveUpMenuItem->isEnabled());
    EXPECT_FALSE(Form->PopupTakeThisPathMenuItem->isEnabled());
}

TEST_F(MainFormTest, MoveUpAndDownAreUndoneAsMoveUp)
{
    Create();
    BuildSample();
    Tree()->SelectNode(B, htOptionDescriptor);
    Form->PopupMoveUpMenuItem->trigger();
    EXPECT_EQ(Root()->Children[0], B);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Move up");
    Form->PopupMoveDownMenuItem->trigger();
    EXPECT_EQ(Root()->Children[1], B);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Move up");
}

TEST_F(MainFormTest, TypeChangeOnTheCheckedKindRecordsNothing)
{
    Create();
    BuildSample();
    Tree()->SelectNode(Root(), htSymbol);
    Form->PopupMenuPopup();
    const size_t steps = Undo().UndoStack().size();
    Form->PopupTypeDecisionChooseOneMenuItem->trigger();
    EXPECT_EQ(Undo().UndoStack().size(), steps);

    Form->PopupTypeChancePercentMenuItem->trigger();
    EXPECT_EQ(Root()->NodeType, ntChance);
    EXPECT_EQ(Root()->ChanceType, ctPercent);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Change Decision to Chance (%)");
}

TEST_F(MainFormTest, TakeThisPathAsksAboutFixedDecisions)
{
    Create();
    BuildSample();
    Root()->DecisionFixed = true;
    Tree()->SelectNode(B, htOptionDescriptor);
    Answers = {TModalResult::No};
    Form->PopupTakeThisPathMenuItem->trigger();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(LastMessage(), "In order to take the selected path, 1 fixed decision has to be changed. \r\rProceed?");
    EXPECT_EQ(B->Probability, 0);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Take path"); // the step stays recorded

    Answers = {TModalResult::Yes};
    Form->PopupTakeThisPathMenuItem->trigger();
    EXPECT_EQ(B->Probability, 100);
    EXPECT_EQ(A->Probability, 0);

    // With no fixed decision on the way nothing is asked.
    Root()->DecisionFixed = false;
    Messages.clear();
    Tree()->SelectNode(A, htOptionDescriptor);
    Form->PopupTakeThisPathMenuItem->trigger();
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(A->Probability, 100);
}

TEST_F(MainFormTest, CloneMasterIsForgottenByEverySaveChangesPrompt)
{
    Create();
    BuildSample();
    Tree()->SelectNode(B, htSymbol);
    Form->PopupDefineAsCloneOfMenuItem->trigger();
    EXPECT_EQ(LastMessage(), "Clone master not set.");

    Tree()->SelectNode(A, htSymbol);
    Form->PopupDefineAsCloneMasterMenuItem->trigger();
    EXPECT_EQ(LastMessage(), "Clone master set.");
    EXPECT_EQ(Form->PendingCloneMaster(), A->Id);
    Form->ShowSaveChangesPrompt();
    EXPECT_TRUE(Form->PendingCloneMaster().IsEmpty());
    Messages.clear();
    Tree()->SelectNode(B, htSymbol);
    Form->PopupDefineAsCloneOfMenuItem->trigger();
    EXPECT_EQ(LastMessage(), "Clone master not set.");
}

TEST_F(MainFormTest, CloneAndUnlinkKeepingTheSubnodes)
{
    Create();
    BuildSample();
    TDecTreeNode* a1 = AddEnd(A, 60, 1);
    AddEnd(A, 40, 2);
    A->NodeType = ntChance;
    a1->Caption = QStringLiteral("a1");
    Tree()->Recalculate();

    Tree()->SelectNode(A, htSymbol);
    Form->PopupDefineAsCloneMasterMenuItem->trigger();
    Tree()->SelectNode(B, htSymbol);
    Form->PopupDefineAsCloneOfMenuItem->trigger();
    EXPECT_EQ(B->CloneMasterId, A->Id);
    EXPECT_EQ(B->Children.Count(), 2);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Clone");

    // Linking the master's child to it is refused with the model's reason.
    Tree()->SelectNode(A, htSymbol);
    Form->PopupDefineAsCloneMasterMenuItem->trigger();
    Tree()->SelectNode(a1, htSymbol);
    Messages.clear();
    Form->PopupDefineAsCloneOfMenuItem->trigger();
    ASSERT_FALSE(Messages.empty());
    EXPECT_EQ(Messages.back().Type, TMsgDlgType::Warning);
    EXPECT_TRUE(a1->CloneMasterId.IsEmpty());

    Tree()->SelectNode(B, htSymbol);
    Answers = {TModalResult::Cancel};
    Form->PopupUnlinkCloneMenuItem->trigger();
    EXPECT_EQ(B->CloneMasterId, A->Id);
    Answers = {TModalResult::Yes};
    Form->PopupUnlinkCloneMenuItem->trigger();
    EXPECT_TRUE(B->CloneMasterId.IsEmpty());
    ASSERT_EQ(B->Children.Count(), 2);
    EXPECT_EQ(B->Children[0]->Caption, "a1");
    EXPECT_NE(B->Children[0]->Id, a1->Id);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Unlink Clone");
}

TEST_F(MainFormTest, CommentChangesOnlyWhenTheEditorSaysSo)
{
    Create();
    BuildSample();
    A->Comment = QStringLiteral("old");
    Tree()->SelectNode(A, htOptionDescriptor);
    const size_t steps = Undo().UndoStack().size();
    CommentAnswer = {false, QStringLiteral("ignored")};
    Form->PopupCommentMenuItem->trigger();
    EXPECT_EQ(CommentShown, "old");
    EXPECT_EQ(A->Comment, "old");
    EXPECT_EQ(Undo().UndoStack().size(), steps);

    CommentAnswer = {true, QStringLiteral("new\r\ntext")};
    Form->PopupCommentMenuItem->trigger();
    EXPECT_EQ(A->Comment, "new\r\ntext");
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Change Comment");
}

TEST_F(MainFormTest, OptimizeSubnodeDecisions)
{
    Create();
    BuildSample();
    Tree()->SelectNode(Root(), htSymbol);
    Form->PopupOptimizeSubnodeDecisionsMenuItem->trigger();
    EXPECT_EQ(B->Probability, 100);
    EXPECT_EQ(Form->EditUndoMenuItem->text(), "Undo Find optimal path");
}

TEST_F(MainFormTest, TakeThisOptionTakesItThroughTheProbabilityAndKeepsTheElement)
{
    Create();
    BuildSample();
    Tree()->SelectNode(B, htSymbol);
    Form->PopupMenuPopup();
    ASSERT_TRUE(Form->PopupTakeOptionMenuItem->isEnabled());
    EXPECT_EQ(Form->PopupTakeOptionMenuItem->text(), "Take this option");
    Form->PopupTakeOptionMenuItem->trigger();
    Tree()->CloseInlineEditor();
    EXPECT_EQ(B->Probability, 100);
    EXPECT_EQ(A->Probability, 0);
    EXPECT_EQ(Tree()->SelectionElementType(), htSymbol);
    EXPECT_TRUE(Form->FileSaveMenuItem->isEnabled());
}

TEST_F(MainFormTest, LongHintsGoToTheHintPanel)
{
    Create();
    QStatusTipEvent tip(QStringLiteral("Starts a new blank file"));
    QApplication::sendEvent(Form.get(), &tip);
    EXPECT_EQ(Form->StatusPanels[3]->text(), "Starts a new blank file");
    EXPECT_EQ(Form->StatusPanels[0]->toolTip(), "Lowest payoff possible by changing decisions");
    EXPECT_EQ(Form->StatusPanels[1]->toolTip(), "Current payoff based on your decisions");
    EXPECT_EQ(Form->StatusPanels[2]->toolTip(), "Highest payoff possible by changing decisions");
    EXPECT_TRUE(Form->StatusPanels[3]->toolTip().isEmpty());

    // A hint that quotes a node's text shows it as written.
    QStatusTipEvent markup(QStringLiteral("Comment: <b>bold</b> &amp; more"));
    QApplication::sendEvent(Form.get(), &markup);
    EXPECT_EQ(Form->StatusPanels[3]->textFormat(), Qt::PlainText);
}

TEST_F(MainFormTest, WheelScrollsByFortyAndShiftScrollsSideways)
{
    Create();
    Form->resize(400, 300);
    Form->show();
    // A tree wider and taller than the window.
    Undo().SaveState(QStringLiteral("Add subnodes"));
    for (int i = 0; i < 30; ++i) {
        TDecTreeNode* node = AddChild(Root(), ntChance, i == 0 ? 100 : 0, i);
        node->Caption = QStringLiteral("A rather long caption for node %1").arg(i);
        for (int j = 0; j < 3; ++j)
            AddEnd(node, 33, j)->Caption = QStringLiteral("another long caption to widen the tree");
    }
    Tree()->Recalculate();
    QApplication::processEvents();
    QWidget* viewport = Form->TreeContainer()->viewport();
    QScrollBar* vertical = Form->TreeContainer()->verticalScrollBar();
    QScrollBar* horizontal = Form->TreeContainer()->horizontalScrollBar();
    ASSERT_TRUE(vertical->isVisible());
    ASSERT_TRUE(horizontal->isVisible());

    auto wheel = [&](int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent event(QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &event);
    };
    wheel(-120, Qt::NoModifier);
    EXPECT_EQ(vertical->value(), 40);
    wheel(-120, Qt::NoModifier);
    EXPECT_EQ(vertical->value(), 80);
    wheel(120, Qt::NoModifier);
    EXPECT_EQ(vertical->value(), 40);
    wheel(-120, Qt::ShiftModifier);
    EXPECT_EQ(horizontal->value(), 40);
    EXPECT_EQ(vertical->value(), 40);
}

TEST_F(MainFormTest, HelpOpensTheHelpFileBesideTheProgram)
{
    Create();
    EXPECT_EQ(Form->HelpFileName, QCoreApplication::applicationDirPath() + QStringLiteral("/Quandrel.chm"));
    Form->HelpFileName = Path("Quandrel.chm");
    QFile help(Form->HelpFileName);
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    Form->HelpHelpMenuItem->trigger();
    EXPECT_EQ(HelpOpened, Path("Quandrel.chm"));
    EXPECT_TRUE(Messages.empty());
}

TEST(SystemCurrencyTest, FormatsFollowTheLocale)
{
    TTreeOptions options;
    ApplySystemCurrency(options, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(options.CurrencySymbol, "$");
    EXPECT_EQ(options.CurrencyDecimals, 2);
    EXPECT_EQ(options.CurrencyPosFormat, 0); // $1
    EXPECT_EQ(options.CurrencyNegFormat, 0); // ($1)

    ApplySystemCurrency(options, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(options.CurrencySymbol, "€");
    EXPECT_EQ(options.CurrencyDecimals, 2);
    EXPECT_EQ(options.CurrencyPosFormat, 3); // 1 €
    EXPECT_EQ(options.CurrencyNegFormat, 8); // -1 €

    ApplySystemCurrency(options, QLocale(QLocale::Japanese, QLocale::Japan));
    EXPECT_EQ(options.CurrencyDecimals, 0);
    EXPECT_EQ(options.CurrencyPosFormat, 0);
    EXPECT_EQ(options.CurrencyNegFormat, 0);
}

TEST(HintTest, ShortAndLongParts)
{
    EXPECT_EQ(GetShortHint("New|Starts a new blank file"), "New");
    EXPECT_EQ(GetLongHint("New|Starts a new blank file"), "Starts a new blank file");
    EXPECT_EQ(GetShortHint("Open"), "Open");
    EXPECT_EQ(GetLongHint("Open"), "Open");
    EXPECT_EQ(GetLongHint("Lowest payoff possible by changing decisions|"), "");
}

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
    EXPECT_FALSE(Form->StatusPanels[3]->text().isEmpty());
    EXPECT_EQ(Form->StatusPanels[3]->text(), GetLongHint(Tree()->Hint()));
}

TEST_F(MainFormTest, RecentFilesStandInTheFileMenuAboveExit)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("menu.qdn"));
    Form->FileNewMenuItem->trigger();
    Q_EMIT Form->FileMenu->aboutToShow();
    const QList<QAction*> items = Form->FileMenu->actions();
    const qsizetype exitIndex = items.indexOf(Form->FileExitMenuItem);
    QAction* entry = nullptr;
    qsizetype entryIndex = -1;
    for (qsizetype i = 0; i < items.size(); ++i)
        if (items[i]->data().toString() == Path("menu.qdn")) {
            entry = items[i];
            entryIndex = i;
        }
    ASSERT_NE(entry, nullptr);
    EXPECT_LT(entryIndex, exitIndex);
    entry->trigger();
    EXPECT_EQ(Form->FileName(), Path("menu.qdn"));
    EXPECT_EQ(Root()->Children.Count(), 2);
}

TEST_F(MainFormTest, APaintingFaultIsShownLikeAnyUnexpectedError)
{
    Create();
    BuildSample();
    // A node type that cannot be drawn makes every repaint fail.
    Root()->NodeType = TNodeType(7);
    Tree()->grab();
    QCoreApplication::processEvents();
    Root()->NodeType = ntDecision;
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Type, TMsgDlgType::Error);
    EXPECT_EQ(Messages[0].Buttons, mbOK);
    // The class name, a blank line, the message: the error box's form.
    EXPECT_TRUE(Messages[0].Text.contains(QRegularExpression("^[A-Za-z]*Exception\r\r.*NodeType")))
        << Messages[0].Text.toStdString();
}

TEST_F(MainFormTest, TheToolBarOffersNoMenuThatWouldHideIt)
{
    Create();
    Form->show();
    QCoreApplication::processEvents();
    bool menuShown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    QWidget* target = Form->StandardToolBar->widgetForAction(Form->FileNewMenuItem);
    ASSERT_NE(target, nullptr);
    for (QWidget* w : {target, static_cast<QWidget*>(Form->StandardToolBar)}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(w, &event);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(menuShown);
    EXPECT_TRUE(Form->StandardToolBar->isVisible());
}

TEST_F(MainFormTest, TheCaptionShowsAFileNameExactlyAsItIs)
{
    Create();
    BuildSample();
    ASSERT_TRUE(SaveAs("plan [*] 2.qdn"));
    Form->winId();
    ASSERT_NE(Form->windowHandle(), nullptr);
    EXPECT_EQ(Form->windowHandle()->title(), "Quandrel - plan [*] 2.qdn");
}
