#include "Component/control/DecTree.h"
#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/StyleCommands.h"
#include "app/forms/ErrorFormUnit.h"
#include "app/forms/ModalRunner.h"
#include "app/forms/SaveNewStyleFormUnit.h"
#include "app/forms/StyleManagerFormUnit.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/widgets/StringTree.h"

#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <deque>
#include <gtest/gtest.h>

namespace {

class StyleCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
        SetMessageDlgHook([this](QWidget*, const QString& text, TMsgDlgType, int buttons) {
            Messages << text;
            if (!Answers.empty()) {
                const TModalResult answer = Answers.front();
                Answers.pop_front();
                return answer;
            }
            return buttons == mbOK ? TModalResult::OK : TModalResult::No;
        });
        // Errors that escape a command go to the error window: its class name and message are kept
        // with the messages.
        SetModalRunner([this](QDialog& dialog) {
            auto& form = dynamic_cast<TErrorForm&>(dialog);
            Messages << form.ExceptionNameEdit->text() + "\r\r" + form.DescriptionEdit->text();
            return int(QDialog::Accepted);
        });
        FPreviousFactory = TStyleCommands::CreateManager;
        TStyleCommands::CreateManager = [this] { return std::make_unique<TStyleManager>(Shipped(), User()); };
    }

    void TearDown() override
    {
        Form.reset();
        TStyleCommands::CreateManager = FPreviousFactory;
        SetMessageDlgHook(nullptr);
        SetModalRunner(nullptr);
        TSettingsStore::SetApplication(std::move(FPreviousStore));
    }

    TStyleCommands& Create()
    {
        Form = std::make_unique<TMainForm>();
        TStyleCommands& commands = *Form->StyleCommands;
        commands.ExecuteSaveStyleDialog = [this](bool showFileName) {
            EXPECT_EQ(showFileName, !SaveAnswer.FileName.isEmpty());
            return SaveAnswer;
        };
        commands.ExecuteStyleOpenDialog = [this] { return OpenAnswer; };
        return commands;
    }

    QString Shipped() const { return Dir.filePath("shipped"); }
    QString User() const { return Dir.filePath("user"); }
    TDecTree* Tree() const { return Form->GetTree(); }
    TStringStyleSetting* Font() const { return Tree()->StyleStates().InTakenPath()->RootStyle()->FontName(); }
    void SetFont(const QString& name)
    {
        Font()->Inherit = false;
        Font()->Value = name;
    }
    QStringList MenuCaptions() const
    {
        QStringList captions;
        for (QAction* item : Form->StylesMenu->actions())
            captions << item->text();
        return captions;
    }
    QByteArray Bytes(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A style file of the given font, written outside the style folders.
    QString WriteStyle(const QString& fileName, const QString& font)
    {
        const QString previous = Font()->Value;
        SetFont(font);
        auto document = Form->StyleCommands->WriteStyleFile(QStringLiteral("ext"), QString(), QString());
        SetFont(previous);
        WriteStyleDocument(*document, Dir.filePath(fileName));
        return Dir.filePath(fileName);
    }

    QTemporaryDir Dir;
    std::unique_ptr<TMainForm> Form;
    QStringList Messages;
    std::deque<TModalResult> Answers;
    TSaveStyleDialogResult SaveAnswer;
    QStringList OpenAnswer;

private:
    std::unique_ptr<TSettingsStore> FPreviousStore;
    std::function<std::unique_ptr<TStyleManager>()> FPreviousFactory;
};

const QString OverwriteQuestion =
    QStringLiteral("There is already a style with the same name. Do you want to overwrite it?");

} // namespace

