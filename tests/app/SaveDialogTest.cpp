#include "app/DocumentFileDialog.h"
#include "app/ExportBitmap.h"
#include "app/forms/SaveNewStyleFormUnit.h"
#include "support/FileDialogAnswers.h"
#include "support/MainWindowHarness.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

// A name typed into a save dialog whose ending is none of the dialog's types ("wildcat v2.5")
// takes the chosen type's extension, so that the open dialogs list the file again.
TEST(SaveDialogTest, ANameWithAnotherEndingTakesTheChosenTypesExtension)
{
    TMainWindowHarness h;
    QTemporaryDir dir;
    TMainForm* window = h.Form.get();
    const std::function<QString()> document = [window] { return window->ExecuteSaveDialog(QStringLiteral("x")); };
    const std::function<QString()> style = [window] { return TSaveNewStyleForm(window).ExecuteBrowseDialog(); };
    // The picture dialog's answer is the file written.
    const std::function<QString()> picture = [window, &dir] {
        ExportPicture(8, 8, [](TCanvas&) {}, window);
        const QStringList written = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        return written.size() == 1 ? dir.filePath(written[0]) : written.join(QLatin1Char('|'));
    };
    const struct {
        const std::function<QString()>& Run;
        const char *Typed, *Expected;
    } cases[] = {
        {document, "wildcat v2.5", "wildcat v2.5.qdn"},
        {document, "older.PMK", "older.PMK"},
        {document, "All files (*)\tnotes v2.5", "notes v2.5"},
        {style, "mine v1.2", "mine v1.2.qdns"},
        {style, "mine.QDNS", "mine.QDNS"},
        {picture, "chart v2.5", "chart v2.5.gif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Typed);
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(dir.filePath(name));
        const QStringList typed = QString::fromUtf8(c.Typed).split(QLatin1Char('\t'));
        TFileDialogAnswers answers({(typed.size() > 1 ? typed[0] + QLatin1Char('\t') : QString()) + dir.filePath(typed.constLast())});
        EXPECT_EQ(c.Run(), dir.filePath(c.Expected));
        EXPECT_EQ(answers.Answered, 1);
    }
}

// The dialog asked about the name as typed; a file under the completed name is replaced only when
// the user agrees, and otherwise the dialog opens again.
TEST(SaveDialogTest, AnExistingFileUnderTheCompletedNameIsReplacedOnlyAfterAsking)
{
    TMainWindowHarness h;
    QTemporaryDir dir;
    const QString existing = dir.filePath("plan v1.5.qdn");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("<Tree/>") > 0);
    file.close();
    for (const TModalResult answer : {TModalResult::No, TModalResult::Yes}) {
        QStringList asked;
        SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
            asked << text;
            return answer;
        });
        TFileDialogAnswers answers({dir.filePath("plan v1.5")}); // then cancelled
        const QString chosen = h.Form->ExecuteSaveDialog(QStringLiteral("x"));
        EXPECT_EQ(chosen, answer == TModalResult::Yes ? existing : QString());
        EXPECT_EQ(asked, QStringList{ReplaceFileQuestion.arg(existing)});
        EXPECT_EQ(answers.Answered, answer == TModalResult::Yes ? 1 : 2);
    }
}
