#pragma once
// A shown tree control in its scroll box with a small document built by hand, and helpers to
// reach the drawn elements of its nodes.

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"

#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

#include "support/TreeBuilder.h"

#include <memory>

class DecTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Box = std::make_unique<TScrollableDecTree>();
        Box->resize(900, 700);
        Tree = Box->Tree();
        Tree->Options().SetCurrencySymbol(QStringLiteral("$"));
        Tree->Options().SetCurrencyDecimals(2);
        Tree->Options().SetShowPayoff(true);
        Tree->Dialogs.Confirm = [this](QWidget*, const QString& text) {
            Questions << text;
            return ConfirmAnswer;
        };
        Tree->Dialogs.Inform = [this](QWidget*, const QString& text) { Notices << text; };
        Tree->Dialogs.EditDueDate = [this](const QPoint&, double& date) {
            ++DueDateDialogs;
            date = 46357;
            return true;
        };
        Box->show();
        QApplication::setActiveWindow(Box.get());
        Tree->setFocus();
        Tree->Recalculate();
    }

    void TearDown() override
    {
        Box.reset();
        QLocale::setDefault(QLocale::c());
    }

    TDecTreeNode* Root() { return Tree->Root(); }

    TDecTreeNode* Add(TDecTreeNode* parent, const QString& caption, TNodeType type = ntDecision,
                      double probability = 0, TCurrency payoff = 0)
    {
        return testtree::AppendNode(parent, caption, type, probability, payoff);
    }

    // Root (decision) with A (taken) and B; A is a chance node with A1 (60) and A2 (40).
    void BuildSample()
    {
        A = Add(Root(), QStringLiteral("A"), ntChance, 100, 10000);
        B = Add(Root(), QStringLiteral("B"), ntDecision, 0, -20000);
        A1 = Add(A, QStringLiteral("A1"), ntDecision, 60, 50000);
        A2 = Add(A, QStringLiteral("A2"), ntDecision, 40, 0);
        Tree->Recalculate();
    }

    QPoint Center(TDecTreeNode* node, TNodeElementType element)
    {
        const TRectangle& r = node->ElementRects[element];
        return QPoint(r.Left + r.Width / 2, r.Top + r.Height / 2);
    }

    void Click(TDecTreeNode* node, TNodeElementType element, Qt::KeyboardModifiers mods = {},
               Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(Tree, button, mods, Center(node, element));
    }

    void Key(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), mods); }

    std::vector<TDecTreeNode*> Selected() { return Tree->GetSelectedNodes(); }

    std::unique_ptr<TScrollableDecTree> Box;
    TDecTree* Tree = nullptr;
    TDecTreeNode* A = nullptr;
    TDecTreeNode* B = nullptr;
    TDecTreeNode* A1 = nullptr;
    TDecTreeNode* A2 = nullptr;
    QStringList Questions;
    QStringList Notices;
    bool ConfirmAnswer = true;
    int DueDateDialogs = 0;
};

using Nodes = std::vector<TDecTreeNode*>;