TEST_F(StyleCommandsTest, SaveCurrentThenApplyAndUndo)
{
    TStyleCommands& commands = Create();
    const QString defaultFont = Font()->Value;

    SetFont(QStringLiteral("Courier New"));
    SaveAnswer = {true, QStringLiteral("My/Style"), QStringLiteral("two\nlines <&>"), QStringLiteral("Me\x01"), QString()};
    Form->StylesSaveCurrentStyleMenuItem->trigger();
    const QString file = User() + "/My_Style.qdns";
    const QByteArray saved = Bytes(file);
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_TRUE(saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<StyleStates Name=\"My/Style\" "
                                 "Description=\"two"));
    EXPECT_EQ(MenuCaptions().first(), QStringLiteral("My/Style"));
    EXPECT_EQ(commands.MenuItemList().Items(0)->statusTip(), QStringLiteral("two\nlines <&>"));
    EXPECT_EQ(commands.MenuItemList().Items(0)->objectName(), QStringLiteral("User_0"));
    EXPECT_TRUE(Form->StylesDeleteMenuItem->isEnabled());
    auto reread = commands.Manager().UserStyles().Items(0)->OpenDocument();
    EXPECT_STREQ(reread->document_element().attribute("Author").value(), "Me");

    // The same name again asks; No keeps the file, Yes replaces it.
    SetFont(QStringLiteral("Arial"));
    Answers = {TModalResult::No};
    Form->StylesSaveCurrentStyleMenuItem->trigger();
    EXPECT_EQ(Messages.last(), OverwriteQuestion);
    EXPECT_EQ(Bytes(file), saved);
    Answers = {TModalResult::Yes};
    Form->StylesSaveCurrentStyleMenuItem->trigger();
    EXPECT_TRUE(Bytes(file).contains("Arial"));
    EXPECT_EQ(commands.Manager().UserStyles().Count(), 1);

    Form->FileNewMenuItem->trigger();
    EXPECT_EQ(Font()->Value, defaultFont);
    commands.MenuItemList().Items(0)->trigger();
    EXPECT_EQ(Font()->EffectiveValue(), QStringLiteral("Arial"));
    EXPECT_EQ(Tree()->UndoManager().UndoDescription(), QStringLiteral("Import style"));
    Form->EditUndoMenuItem->trigger();
    EXPECT_EQ(Font()->EffectiveValue(), defaultFont);
}

