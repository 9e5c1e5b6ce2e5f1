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
#include <QMenuBar>
#include <QRegularExpression>
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

// With payoffs hidden, Optimize names the place where they are switched on: the menu item with
// its key, the page and the check box. Following it there lets Optimize run.
TEST_F(TreePropertiesMainFormTest, TheOptimizeNoticeNamesWhereThePayoffsAreSwitchedOn)
{
    QStringList notices;
    SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
        notices << text;
        return TModalResult::OK;
    });
    TMainForm window;
    TDecTree* tree = window.GetTree();
    testtree::AddEnd(tree->Root(), 0, 10);
    tree->Options().SetShowPayoff(false);
    tree->Recalculate();
    notices.clear(); // the first start's question
    window.EditOptimizeWholeMenuItem->trigger();
    ASSERT_EQ(notices.size(), 1);
    QStringList quoted;
    for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("'([^']*)'")).globalMatch(notices[0]))
        quoted << m.captured(1);
    ASSERT_EQ(quoted.size(), 3) << notices[0].toStdString();
    const QStringList path = quoted[0].split(QLatin1Char('|'));
    ASSERT_EQ(path.size(), 2);
    QAction* item = nullptr;
    for (QAction* menu : window.menuBar()->actions())
        if (menu->menu() && menu->text().remove(QLatin1Char('&')) == path[0])
            for (QAction* a : menu->menu()->actions())
                item = a->text().remove(QLatin1Char('&')) == path[1] ? a : item;
    ASSERT_NE(item, nullptr) << quoted[0].toStdString();
    EXPECT_TRUE(notices[0].contains(QLatin1Char('(') + item->shortcut().toString() + QLatin1Char(')')));
    item->trigger();
    TTreePropertiesForm* form = window.TreePropertiesForm;
    ASSERT_TRUE(form->isVisible());
    QWidget* page = nullptr;
    for (int i = 0; i < form->PageControl->count(); ++i)
        page = form->PageControl->tabText(i).remove(QLatin1Char('&')) == quoted[2] ? form->PageControl->widget(i) : page;
    ASSERT_NE(page, nullptr) << quoted[2].toStdString();
    QCheckBox* box = nullptr;
    for (QCheckBox* b : page->findChildren<QCheckBox*>())
        box = b->text().remove(QLatin1Char('&')) == quoted[1] ? b : box;
    ASSERT_NE(box, nullptr) << quoted[1].toStdString();
    box->click();
    window.EditOptimizeWholeMenuItem->trigger();
    EXPECT_EQ(notices.size(), 1);
    EXPECT_EQ(tree->Root()->Children[0]->Probability, 100);
}

} // namespace
