#include "app/forms/AboutForm.h"
#include "app/forms/EULAForm.h"
#include "app/forms/ModalRunner.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// The About box shown for real (not through a runner) and closed: it is freed once the pending
// events are handled, never while ShowAboutBox still holds it.
TEST(AboutBoxCloseTest, TheClosedAboutBoxIsFreedOnlyAfterShowAboutBoxIsDone)
{
    const TModalRunner before = SetModalRunner(nullptr);
    bool shown = false, returned = false, freedEarly = false, freed = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
        if (!form)
            return;
        shown = true;
        QObject::connect(form, &QObject::destroyed, [&] { (returned ? freed : freedEarly) = true; });
        form->CloseButton->click();
    });
    ShowAboutBox();
    returned = true;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetModalRunner(before);
    ASSERT_TRUE(shown);
    EXPECT_FALSE(freedEarly);
    EXPECT_TRUE(freed);
}

// After Copy's notice, shown for real and closed with Enter, the first Esc reaches the licence
// window again and closes it.
TEST(AboutBoxCloseTest, AfterCopyTheFirstEscClosesTheLicence)
{
    TEULAForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget(); box && box->windowHandle())
            QTest::keyClick(box->windowHandle(), Qt::Key_Return);
    });
    QTest::mouseClick(form.CopyButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::focusWindow() != nullptr; }, 2000));
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}
