#pragma once
// A shown tree control in its scroll box with a small document built by hand, and helpers to
// reach the drawn elements of its nodes.

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"

#include <QLocale>
#include <QKeySequence>
#include <QTest>
#include <gtest/gtest.h>

#include "support/TreeBuilder.h"

#include <functional>
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
        QTest::mouseClick(Tree, button, mods, ToClient(Center(node, element)));
    }

    // The view onto the drawing: the layout point at the control's top-left corner, the point of
    // the control that shows a layout point, and the area the view scrolls over.
    QPoint Origin() { return Tree->Origin(); }
    QPoint ToClient(const QPoint& layoutPoint) { return Tree->ToClient(layoutPoint); }
    QSize Extent() { return Tree->Extent(); }
    // Whether the whole rectangle (layout pixels, edges included) is in view.
    bool Shown(const TRectangle& r)
    {
        return QRect(Origin(), Tree->size()).contains(QRect(r.Left, r.Top, r.Width + 1, r.Height + 1));
    }

    void Key(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), mods); }

    std::vector<TDecTreeNode*> Selected() { return Tree->GetSelectedNodes(); }

    void Walk(const std::function<void(TDecTreeNode*)>& visit, TDecTreeNode* node = nullptr)
    {
        visit(node = node ? node : Root());
        for (TDecTreeNode* child : node->Children)
            Walk(visit, child);
    }

    // The first node with that caption in pre-order.
    TDecTreeNode* Find(const QString& caption)
    {
        TDecTreeNode* found = nullptr;
        Walk([&](TDecTreeNode* n) { found = !found && n->Caption == caption ? n : found; });
        return found;
    }

    // The nodes of comma-separated captions become the selection, with that element.
    void SelectNames(const QString& names, TNodeElementType element)
    {
        Tree->SelectNode(nullptr, element);
        for (const QString& name : names.split(QLatin1Char(','), Qt::SkipEmptyParts))
            Tree->Selection().Add(Find(name)->Id);
    }

    std::string SelectedNames()
    {
        QStringList names;
        for (const TDecTreeNode* node : Selected())
            names << node->Caption;
        return names.join(QLatin1Char(',')).toStdString();
    }

    // Keys pressed on whatever has the focus ("Down", "Shift+Tab", "Ctrl+Enter"), and 'text'
    // typed a character at a time.
    void Keys(const QString& sequence)
    {
        const QStringList parts = sequence.split(QLatin1Char('\''));
        for (qsizetype i = 0; i < parts.size(); ++i) {
            for (const QChar c : i % 2 ? parts[i] : QString())
                QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), {});
            for (const QString& word : i % 2 ? QStringList() : parts[i].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const QKeyCombination key = QKeySequence(word)[0];
                QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            }
        }
    }

    // The root's expected value, then each node's caption, probability and payoff in pre-order.
    std::string Dump()
    {
        QStringList parts{QString::number(Root()->ExpectedValue)};
        Walk([&](TDecTreeNode* n) {
            parts << QStringLiteral("%1 %2 %3%4").arg(n->Caption).arg(n->Probability).arg(double(n->Payoff) / CurrencyScale)
                         .arg(n->DecisionFixed ? " fixed" : "");
        });
        return parts.join(QStringLiteral("; ")).toStdString();
    }

    std::string UndoNames()
    {
        QStringList names;
        for (const auto& state : Tree->UndoManager().UndoStack())
            names << state->Description;
        return names.join(QLatin1Char(',')).toStdString();
    }

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