TEST_F(StyleCommandsTest, ImportsDocumentsAndStyleFilesAndRefusesOtherRoots)
{
    TStyleCommands& commands = Create();
    const QString defaultFont = Font()->Value;
    const QString styleFile = WriteStyle("Fancy.qdns", "Courier");
    // A document carries the same element below its Tree root.
    pugi::xml_document tree;
    tree.append_child("Tree").append_copy(LoadStyleDocument(WriteStyle("d.qdns", "Mono"))->document_element());
    WriteStyleDocument(tree, Dir.filePath("doc.qdn"));
    QFile empty(Dir.filePath("empty.qdn"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.write("<Tree><Branch/></Tree>");
    empty.close();

    OpenAnswer = {Dir.filePath("doc.qdn")};
    Form->FileImportStylesMenuItem->trigger();
    EXPECT_EQ(Font()->Value, QStringLiteral("Mono"));
    EXPECT_EQ(commands.Manager().UserStyles().Count(), 0);

    // No style in the file: the tree and the undo history stay as they were.
    const size_t undoSteps = Tree()->UndoManager().UndoStack().size();
    OpenAnswer = {Dir.filePath("empty.qdn")};
    Form->FileImportStylesMenuItem->trigger();
    EXPECT_EQ(Messages.last(), "No style found in the file " + Dir.filePath("empty.qdn"));
    EXPECT_EQ(Tree()->UndoManager().UndoStack().size(), undoSteps);
    EXPECT_FALSE(Tree()->UndoManager().CanRedo());
    EXPECT_EQ(Font()->Value, QStringLiteral("Mono"));

    // A style file is copied into the user's styles under its file name; a second import asks.
    OpenAnswer = {styleFile};
    Form->FileImportStylesMenuItem->trigger();
    EXPECT_EQ(Font()->Value, QStringLiteral("Courier"));
    ASSERT_EQ(commands.Manager().UserStyles().Count(), 1);
    EXPECT_EQ(commands.Manager().UserStyles().Items(0)->FileName(), User() + "/Fancy.qdns");
    EXPECT_EQ(MenuCaptions().first(), QStringLiteral("ext"));
    Messages.clear();
    Form->FileImportStylesMenuItem->trigger();
    EXPECT_EQ(Messages, QStringList{OverwriteQuestion});

    // An unknown root stops the import there, before any change.
    QFile other(Dir.filePath("other.qdns"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("<Other/>");
    other.close();
    SetFont(defaultFont);
    const size_t before = Tree()->UndoManager().UndoStack().size();
    OpenAnswer = {Dir.filePath("other.qdns"), styleFile};
    Form->FileImportStylesMenuItem->trigger();
    EXPECT_TRUE(Messages.last().endsWith("Error loading Style file: " + Dir.filePath("other.qdns") +
                                         " (StyleStates Root not found)"));
    EXPECT_EQ(Tree()->UndoManager().UndoStack().size(), before);
    EXPECT_EQ(Font()->Value, defaultFont);
}

TEST_F(StyleCommandsTest, MalformedShippedFileIsListedUnderItsFileName)
{
    QDir().mkpath(Shipped());
    QFile bad(Shipped() + "/Broken one.qdns");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<StyleStates Name=");
    bad.close();
    TStyleCommands& commands = Create();
    EXPECT_EQ(MenuCaptions().first(), QStringLiteral("Broken one"));
    EXPECT_EQ(commands.MenuItemList().Items(0)->objectName(), QStringLiteral("System_0"));
    EXPECT_FALSE(Form->StylesDeleteMenuItem->isEnabled());
    commands.MenuItemList().Items(0)->trigger();
    EXPECT_TRUE(Messages.last().contains("Error loading Style file: " + Shipped() + "/Broken one.qdns ("));
    EXPECT_FALSE(Tree()->UndoManager().CanUndo());
    // A well-formed file of another kind is named too.
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<Other/>");
    bad.close();
    commands.MenuItemList().Items(0)->trigger();
    EXPECT_TRUE(Messages.last().endsWith("Error loading Style file: " + Shipped() + "/Broken one.qdns (StyleStates Root not found)"));
}

TEST_F(StyleCommandsTest, StyleManagerDeletesTheSelectedStyles)
{
    TStyleCommands& commands = Create();
    TSavedStyles& user = commands.Manager().UserStyles();
    for (const char* name : {"one", "two", "three"})
        user.Add(QString::fromLatin1(name), *commands.WriteStyleFile(QString::fromLatin1(name), {}, {}));

    TStyleManagerForm form(user);
    EXPECT_FALSE(form.DeleteButton->isEnabled());
    TStringTreeNodeCollection& nodes = form.StylesStringTree->Nodes();
    ASSERT_EQ(nodes.Count(), 3); // one, three, two
    nodes[0]->SetSelected(true);
    nodes[2]->SetSelected(true);
    EXPECT_TRUE(form.DeleteButton->isEnabled());
    Answers = {TModalResult::No};
    form.DeleteButtonClick();
    EXPECT_EQ(user.Count(), 3);
    Answers = {TModalResult::Yes};
    form.DeleteButtonClick();
    EXPECT_EQ(Messages.last(), QStringLiteral("Do you really want to delete the selected styles?"));
    ASSERT_EQ(user.Count(), 1);
    EXPECT_EQ(user.Items(0)->GetName(), QStringLiteral("three"));
    EXPECT_FALSE(QFile::exists(User() + "/one.qdns"));
    EXPECT_FALSE(QFile::exists(User() + "/two.qdns"));
    EXPECT_EQ(nodes.Count(), 1);
    EXPECT_FALSE(form.DeleteButton->isEnabled());

    // The menu follows what the dialog left.
    commands.ShowStyleManager = [](TSavedStyles& styles) { styles.Items(0)->Delete(); };
    Form->StylesDeleteMenuItem->trigger();
    EXPECT_EQ(MenuCaptions(), (QStringList{"", "Save current style...", "Delete styles..."}));
    EXPECT_FALSE(Form->StylesDeleteMenuItem->isEnabled());
}

TEST(SaveNewStyleFormTest, OkNeedsANameAndWhileShownAFile)
{
    TSaveNewStyleForm form;
    form.SetShowFileName(true);
    const int withFile = form.height();
    form.NameEdit->setText(QStringLiteral("  "));
    EXPECT_FALSE(form.OKButton->isEnabled());
    form.ExecuteBrowseDialog = [] { return QStringLiteral("/tmp/x/Chosen.style.qdns"); };
    form.BrowseButtonClick();
    EXPECT_FALSE(form.OKButton->isEnabled()); // the name was not empty, so it stays blank
    form.NameEdit->clear();
    form.BrowseButtonClick();
    EXPECT_EQ(form.NameEdit->text(), QStringLiteral("Chosen.style"));
    EXPECT_TRUE(form.OKButton->isEnabled());
    form.FilenameEdit->setText(QStringLiteral(" "));
    EXPECT_FALSE(form.OKButton->isEnabled());

    form.SetShowFileName(false);
    EXPECT_TRUE(form.OKButton->isEnabled());
    EXPECT_LT(form.height(), withFile);
    form.AuthorEdit->setText(QStringLiteral(" me "));
    const TSaveStyleDialogResult result = form.Result(true);
    EXPECT_EQ(result.Name, QStringLiteral("Chosen.style"));
    EXPECT_EQ(result.Author, QStringLiteral("me"));
}

TEST(SaveNewStyleFormTest, ATypedNameGetsTheExtensionUnlessItHasItAndOnlyAStyleFileIsReplacedAfterAsking)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("folder.qdns")));
    for (const auto& [name, text] : {std::pair{"old.qdns", "<?xml version=\"1.0\"?>\n<StyleStates/>"}, {"tree.qdns", "<Tree/>"}}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) > 0);
    }
    const QString replace = QStringLiteral("The file %1 already exists. Do you want to replace it?");
    const QString refuse = QStringLiteral("The file %1 is not a style file and cannot be replaced by one. Please choose "
                                          "another file name.");
    const struct {
        const char* Typed;  // empty: chosen with the browse button, which asked already
        const char* Chosen; // the file name the dialog ends with
        TModalResult Answer;
        bool Accepted;
        QString Message;
    } cases[] = {
        {"fresh", "fresh.qdns", TModalResult::No, true, QString()},
        {"notes.xml", "notes.xml.qdns", TModalResult::No, true, QString()},
        {"mine v1.2", "mine v1.2.qdns", TModalResult::No, true, QString()},
        {"old", "old.qdns", TModalResult::No, false, replace},
        {"old.qdns", "old.qdns", TModalResult::Yes, true, replace},
        {"", "old.qdns", TModalResult::No, true, QString()},
        {"tree.qdn", "tree.qdn.qdns", TModalResult::Yes, true, QString()},
        {"tree", "tree.qdns", TModalResult::Yes, false, refuse},
        {"folder", "folder.qdns", TModalResult::Yes, false, refuse},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Typed);
        QStringList messages;
        SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
            messages << text;
            return c.Answer;
        });
        TSaveNewStyleForm form;
        form.SetShowFileName(true);
        form.show();
        const QString chosen = dir.filePath(c.Chosen);
        form.ExecuteBrowseDialog = [&chosen] { return chosen; };
        if (*c.Typed)
            QTest::keyClicks(form.FilenameEdit, dir.filePath(c.Typed));
        else
            QTest::mouseClick(form.BrowseButton, Qt::LeftButton);
        QTest::keyClicks(form.NameEdit, QStringLiteral("Style"));
        QTest::keyClick(form.NameEdit, Qt::Key_Return);
        EXPECT_EQ(form.result() == QDialog::Accepted, c.Accepted);
        EXPECT_EQ(messages, c.Message.isEmpty() ? QStringList() : QStringList{c.Message.arg(chosen)});
        EXPECT_EQ(form.Result(true).FileName, chosen);
    }
    SetMessageDlgHook(nullptr);
}
