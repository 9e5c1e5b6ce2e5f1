#include "Component/control/DecTree.h"
#include "app/forms/TreePropertiesFormUnit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A keystroke in the font size box is one change: the box must not complete "2" to a listed
// size behind the user's back and record that as a second step.
TEST(TreePropertiesTypingTest, EachKeystrokeInTheFontSizeIsOneStepWithTheTypedValue)
{
    TDecTree tree;
    tree.Document().NewRoot();
    TTreePropertiesForm form(&tree, nullptr);
    form.PageControl->setCurrentWidget(form.StylesTabSheet);
    form.StylesPageControl->setCurrentWidget(form.StylesFontTabSheet);
    form.ShowTreeProperties();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QLineEdit* edit = form.StylesFontSizeComboBox->lineEdit();
    edit->setFocus();
    edit->selectAll();
    const struct {
        const char* key;
        int stored;
    } steps[] = {{"2", 2}, {"4", 24}};
    for (const auto& step : steps) {
        const size_t before = tree.UndoManager().UndoStack().size();
        QTest::keyClicks(edit, step.key);
        EXPECT_EQ(tree.UndoManager().UndoStack().size(), before + 1) << step.key;
        EXPECT_EQ(form.GetSelectedStyle()->FontSize()->EffectiveValue(), step.stored) << step.key;
    }
}

} // namespace
