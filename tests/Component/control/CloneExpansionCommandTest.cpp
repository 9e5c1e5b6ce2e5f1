#include "DecTreeFixture.h"

#include "Component/model/Clones.h"

// A new node under a master appears again in every copy of it: when that is past the limit the
// command is refused before anything is recorded or added.
TEST_F(DecTreeTest, AddingUnderAMasterCopiedAMillionTimesIsRefused)
{
    // Level 0 holds two leaves, every further level two clones of the level before: 20 levels
    // expand to 4.2 million nodes, and level 0 is copied about a million times.
    TDecTreeNode* bottom = Add(Root(), QStringLiteral("L0"));
    Add(bottom, QStringLiteral("a"));
    Add(bottom, QStringLiteral("b"));
    TDecTreeNode* level = bottom;
    for (int k = 1; k < 20; ++k) {
        TDecTreeNode* next = Add(Root(), QStringLiteral("L%1").arg(k));
        for (int i = 0; i < 2; ++i)
            Add(next, QString())->CloneMasterId = level->Id;
        level = next;
    }
    ASSERT_LE(CountNodesAfterRefresh(Root()), MaxExpandedNodes);
    Tree->SelectNode(bottom, htOptionDescriptor);
    Tree->AddSubnodes(false);
    EXPECT_EQ(Notices, QStringList{CloneTexts::TooLarge});
    EXPECT_EQ(bottom->Children.Count(), 2);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
}
