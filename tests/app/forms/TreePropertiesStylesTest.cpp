#include "Component/control/DecTree.h"
#include "app/forms/TreePropertiesFormUnit.h"
#include "shared/core/Colors.h"
#include "shared/core/Exceptions.h"
#include "shared/widgets/ColorBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <memory>

namespace {

class TreePropertiesStylesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Tree = std::make_unique<TDecTree>();
        Tree->Document().NewRoot();
        Form = std::make_unique<TTreePropertiesForm>(Tree.get(), nullptr);
        Form->LoadFromTree();
    }
    TStyleStates& States() { return Tree->StyleStates(); }
    QList<QCheckBox*> DefaultBoxes() const
    {
        QList<QCheckBox*> boxes;
        for (QCheckBox* box : Form->StylesPageControl->findChildren<QCheckBox*>())
            if (box->text() == QStringLiteral("Default"))
                boxes << box;
        return boxes;
    }
    TDecTreeUndoManager& Undo() { return Tree->UndoManager(); }

    std::unique_ptr<TDecTree> Tree;
    std::unique_ptr<TTreePropertiesForm> Form;
};

TEST_F(TreePropertiesStylesTest, OnlyTheFirstStatesRootCannotInherit)
{
    // Even a root setting marked as inheriting has nothing to inherit from.
    States().InTakenPath()->RootStyle()->FontBold()->Inherit = true;
    Form->LoadFromTree();
    ASSERT_EQ(DefaultBoxes().size(), 12);
    ASSERT_EQ(Form->GetSelectedStyle(), States().InTakenPath()->RootStyle());
    for (QCheckBox* box : DefaultBoxes())
        EXPECT_TRUE(!box->isChecked() && !box->isEnabled());
    EXPECT_TRUE(Form->StylesLineWidthSpinEdit->isEnabled());

    Form->StyleStatesComboBox->setCurrentIndex(1);
    ASSERT_TRUE(Form->SelectStyleName(StyleNames::Symbols));
    EXPECT_EQ(Form->GetSelectedStyle(), States().NotInTakenPath()->Symbols());
    for (QCheckBox* box : DefaultBoxes())
        EXPECT_TRUE(box->isChecked() && box->isEnabled());
    // Inherited across from the first state's Symbols style, shown in a disabled control.
    EXPECT_EQ(Form->StylesFontColorBox->Selected(), 0xFF0000);
    EXPECT_FALSE(Form->StylesFontColorBox->isEnabled());
    EXPECT_EQ(Form->StylesLineWidthSpinEdit->value(), 0);
    EXPECT_FALSE(Undo().CanUndo());
}

TEST_F(TreePropertiesStylesTest, OneRowChangedIsOneStepAndEveryOtherValueComesBackUnchanged)
{
    TStyle* style = States().InTakenPath()->OptionDescriptors();
    for (int i = 0; i < TStyle::SettingCount; ++i)
        style->SettingAt(i)->Inherit = false;
    style->FontName()->Value = QStringLiteral("No Such Font 9");
    style->BackgroundColor()->Value = 0x123456;
    style->LineColor()->Value = clBtnFace;
    style->FontColor()->Value = SystemColorRef(200);
    style->LineWidth()->Value = 35;
    style->FontSize()->Value = 500;
    style->FillMode()->Value = TBackgroundFillMode::Solid;
    style->Shadow()->Value = TShadowStyle::Hard;
    style->FontUnderline()->Value = true;
    // An inheriting row keeps its own value, which differs from the one it shows.
    style->FontItalic()->Inherit = true;
    style->FontItalic()->Value = true;
    std::vector<QString> before;
    for (int i = 0; i < TStyle::SettingCount; ++i)
        before.push_back(style->SettingAt(i)->GetAsString());

    ASSERT_TRUE(Form->SelectStyleName(StyleNames::OptionDescriptors));
    EXPECT_EQ(Form->StylesLineWidthSpinEdit->value(), 35);
    Form->StylesFontBoldCheckBox->toggle();
    ASSERT_EQ(Undo().UndoStack().size(), 1u);
    EXPECT_EQ(Undo().UndoDescription(), "Modify style");
    EXPECT_TRUE(style->FontBold()->Value);
    for (int i = 0; i < TStyle::SettingCount; ++i)
        if (i != TStyle::siFontBold) {
            EXPECT_EQ(style->SettingAt(i)->GetAsString(), before[size_t(i)]) << i;
        }
    EXPECT_TRUE(style->FontItalic()->Inherit);
    Undo().Undo();
    EXPECT_FALSE(style->FontBold()->Value);
}

