#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"

#include "Component/control/DecTree.h"
#include "Component/model/TreeBuilder.h"
#include "shared/core/MemorySettingsStore.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace testtree;

namespace {

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPreviousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
        SetMessageDlgHook([](QWidget*, const QString&, TMsgDlgType, int) { return TModalResult::OK; });
        Form = std::make_unique<TMainForm>(QStringList());
    }

    void TearDown() override
    {
        Form.reset();
        SetMessageDlgHook(nullptr);
        TSettingsStore::SetApplication(std::move(FPreviousStore));
    }

    void Settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    std::unique_ptr<TMainForm> Form;

private:
    std::unique_ptr<TSettingsStore> FPreviousStore;
};

} // namespace

TEST_F(StatusBarTest, AHintWithLineBreaksKeepsTheBarOneLineHigh)
{
    Form->show();
    Settle();
    const int height = Form->statusBar()->height();
    const QRect tree = Form->centralWidget()->geometry();
    Form->StatusPanels[3]->setText(QStringLiteral("first line\nsecond line\nthird line\n"));
    Settle();
    EXPECT_EQ(Form->statusBar()->height(), height);
    EXPECT_EQ(Form->centralWidget()->geometry(), tree);
    EXPECT_LE(Form->StatusPanels[3]->sizeHint().height(), Form->StatusPanels[0]->sizeHint().height());
}

TEST_F(StatusBarTest, PayoffPanelsStaySideBySideAtEveryWidth)
{
    // Payoffs with long texts, at the designed width and at the least the window allows.
    TDecTree* tree = Form->GetTree();
    tree->UndoManager().SaveState(QStringLiteral("Add subnodes"));
    AddEnd(tree->Root(), 100, -123456789.12);
    AddEnd(tree->Root(), 0, 987654321.98);
    tree->Recalculate();
    Form->show();
    for (int width : {660, Form->minimumWidth()}) {
        SCOPED_TRACE(width);
        Form->resize(width, 300);
        Settle();
        const QRect bar = Form->statusBar()->rect();
        int previousRight = -1;
        for (int i = 0; i < 4; ++i) {
            const QRect r = Form->StatusPanels[i]->geometry();
            EXPECT_GT(r.left(), previousRight) << "panel " << i;
            EXPECT_LE(r.right(), bar.right()) << "panel " << i;
            EXPECT_GE(r.width(), 30) << "panel " << i;
            previousRight = r.right();
        }
        if (width == 660) { // wide enough: each panel holds its whole text
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(Form->StatusPanels[i]->width(),
                          Form->StatusPanels[i]->fontMetrics().horizontalAdvance(Form->StatusPanels[i]->text()) + 8);
        }
    }
}
