#pragma once
// The tree control as the keystroke benchmarks use it: shown in a window of a usual size, holding
// a random tree, and typed into through key events.

#include "Component/control/DecTree.h"
#include "Component/control/ScrollableDecTree.h"
#include "bench/support/BenchApplication.h"
#include "bench/support/RandomTree.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <memory>

// A shown control of 1280 × 900 pixels whose document fill makes, recalculated and painted once.
template <class Fill>
std::unique_ptr<TScrollableDecTree> MakeTreeView(const char* program, Fill fill)
{
    BenchApplication<QApplication>(program);
    auto box = std::make_unique<TScrollableDecTree>();
    box->resize(1280, 900);
    TDecTree* tree = box->Tree();
    tree->Options().SetCurrencySymbol(QStringLiteral("$"));
    tree->Options().SetCurrencyDecimals(2);
    tree->Options().SetShowPayoff(true);
    fill(tree->Document());
    box->show();
    tree->Recalculate();
    QApplication::processEvents();
    return box;
}

// The same with the random tree of seed 7 and that many nodes.
inline std::unique_ptr<TScrollableDecTree> MakeRandomTreeView(const char* program, int nodeCount)
{
    return MakeTreeView(program, [nodeCount](TDecTreeDocument& doc) {
        TRandomTreeSettings settings;
        settings.Seed = 7;
        settings.NodeCount = nodeCount;
        FillRandomDocument(doc, settings);
    });
}

inline void SendKey(QWidget* target, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// Alternately types a digit and takes it back, so the value changes with every keystroke.
inline void Keystroke(QLineEdit* editor, bool& grow)
{
    if (grow)
        SendKey(editor, Qt::Key_5, QStringLiteral("5"));
    else
        SendKey(editor, Qt::Key_Backspace, QString());
    grow = !grow;
}

// An in-place editor open on the element of the node, holding text; null, with the benchmark
// skipped, when there is no node or the editor does not open.
inline QLineEdit* OpenEditor(TDecTree& tree, TDecTreeNode* node, TNodeElementType element, const QString& text,
                             benchmark::State& state)
{
    if (!node) {
        state.SkipWithError("no node to edit");
        return nullptr;
    }
    tree.SelectNode(node, element);
    if (!tree.EditElement(false, 0)) {
        state.SkipWithError("editor did not open");
        return nullptr;
    }
    QLineEdit* editor = tree.InlineEditor();
    editor->setText(text);
    return editor;
}
