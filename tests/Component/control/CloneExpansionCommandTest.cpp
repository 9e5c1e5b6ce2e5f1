#include "DecTreeFixture.h"

#include "Component/model/Clones.h"

// A new node under a master appears again in every copy of it: when that is past the limit the
// command is refused before anything is recorded or added.
TEST_F(DecTreeTest, AddingUnderAMasterCopiedSixtyThousandTimesIsRefused)
{
    // Level 0 holds four leaves, every further level two clones of the level before: 16 levels
    // expand to 393,000 nodes, and level 0 is copied about 65,000 times.
    TDecTreeNode* bottom = Add(Root(), QStringLiteral("L0"));
    for (const char* leaf : {"a", "b", "c", "d"})
        Add(bottom, QString::fromLatin1(leaf));
    TDecTreeNode* level = bottom;
    for (int k = 1; k < 16; ++k) {
        TDecTreeNode* next = Add(Root(), QStringLiteral("L%1").arg(k));
        for (int i = 0; i < 2; ++i)
            Add(next, QString())->CloneMasterId = level->Id;
        level = next;
    }
    ASSERT_FALSE(ExpandsTooFar(Root()));
    Tree->SelectNode(bottom, htOptionDescriptor);
    Tree->AddSubnodes(false);
    EXPECT_EQ(Notices, QStringList{CloneTexts::TooLarge});
    EXPECT_EQ(bottom->Children.Count(), 4);
    EXPECT_FALSE(Tree->UndoManager().CanUndo());
}
