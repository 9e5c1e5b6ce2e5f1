#include "app/MessageDialogs.h"
#include "app/Startup.h"
#include "app/forms/AboutForm.h"
#include "app/forms/EULAForm.h"
#include "app/forms/ErrorFormUnit.h"
#include "app/forms/ModalRunner.h"
#include "shared/core/Exceptions.h"
#include "shared/core/StringHelpers.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
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

TEST(ErrorFormTest, AnEscapingErrorShowsItsClassMessageAndTrace)
{
    std::vector<TShownError> shown;
    SetModalRunner([&shown](QDialog& dialog) {
        auto& form = dynamic_cast<TErrorForm&>(dialog);
        shown.push_back({form.ExceptionNameEdit->text(), form.DescriptionEdit->text(), form.StackTraceMemo->toPlainText()});
        return int(QDialog::Accepted);
    });
    DeliverEvent([]() -> bool { RaiseDeepInsideACommand(); });
    DeliverEvent([]() -> bool { throw std::runtime_error("plain"); });
    QCoreApplication::processEvents();
    SetModalRunner(nullptr);

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].Name, "ArgumentOutOfRangeException");
    EXPECT_EQ(shown[0].Description, "Index out of range");
    // The trace of where it was raised, resolved to names.
    EXPECT_TRUE(shown[0].Trace.contains("RaiseDeepInsideACommand")) << shown[0].Trace.toStdString();
    EXPECT_EQ(shown[1].Name, "std::runtime_error");
    EXPECT_EQ(shown[1].Description, "plain");
    EXPECT_FALSE(shown[1].Trace.trimmed().isEmpty());
}

TEST(ErrorFormTest, AboutShowsTheVersionAndTheLicenceCanBeCopied)
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
    const size_t living = TParentedForm::Instances().size();
    ShowAboutBox();
    SetModalRunner(nullptr);
    EXPECT_EQ(aboutMessage, TAboutForm::VersionText());
    // The program's icon, though only the main window was given one.
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 0);
    // Released once the pending events are handled.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(TParentedForm::Instances().size(), living);

    // Given a parent window, it goes when that window closes.
    QWidget window;
    QPointer<TAboutForm> about = new TAboutForm(&window);
    window.show();
    window.close();
    EXPECT_TRUE(about.isNull());

    QStringList messages;
    SetMessageDlgHook([&messages](QWidget*, const QString& text, TMsgDlgType, int) {
        messages << text;
        return TModalResult::OK;
    });
    TEULAForm form;
    EXPECT_TRUE(form.EULAMemo->toPlainText().contains("LICENCE AGREEMENT"));
    form.CopyButtonClick();
    SetMessageDlgHook(nullptr);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), form.EULAMemo->toPlainText());
    EXPECT_EQ(messages, QStringList{"The EULA has been copied to the Windows clipboard"});
}
