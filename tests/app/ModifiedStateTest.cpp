#include "support/MainWindowHarness.h"

#include "Component/control/DecTree.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ModifiedStateTest, ModifiedMeansDifferentFromWhatWasLastSaved)
{
    // Steps (e: an edit, u: Undo, r: Redo, s: Save) and the modified state after each.
    const std::pair<std::string, std::string> cases[] = {
        {"esu", "101"},         // Undo past the save
        {"esur", "1010"},       // and Redo back to it
        {"eesuurr", "1101110"},
        {"esueu", "10111"},     // a new edit after undoing past the save never comes back to it
        {"eusr", "1001"},       // saved with the change undone: Redo leaves that state
        {"eu", "10"},           // never saved: back at the opened state
    };
    for (const auto& [steps, modified] : cases) {
        SCOPED_TRACE(steps);
        QTemporaryDir dir;
        TMainWindowHarness h;
        TMainForm& form = *h.Form;
        form.ExecuteSaveDialog = [&dir](const QString&) { return dir.filePath(QStringLiteral("doc.qdn")); };
        TDecTree* tree = form.GetTree();
        for (size_t i = 0; i < steps.size(); ++i) {
            if (steps[i] == 'e') {
                tree->UndoManager().SaveState(QStringLiteral("Edit Title"));
                tree->Root()->Caption += QLatin1Char('x');
                tree->Recalculate();
            }
            if (steps[i] == 'u')
                form.EditUndoMenuItem->trigger();
            if (steps[i] == 'r')
                form.EditRedoMenuItem->trigger();
            if (steps[i] == 's') {
                ASSERT_TRUE(form.SaveDocument(false));
            }
            EXPECT_EQ(form.FileSaveMenuItem->isEnabled(), modified[i] == '1') << "after step " << i;
        }
        // Closing asks exactly when the window shows what the file does not hold.
        h.Shown.clear();
        EXPECT_TRUE(form.ShowSaveChangesPrompt());
        EXPECT_EQ(h.Shown.size(), modified.back() == '1' ? 1u : 0u);
    }
}
