#include "SettingsStoreDump.h"
#include "app/Settings.h"
#include "app/forms/OptionsFormUnit.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"
#include "shared/widgets/BottomLine.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `act` on the options dialog once it is shown modally. Should the dialog never appear,
// or `act` not close it, it is closed after a while so that a fault cannot hang the tests.
void WhenShown(std::function<void(TOptionsForm&)> act, bool* seen)
{
    QTimer::singleShot(0, [act, seen] {
        auto* form = qobject_cast<TOptionsForm*>(QApplication::activeModalWidget());
        *seen = form != nullptr;
        if (form)
            act(*form);
    });
    QTimer::singleShot(5000, [] {
        if (auto* form = qobject_cast<TOptionsForm*>(QApplication::activeModalWidget()))
            form->reject();
    });
}

class OptionsFormTest : public ::testing::Test {
protected:
    void Store(bool configured, bool canCheck)
    {
        TSettings settings(FStore);
        settings.AutoUpdateConfigured = configured;
        settings.CanCheckForAutoUpdate = canCheck;
        settings.SaveSettings();
    }
    TMemorySettingsStore FStore;
    bool FSeen = false;
};

TEST_F(OptionsFormTest, CaptionsAndButtons)
{
    TOptionsForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Options"));
    ASSERT_EQ(form.PageControl->count(), 1);
    EXPECT_EQ(form.PageControl->tabText(0), QStringLiteral("Auto Update"));
    EXPECT_EQ(form.AutoUpdateCheckBox->text(),
              QStringLiteral("Automatically check for updates and install when available (recommended)"));
    EXPECT_EQ(form.OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(form.OKButton->isDefault());
    EXPECT_EQ(form.CancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(form.BottomLine->Title(), TOptionsForm::MakerWebAddress);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(OptionsFormTest, ConfirmingStoresTheCheckBoxAndMarksTheQuestionAnswered)
{
    Store(false, false);
    bool wasChecked = true;
    WhenShown(
        [&](TOptionsForm& form) {
            wasChecked = form.AutoUpdateCheckBox->isChecked();
            QTest::mouseClick(form.AutoUpdateCheckBox, Qt::LeftButton, {}, QPoint(4, form.AutoUpdateCheckBox->height() / 2));
            QTest::mouseClick(form.OKButton, Qt::LeftButton);
        },
        &FSeen);
    EXPECT_TRUE(ShowOptionsDialog(FStore));
    EXPECT_TRUE(FSeen);
    EXPECT_FALSE(wasChecked);
    TSettings after(FStore);
    EXPECT_TRUE(after.AutoUpdateConfigured);
    EXPECT_TRUE(after.CanCheckForAutoUpdate);
}

TEST_F(OptionsFormTest, ConfirmingAnUncheckedBoxStopsTheChecksForGood)
{
    Store(false, true);
    bool wasChecked = false;
    WhenShown(
        [&](TOptionsForm& form) {
            wasChecked = form.AutoUpdateCheckBox->isChecked();
            QTest::keyClick(form.AutoUpdateCheckBox, Qt::Key_Space);
            QTest::keyClick(&form, Qt::Key_Return); // the default button
        },
        &FSeen);
    EXPECT_TRUE(ShowOptionsDialog(FStore));
    EXPECT_TRUE(wasChecked);
    TSettings after(FStore);
    EXPECT_TRUE(after.AutoUpdateConfigured);
    EXPECT_FALSE(after.CanCheckForAutoUpdate);
}

TEST_F(OptionsFormTest, CancellingWritesNothing)
{
    TSettingsRegistry reg(FStore);
    int round = 0;
    for (auto cancel : std::vector<std::function<void(TOptionsForm&)>>{
             [](TOptionsForm& form) { QTest::mouseClick(form.CancelButton, Qt::LeftButton); },
             [](TOptionsForm& form) { QTest::keyClick(&form, Qt::Key_Escape); }}) {
        WhenShown(
            [&](TOptionsForm& form) {
                form.AutoUpdateCheckBox->setChecked(true);
                cancel(form);
            },
            &FSeen);
        SCOPED_TRACE(round++);
        EXPECT_FALSE(ShowOptionsDialog(FStore));
        EXPECT_TRUE(FSeen);
        ASSERT_TRUE(reg.OpenKey(QLatin1Char('\\') + TSettings::RegistryKey, false));
        // Not even the question's mark: the first-run question comes again at the next start.
        EXPECT_TRUE(reg.GetValueNames().isEmpty());
    }
}

TEST_F(OptionsFormTest, TheProgramsStoreServesWhenNoneIsGiven)
{
    auto previous = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
    WhenShown([](TOptionsForm& form) { QTest::mouseClick(form.OKButton, Qt::LeftButton); }, &FSeen);
    EXPECT_TRUE(ShowOptionsDialog());
    EXPECT_TRUE(TSettings().AutoUpdateConfigured);
    TSettingsStore::SetApplication(std::move(previous));
}

} // namespace
