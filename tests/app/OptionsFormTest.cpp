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

// Confirming stores the check box as the user left it (turned on with the mouse and OK, or off
// with Space and Enter) and marks the first-start question answered.
TEST(OptionsFormTest, ConfirmingStoresTheCheckBoxAndMarksTheQuestionAnswered)
{
    for (const bool before : {false, true}) {
        TMemorySettingsStore store;
        TSettings stored(store);
        stored.AutoUpdateConfigured = false;
        stored.CanCheckForAutoUpdate = before;
        stored.SaveSettings();
        bool seen = false, shown = !before;
        WhenShown(
            [&](TOptionsForm& form) {
                shown = form.AutoUpdateCheckBox->isChecked();
                if (before) {
                    QTest::keyClick(form.AutoUpdateCheckBox, Qt::Key_Space);
                    QTest::keyClick(&form, Qt::Key_Return); // the default button
                } else {
                    QCheckBox* box = form.AutoUpdateCheckBox;
                    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
                    QTest::mouseClick(form.OKButton, Qt::LeftButton);
                }
            },
            &seen);
        EXPECT_TRUE(ShowOptionsDialog(store));
        EXPECT_TRUE(seen);
        EXPECT_EQ(shown, before);
        TSettings after(store);
        EXPECT_TRUE(after.AutoUpdateConfigured);
        EXPECT_EQ(after.CanCheckForAutoUpdate, !before);
    }
}

} // namespace
