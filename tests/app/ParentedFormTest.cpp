#include "app/ParentedForm.h"

#include <QMainWindow>
#include <QPointer>
#include <gtest/gtest.h>
#include <memory>

TEST(ParentedFormTest, ClosingOrDestroyingTheParentFreesOnlyItsForms)
{
    for (const bool destroy : {false, true}) {
        auto parent = std::make_unique<QMainWindow>();
        QMainWindow other;
        QPointer<TParentedForm> first = new TParentedForm(parent.get());
        QPointer<TParentedForm> second = new TParentedForm(parent.get());
        QPointer<TParentedForm> elsewhere = new TParentedForm(&other);
        auto orphan = std::make_unique<TParentedForm>();
        ASSERT_EQ(TParentedForm::Instances().size(), 4u);

        if (destroy)
            parent.reset();
        else
            parent->close();
        EXPECT_TRUE(first.isNull()) << destroy;
        EXPECT_TRUE(second.isNull()) << destroy;
        EXPECT_FALSE(elsewhere.isNull()) << destroy;
        EXPECT_EQ(TParentedForm::Instances().size(), 2u) << destroy;
        delete elsewhere;
    }
    EXPECT_TRUE(TParentedForm::Instances().empty());
}
