#include "support/MainWindowHarness.h"

#include "Component/control/EditDueDateForm.h"
#include "Component/control/ScrollableDecTree.h"
#include "app/DocumentFileDialog.h"
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

#include <QComboBox>
#include <QFileDialog>
#include <QLayout>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// Every window opens within the screen's available area: on the default test screen here, and
// run again by ctest on a 1366 x 768 and a 1920 x 1080 screen at scale factors 1, 1.5 and 2
// (tests/CMakeLists.txt). The dialogs with a fixed border cannot be resized, minimised or maximised.
TEST(DialogsTest, EveryWindowFitsTheScreenAndFixedOnesKeepTheirSize)
{
    TMainWindowHarness h;
    TScrollableDecTree box;
    QTemporaryDir folder;
    TSavedStyles styles(folder.path());
    TupdAutoUpdater updater;
    // The first four have a fixed border.
    QWidget* windows[] = {new TOptionsForm, new TEditDueDateForm, new TSaveNewStyleForm,
                          new TTreePropertiesForm(box.Tree(), nullptr), h.Form.get(), new TAboutForm, new TCommentForm,
                          new TEULAForm, new TErrorForm, new TFeedbackForm, new TImportExternalForm,
                          new TOverviewExternalDataForm, new TEditPayoffForm, new TStyleManagerForm(styles),
                          new TPrintForm, new TupdAutoUpdaterWizardForm(updater), new TupdAutoUpdaterPasswordForm,
                          new TupdAutoUpdaterUpgradeMessageForm};
    for (QWidget* window : windows) {
        const bool fixed = window == windows[0] || window == windows[1] || window == windows[2] || window == windows[3];
        // Shown as the program shows it: the whole frame within the available area with room for
        // a title bar as desktops draw it, and no smaller than its layout needs.
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QRect available = window->screen()->availableGeometry();
        const QRect frame = window->frameGeometry();
        const std::string name = window->windowTitle().toStdString();
        EXPECT_TRUE(available.contains(frame) && frame.height() + 24 <= available.height())
            << name << ": " << frame.width() << "x" << frame.height() << "+" << frame.x() << "+" << frame.y()
            << " on " << available.width() << "x" << available.height();
        if (window->layout()) {
            EXPECT_EQ(window->size().expandedTo(window->layout()->totalMinimumSize()), window->size()) << name;
        }
        if (fixed) {
            const Qt::WindowFlags flags = window->windowFlags();
            EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << name; // only the hints named here
            EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint) || flags.testFlag(Qt::WindowMaximizeButtonHint));
            EXPECT_EQ(window->minimumSize(), window->maximumSize()) << name;
        }
        if (window != h.Form.get())
            delete window;
    }
}

TEST(DialogsTest, DocumentFiltersShowTheirCaptionsAndMatchExtensionsInAnyCase)
{
    struct Case {
        void (*Set)(QFileDialog&, bool);
        bool Save;
        QStringList Captions;
        QStringList Matched, Refused;
    };
    const Case cases[] = {
        {SetDocumentFilters, false, {"Quandrel Files", "All files"}, {"a.qdn", "B.QDN", "c.Qdn", "d.pmk", "E.PMK", "f.qdX"}, {"g.qdns", "h.txt", "qdn"}},
        {SetDocumentFilters, true, {"Quandrel Files (*.QDN)", "All files"}, {"a.qdn", "B.QDN", "c.qDn"}, {"d.pmk", "e.qdn.bak"}},
        {SetStyleFilters, false, {"Quandrel Files (*.QDN;*.QDNS)", "All files"}, {"a.qdns", "B.QDNS", "c.Qdn"}, {"d.pmk", "e.qdnsx"}},
        {SetStyleFilters, true, {"Quandrel Styles", "All files"}, {"a.qdns", "B.QdNs"}, {"c.qdn", "d.qdns.bak"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Captions.constFirst().toStdString());
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        c.Set(dialog, c.Save);
        const auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(combo, nullptr);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        EXPECT_EQ(shown, c.Captions);
        // The first filter's patterns, matched as the file list matches them (letter case counts).
        const QString first = dialog.nameFilters().constFirst();
        const qsizetype open = first.lastIndexOf(QLatin1Char('('));
        const QStringList patterns = first.mid(open + 1, first.size() - open - 2).split(QLatin1Char(' '));
        auto matches = [&patterns](const QString& name) {
            for (const QString& p : patterns)
                if (QRegularExpression::fromWildcard(p, Qt::CaseSensitive).match(name).hasMatch())
                    return true;
            return false;
        };
        for (const QString& name : c.Matched)
            EXPECT_TRUE(matches(name)) << name.toStdString();
        for (const QString& name : c.Refused)
            EXPECT_FALSE(matches(name)) << name.toStdString();
    }
}
