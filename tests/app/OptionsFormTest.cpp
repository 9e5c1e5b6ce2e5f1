#include "SettingsStoreDump.h"
#include "app/Settings.h"
#include "app/forms/OptionsFormUnit.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"

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

TEST_F(OptionsFormTest, CancellingKeepsEverythingSoTheQuestionComesAgain)
{
    Store(false, false);
    WhenShown(
        [](TOptionsForm& form) {
            QTest::keyClick(form.AutoUpdateCheckBox, Qt::Key_Space);
            QTest::keyClick(&form, Qt::Key_Escape);
        },
        &FSeen);
    EXPECT_FALSE(ShowOptionsDialog(FStore));
    TSettings after(FStore);
    EXPECT_FALSE(after.AutoUpdateConfigured);
    EXPECT_FALSE(after.CanCheckForAutoUpdate);
}

} // namespace
