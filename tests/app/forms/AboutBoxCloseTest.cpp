#include "app/forms/AboutForm.h"
#include "app/forms/EULAForm.h"
#include "app/forms/ModalRunner.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPlainTextEdit>
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

// Copy puts the whole licence on the clipboard and says so; after that notice, shown for real and
// closed with Enter, the first Esc reaches the licence window again and closes it.
TEST(AboutBoxCloseTest, CopyThenTheFirstEscClosesTheLicence)
{
    TEULAForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QString notice;
    QTimer::singleShot(0, [&notice] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->windowHandle()) {
            notice = box->text();
            QTest::keyClick(box->windowHandle(), Qt::Key_Return);
        }
    });
    QTest::mouseClick(form.CopyButton, Qt::LeftButton);
    EXPECT_EQ(notice, "The EULA has been copied to the Windows clipboard");
    EXPECT_TRUE(form.EULAMemo->toPlainText().contains("LICENCE AGREEMENT"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), form.EULAMemo->toPlainText());
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::focusWindow() != nullptr; }, 2000));
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}
