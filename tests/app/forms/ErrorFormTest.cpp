#include "app/Startup.h"
#include "app/forms/AboutForm.h"
#include "app/forms/ErrorFormUnit.h"
#include "app/forms/ModalRunner.h"
#include "shared/core/Exceptions.h"
#include "shared/core/StringHelpers.h"

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include "shared/widgets/WhiteTop.h"
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

struct TShownError {
    QString Name, Description, Trace;
};

[[noreturn]] __attribute__((noinline)) void RaiseDeepInsideACommand()
{
    throw ArgumentOutOfRangeException(QStringLiteral("Index out of range"));
}

} // namespace

// Errors that escape an event handler, one after the other: each is shown once the event is
// over, with its own class, message and trace, nothing left over from the one before; an error
// while the window is open is not stacked on top of it; the program goes on.
TEST(ErrorFormTest, ConsecutiveErrorsEachShowTheirOwnClassMessageAndTrace)
{
    std::vector<TShownError> shown;
    SetModalRunner([&shown](QDialog& dialog) {
        auto& form = dynamic_cast<TErrorForm&>(dialog);
        shown.push_back({form.ExceptionNameEdit->text(), form.DescriptionEdit->text(), form.StackTraceMemo->toPlainText()});
        if (shown.size() == 4) {
            EXPECT_FALSE(DeliverEvent([]() -> bool { throw std::runtime_error("while open"); }));
            QCoreApplication::processEvents();
        }
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(DeliverEvent([] { return true; }));
    EXPECT_FALSE(DeliverEvent([]() -> bool { RaiseDeepInsideACommand(); }));
    EXPECT_TRUE(shown.empty()) << "no window inside the handler that failed";
    DeliverEvent([]() -> bool { throw std::runtime_error("plain"); });
    DeliverEvent([]() -> bool { throw std::bad_alloc(); });
    DeliverEvent([]() -> bool { throw 42; });
    QCoreApplication::processEvents();
    SetModalRunner(nullptr);

    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].Name, "ArgumentOutOfRangeException");
    EXPECT_EQ(shown[0].Description, "Index out of range");
    // The trace of where it was raised, resolved to names.
    EXPECT_TRUE(shown[0].Trace.contains("RaiseDeepInsideACommand")) << shown[0].Trace.toStdString();
    EXPECT_EQ(shown[1].Name, "std::runtime_error");
    EXPECT_EQ(shown[1].Description, "plain");
    EXPECT_FALSE(shown[1].Trace.trimmed().isEmpty() || shown[1].Trace.contains("RaiseDeepInsideACommand"));
    EXPECT_EQ(shown[2].Name + ": " + shown[2].Description + shown[2].Trace, "EOutOfMemory: Out of memory");
    EXPECT_EQ(shown[3].Name + ": " + shown[3].Description, "Exception: Unknown error");
}

TEST(ErrorFormTest, AboutShowsTheVersionAndTheProgramsIcon)
{
    EXPECT_TRUE(TAboutForm::VersionText().contains(QRegularExpression(
        IsPreReleaseBuild() ? "^Version \\d+\\.\\d+ PRERELEASE$" : "^Version \\d+\\.\\d+$")))
        << TAboutForm::VersionText().toStdString();
    QString aboutMessage;
    QImage image;
    SetModalRunner([&](QDialog& dialog) {
        aboutMessage = dynamic_cast<TAboutForm&>(dialog).WhiteTop->Msg();
        image = dynamic_cast<TAboutForm&>(dialog).CompanyImage->pixmap().toImage();
        return int(QDialog::Accepted);
    });
    ShowAboutBox();
    SetModalRunner(nullptr);
    EXPECT_EQ(aboutMessage, TAboutForm::VersionText());
    // The program's icon, though only the main window was given one.
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 0);
}
