#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"

#include "Component/control/DecTree.h"
#include "shared/core/MemorySettingsStore.h"

#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class ModifiedStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
        SetMessageDlgHook([this](QWidget*, const QString&, TMsgDlgType, int) {
            ++Questions;
            return TModalResult::No;
        });
        Form = std::make_unique<TMainForm>(QStringList());
        Form->ExecuteSaveDialog = [this](const QString&) { return Dir.filePath(QStringLiteral("doc.qdn")); };
    }

    void TearDown() override
    {
        Form.reset();
        SetMessageDlgHook(nullptr);
        TSettingsStore::SetApplication(std::move(FPreviousStore));
    }

    // e: an edit, u: Undo, r: Redo, s: Save (the menu commands, as a user gives them).
    void Apply(char step)
    {
        TDecTree* tree = Form->GetTree();
        switch (step) {
        case 'e':
            tree->UndoManager().SaveState(QStringLiteral("Edit Title"));
            tree->Root()->Caption += QLatin1Char('x');
            tree->Recalculate();
            break;
        case 'u':
            Form->EditUndoMenuItem->trigger();
            break;
        case 'r':
            Form->EditRedoMenuItem->trigger();
            break;
        case 's':
            ASSERT_TRUE(Form->SaveDocument(false));
            break;
        }
    }

    QTemporaryDir Dir;
    std::unique_ptr<TMainForm> Form;
    int Questions = 0;

private:
    std::unique_ptr<TSettingsStore> FPreviousStore;
};

} // namespace

TEST_F(ModifiedStateTest, ModifiedMeansDifferentFromWhatWasLastSaved)
{
    // Each step with the modified state expected after it ('1' modified, '0' not).
    struct Case {
        const char* Steps;
        const char* Modified;
    };
    const Case cases[] = {
        {"esu", "101"},      // Undo past the save
        {"esur", "1010"},    // and Redo back to it
        {"eesuurr", "1101110"},
        {"esueu", "10111"},  // a new edit after undoing past the save never comes back to it
        {"eusr", "1001"},    // saved with the change undone: Redo leaves that state
        {"eu", "10"},        // never saved: back at the opened state
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Steps);
        TearDown();
        SetUp();
        for (size_t i = 0; c.Steps[i]; ++i) {
            Apply(c.Steps[i]);
            EXPECT_EQ(Form->FileSaveMenuItem->isEnabled(), c.Modified[i] == '1') << "after step " << i;
        }
        // Closing asks exactly when the window shows what the file does not hold.
        const int before = Questions;
        EXPECT_TRUE(Form->ShowSaveChangesPrompt());
        EXPECT_EQ(Questions - before, c.Modified[strlen(c.Modified) - 1] == '1' ? 1 : 0);
    }
}
