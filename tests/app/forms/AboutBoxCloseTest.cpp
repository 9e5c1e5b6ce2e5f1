#include "app/forms/AboutForm.h"
#include "app/forms/ModalRunner.h"

#include <QApplication>
#include <QPushButton>
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
