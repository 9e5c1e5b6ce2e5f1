#include "Component/model/TreeBuilder.h"
#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/forms/OverviewExternalData.h"
#include "app/forms/PayoffMode.h"
#include "Component/control/DecTree.h"
#include "shared/core/MemorySettingsStore.h"

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The main window's wiring of the external-data overview and the advanced payoff dialog.
TEST(MainFormExternalDataTest, LoadingOffersTheOverviewAndThePopupOpensTheAdvancedEditor)
{
    auto previousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
    QTemporaryDir dir;
    QStringList questions;
    SetMessageDlgHook([&questions](QWidget*, const QString& text, TMsgDlgType, int) {
        questions << text;
        return TModalResult::Yes;
    });
    auto form = std::make_unique<TMainForm>();
    TDecTree* tree = form->GetTree();
    TDecTreeNode* node = testtree::AddEnd(tree->Root(), 100, 5);
    node->PayoffSource = "Import: Excel(\"/nowhere.xlsx\", \"S$A1\")";
    tree->Recalculate();
    const QString path = dir.filePath("imports.qdn");
    form->ExecuteSaveDialog = [&path](const QString&) { return path; };
    ASSERT_TRUE(form->SaveDocument(true));

    QStringList overviews;
    SetOverviewExternalDataRunner([&overviews](TOverviewExternalDataForm& overview) {
        overviews << overview.FileName;
        return int(QDialog::Rejected);
    });
    questions.clear();
    form->LoadDocument(path);
    EXPECT_EQ(questions, QStringList{"This project contains external data. Do you want to check if this data has "
                                     "been updated?"});
    EXPECT_EQ(overviews, QStringList{path});

    // The popup's advanced edit opens the dialog on the selected payoff; OK is one undo step.
    node = form->GetTree()->Root()->Children[0];
    form->GetTree()->SelectNode(node, htPayoff);
    form->PopupMenuPopup();
    EXPECT_TRUE(form->PopupEditPayoffAdvancedMenuItem->isEnabled());
    QString opened;
    SetEditPayoffRunner([&opened](TEditPayoffForm& payoff) {
        opened = payoff.ImportEdit->text();
        payoff.ValueRadioButton->click();
        payoff.DirectEdit->setText("8");
        return int(QDialog::Accepted);
    });
    form->PopupEditPayoffAdvancedMenuItem->trigger();
    EXPECT_EQ(opened, "Excel(\"/nowhere.xlsx\", \"S$A1\")");
    node = form->GetTree()->Root()->Children[0];
    EXPECT_EQ(node->Payoff, 80000);
    EXPECT_TRUE(node->PayoffSource.isEmpty());
    EXPECT_TRUE(form->IsModified());

    SetEditPayoffRunner(nullptr);
    SetOverviewExternalDataRunner(nullptr);
    SetMessageDlgHook(nullptr);
    form.reset();
    TSettingsStore::SetApplication(std::move(previousStore));
}
