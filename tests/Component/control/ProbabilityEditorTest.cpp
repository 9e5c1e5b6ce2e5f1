#include "DecTreeFixture.h"

#include <QTest>

namespace {

int Caret(TInlineEditor* editor)
{
    return editor->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
}

} // namespace

// The in-place editor shows what is typed: its view starts at the first character after every
// keystroke, and it is wide enough for the value, so nothing scrolls out of sight.
TEST_F(DecTreeTest, NumberEditorsShowTheWholeTypedText)
{
    BuildSample();
    struct Case {
        TDecTreeNode* Node;
        TNodeElementType Element;
        const char* Typed;
    };
    const Case cases[] = {
        {A1, htProbability, "60 %"},
        {A2, htProbability, "33.3333333 %"},
        {A1, htPayoff, "1234567.891"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        Tree->SelectNode(c.Node, c.Element);
        ASSERT_TRUE(Tree->EditElement(false, 0));
        TInlineEditor* editor = Tree->InlineEditor();
        QTest::keyClicks(editor, QString::fromLatin1(c.Typed));
        ASSERT_EQ(editor->text(), QString::fromLatin1(c.Typed));
        // The caret stands after the whole text, and the box holds all of it.
        const int textWidth = editor->fontMetrics().horizontalAdvance(editor->text());
        EXPECT_NEAR(Caret(editor), textWidth, 2);
        EXPECT_LE(textWidth, editor->width());
        // And after a keystroke in the middle, the view still starts at the first character.
        QTest::keyClick(editor, Qt::Key_Home);
        QTest::keyClick(editor, Qt::Key_Right);
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(editor, Qt::Key_End);
        EXPECT_NEAR(Caret(editor), editor->fontMetrics().horizontalAdvance(editor->text()), 2);
        Tree->CloseInlineEditor();
    }
}
