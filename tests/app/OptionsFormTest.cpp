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

// The box starts as the permission stands; OK keeps the box and marks the question answered,
// Cancel keeps everything, so the first-start question comes again.
TEST_F(OptionsFormTest, OkKeepsTheBoxAndAnswersTheQuestionCancelKeepsEverything)
{
    const struct {
        bool allowed;
        Qt::Key close;
        bool configuredAfter, allowedAfter;
    } cases[] = {{false, Qt::Key_Return, true, true}, {true, Qt::Key_Return, true, false}, {false, Qt::Key_Escape, false, false}};
    for (const auto& c : cases) {
        Store(false, c.allowed);
        bool wasChecked = !c.allowed;
        WhenShown(
            [&](TOptionsForm& form) {
                wasChecked = form.AutoUpdateCheckBox->isChecked();
                QTest::mouseClick(form.AutoUpdateCheckBox, Qt::LeftButton, {}, QPoint(4, form.AutoUpdateCheckBox->height() / 2));
                QTest::keyClick(&form, c.close); // the default or the cancel button
            },
            &FSeen);
        EXPECT_EQ(ShowOptionsDialog(FStore), c.close == Qt::Key_Return);
        EXPECT_TRUE(FSeen);
        EXPECT_EQ(wasChecked, c.allowed);
        TSettings after(FStore);
        EXPECT_EQ(after.AutoUpdateConfigured, c.configuredAfter);
        EXPECT_EQ(after.CanCheckForAutoUpdate, c.allowedAfter);
    }
}

} // namespace
