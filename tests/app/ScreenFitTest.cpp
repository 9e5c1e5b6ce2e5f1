// Every window of the program opens within the screen's available area. Run by ctest on a
// 1366 x 768 and a 1920 x 1080 screen at scale factors 1, 1.5 and 2 (tests/CMakeLists.txt), and
// on the default test screen with the rest of the tests.
#include "support/MainWindowHarness.h"

#include "Component/control/DecTree.h"
#include "Component/control/EditDueDateForm.h"
#include "app/PrintFormUnit.h"
#include "app/document/SavedStyles.h"
#include "app/forms/AboutForm.h"
#include "app/forms/CommentFormUnit.h"
#include "app/forms/EULAForm.h"
#include "app/forms/FeedbackFormUnit.h"
#include "app/forms/ImportExternal.h"
#include "app/forms/OptionsFormUnit.h"
#include "app/forms/OverviewExternalData.h"
#include "app/forms/PayoffMode.h"
#include "app/forms/SaveNewStyleFormUnit.h"
#include "app/forms/StyleManagerFormUnit.h"
#include "app/forms/TreePropertiesFormUnit.h"
#include "updater/UpdAutoUpdater.h"
#include "updater/widgets/UpdPasswordForm.h"
#include "updater/widgets/UpdUpgradeMessageForm.h"
#include "updater/widgets/UpdWizardForm.h"

#include <QLayout>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Shown as the program shows it: the whole frame within the available area with room for a
// title bar as desktops draw it, and no smaller than its layout needs (else controls would
// overlap or be cut off).
void ExpectFits(QWidget& window, const char* name)
{
    window.show();

    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << name;
    const QRect available = window.screen()->availableGeometry();
    EXPECT_TRUE(available.contains(window.frameGeometry()))
        << name << ": " << window.frameGeometry().width() << "x" << window.frameGeometry().height() << "+"
        << window.frameGeometry().x() << "+" << window.frameGeometry().y() << " on " << available.width() << "x"
        << available.height();
    EXPECT_LE(window.frameGeometry().height() + 24, available.height()) << name;
    if (window.layout()) {
        const QSize least = window.layout()->totalMinimumSize();
        EXPECT_GE(window.width(), least.width()) << name;
        EXPECT_GE(window.height(), least.height()) << name;
    }
    window.hide();
}

} // namespace

TEST(ScreenFitTest, EveryDialogAndTheMainWindowFitTheAvailableArea)
{
    TMainWindowHarness h;
    ExpectFits(*h.Form, "main window");
    TDecTree tree;
    tree.Document().NewRoot();
    QTemporaryDir styles;
    TSavedStyles saved(styles.path());
    TupdAutoUpdater updater;
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> windows[] = {
        {"about", [] { return std::make_unique<TAboutForm>(); }},
        {"comment", [] { return std::make_unique<TCommentForm>(); }},
        {"licence", [] { return std::make_unique<TEULAForm>(); }},
        {"error", [] { return std::make_unique<TErrorForm>(); }},
        {"feedback", [] { return std::make_unique<TFeedbackForm>(); }},
        {"import", [] { return std::make_unique<TImportExternalForm>(); }},
        {"options", [] { return std::make_unique<TOptionsForm>(); }},
        {"overview", [] { return std::make_unique<TOverviewExternalDataForm>(); }},
        {"payoff", [] { return std::make_unique<TEditPayoffForm>(); }},
        {"save style", [] { return std::make_unique<TSaveNewStyleForm>(); }},
        {"style manager", [&] { return std::make_unique<TStyleManagerForm>(saved); }},
        {"tree properties", [&] { return std::make_unique<TTreePropertiesForm>(&tree, nullptr); }},
        {"due date", [] { return std::make_unique<TEditDueDateForm>(); }},
        {"print preview", [] { return std::make_unique<TPrintForm>(); }},
        {"update wizard", [&] { return std::make_unique<TupdAutoUpdaterWizardForm>(updater); }},
        {"update password", [] { return std::make_unique<TupdAutoUpdaterPasswordForm>(); }},
        {"update message", [] { return std::make_unique<TupdAutoUpdaterUpgradeMessageForm>(); }},
    };
    for (const auto& [name, make] : windows) {
        const std::unique_ptr<QWidget> window = make();
        ExpectFits(*window, name);
    }
}
