#include "Component/control/DecTree.h"
#include "Component/draw/TreeLayout.h"
#include "Component/model/TreeBuilder.h"
#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/forms/TreePropertiesFormUnit.h"
#include "shared/core/MemorySettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QMenu>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

class TreePropertiesMainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
        SetMessageDlgHook([](QWidget*, const QString&, TMsgDlgType, int) { return TModalResult::No; });
    }
    void TearDown() override
    {
        SetMessageDlgHook(nullptr);
        TSettingsStore::SetApplication(std::move(FPreviousStore));
    }

private:
    std::unique_ptr<TSettingsStore> FPreviousStore;
};

TEST_F(TreePropertiesMainFormTest, EachWindowHasItsOwnDialogThatCatchesUpOnActivation)
{
    TMainForm first;
    TMainForm second;
    TTreePropertiesForm* form = first.TreePropertiesForm;
    ASSERT_NE(form, nullptr);
    EXPECT_NE(form, second.TreePropertiesForm);
    EXPECT_EQ(form->parentWidget(), &first);
    EXPECT_EQ(form->Tree(), first.GetTree());

    first.FileTreePropertiesMenuItem->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(second.TreePropertiesForm->isVisible());

    // An undo done in the main window meanwhile shows at the next activation.
    const bool shown = form->OutlineCodesCheckBox->isChecked();
    form->OutlineCodesCheckBox->toggle();
    first.EditUndoMenuItemClick();
    EXPECT_NE(form->OutlineCodesCheckBox->isChecked(), shown);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form, &activate);
    EXPECT_EQ(form->OutlineCodesCheckBox->isChecked(), shown);
    EXPECT_FALSE(first.GetTree()->UndoManager().CanUndo());
}

TEST_F(TreePropertiesMainFormTest, EditNodeTypeStyleOpensTheClickedElementsStyle)
{
    TMainForm window;
    TDecTree* tree = window.GetTree();
    TDecTreeNode* chance = testtree::AddEnd(tree->Root(), 100, 10);
    tree->Recalculate();
    tree->SelectNode(chance, htProbability);
    window.PopupMenuPopup();
    ASSERT_TRUE(window.PopupEditNodeTypeStyleMenuItem->isEnabled());
    window.PopupEditNodeTypeStyleMenuItem->trigger();
    TTreePropertiesForm* form = window.TreePropertiesForm;
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->PageControl->currentWidget(), form->StylesTabSheet);
    EXPECT_EQ(form->GetSelectedStyle(), GetElementStyle(*chance, htProbability));
}

// With payoffs hidden, Optimize names the place where they are switched on, as the window and the
// dialog caption it: the menu item with its key, the page and the check box.
TEST_F(TreePropertiesMainFormTest, TheOptimizeNoticeNamesWhereThePayoffsAreSwitchedOn)
{
    QStringList notices;
    SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
        notices << text;
        return TModalResult::OK;
    });
    TMainForm window;
    window.GetTree()->Options().SetShowPayoff(false);
    notices.clear(); // the first start's question
    window.EditOptimizeWholeMenuItem->trigger();
    ASSERT_EQ(notices.size(), 1);
    const TTreePropertiesForm& form = *window.TreePropertiesForm;
    const QString named[] = {
        "'" + window.FileMenu->title().remove('&') + "|" + window.FileTreePropertiesMenuItem->text() + "' (" +
            window.FileTreePropertiesMenuItem->shortcut().toString() + ")",
        "'" + form.ShowPayoffCheckBox->text() + "'",
        "'" + form.PageControl->tabText(form.PageControl->indexOf(form.ShowPayoffCheckBox->parentWidget())) + "'"};
    for (const QString& place : named)
        EXPECT_TRUE(notices[0].contains(place)) << place.toStdString();
}

} // namespace