TEST_F(TreePropertiesStylesTest, UncheckingDefaultOwnsTheShownValueAndLeavesOtherRowsInheriting)
{
    Form->StyleStatesComboBox->setCurrentIndex(1);
    ASSERT_TRUE(Form->SelectStyleName(StyleNames::ConnectorLines));
    TStyle* style = States().NotInTakenPath()->ConnectorLines();
    style->LineColor()->Inherit = true;
    Form->LoadFromTree();
    Form->StylesLineColorDefaultCheckBox->setChecked(false);
    EXPECT_EQ(Undo().UndoStack().size(), 1u);
    EXPECT_FALSE(style->LineColor()->Inherit);
    EXPECT_EQ(style->LineColor()->Value, clBlack);
    EXPECT_TRUE(style->FontColor()->Inherit);
    EXPECT_FALSE(style->LineWidth()->Inherit);

    // Connector lines have only the Line page, which becomes the active one.
    EXPECT_EQ(Form->StylesPageControl->currentWidget(), Form->StylesLineTabSheet);
    for (QWidget* page : {Form->StylesFillTabSheet, Form->StylesFontTabSheet, Form->StylesShadowTabSheet})
        EXPECT_FALSE(Form->StylesPageControl->isTabVisible(Form->StylesPageControl->indexOf(page)));
}

TEST_F(TreePropertiesStylesTest, AFontSizeThatIsNoNumberIsStoredAsEight)
{
    Form->StylesFontSizeComboBox->setEditText(QStringLiteral("12"));
    EXPECT_EQ(States().InTakenPath()->RootStyle()->FontSize()->Value, 12);
    Form->StylesFontSizeComboBox->setEditText(QStringLiteral("12pt"));
    EXPECT_EQ(States().InTakenPath()->RootStyle()->FontSize()->Value, 8);
    EXPECT_EQ(Undo().UndoStack().size(), 2u);
}

TEST_F(TreePropertiesStylesTest, ShowingAStyleSelectsItsStateAndTypeOnTheStylesPage)
{
    ASSERT_TRUE(Form->SelectStyleName(StyleNames::DecisionOptionsTakenYes));
    Form->StyleStatesComboBox->setCurrentIndex(3);
    EXPECT_EQ(Form->GetSelectedStyle(), States().CloneNotInTakenPath()->DecisionOptionsTakenYes());

    Form->ShowStyleInTreeProperties(States().CloneInTakenPath()->ChanceOptionProbabilities());
    EXPECT_EQ(Form->StyleStatesComboBox->currentIndex(), 2);
    EXPECT_EQ(Form->GetSelectedStyle(), States().CloneInTakenPath()->ChanceOptionProbabilities());
    EXPECT_EQ(Form->PageControl->currentWidget(), Form->StylesTabSheet);
    EXPECT_TRUE(Form->isVisible());

    TStyleStates foreign;
    EXPECT_THROW(Form->ShowStyleInTreeProperties(foreign.InTakenPath()->Symbols()), InvalidOperationException);
    EXPECT_FALSE(Undo().CanUndo());
}

TEST(ColorBoxTest, CustomColoursComeBackAndACancelledPickChangesNothing)
{
    TColorBox box;
    int changes = 0;
    QObject::connect(&box, &TColorBox::ColorChanged, [&] { ++changes; });
    for (TColor color : {TColor(0x0A0B0C), clBtnFace, clRed, SystemColorRef(99)}) {
        box.SetSelected(color);
        EXPECT_EQ(box.Selected(), color);
        EXPECT_EQ(box.currentData().toInt(), color);
    }
    std::optional<TColor> answer = std::nullopt;
    box.PickCustomColor = [&](TColor) { return answer; };
    box.setCurrentIndex(TColorBox::CustomIndex);
    EXPECT_EQ(box.Selected(), SystemColorRef(99));
    EXPECT_EQ(changes, 0);
    answer = 0x445566;
    box.setCurrentIndex(TColorBox::CustomIndex);
    EXPECT_EQ(box.Selected(), 0x445566);
    EXPECT_EQ(changes, 1);
}

} // namespace
