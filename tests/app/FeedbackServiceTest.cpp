#include "app/FeedbackService.h"

#include "support/TestHttpsServer.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

TEST(FeedbackService, TheCallAsTheServerReceivedItAndEachKindOfAnswer)
{
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    auto service = GetFeedbackServiceSoap(false, server.Url(QStringLiteral("/feedbackservice/feedbackservice.asmx")));
    service->CAFile = server.CAFile();
    service->TotalTimeoutMs = 10000;

    const QString message = QStringLiteral("Crash <here> & \"there\"\x01\uFFFE\nsecond line \u00e9");
    EXPECT_NO_THROW(service->Feedback("Quandrel", "3.0.0.1 beta", "Bug", message, "a@b.c", "Ann"));

    pugi::xml_document doc;
    const QByteArray body = server.Read(QStringLiteral("post_body"));
    ASSERT_TRUE(doc.load_buffer(body.constData(), size_t(body.size())));
    const pugi::xml_node call = doc.child("soap:Envelope").child("soap:Body").child("Feedback");
    ASSERT_TRUE(call);
    EXPECT_EQ(QString::fromUtf8(call.attribute("xmlns").value()) + "/Feedback", service->SoapAction());
    QStringList names, values;
    for (const pugi::xml_node p : call.children()) {
        names << QString::fromUtf8(p.name());
        values << QString::fromUtf8(p.text().get());
    }
    EXPECT_EQ(names, QStringList({"productName", "productVersion", "type", "message", "submitterEMail", "submitterName"}));
    EXPECT_EQ(values, QStringList({"Quandrel", "3.0.0.1 beta", "Bug",
                                   QStringLiteral("Crash <here> & \"there\"\nsecond line \u00e9"), "a@b.c", "Ann"}));
    const QByteArray headers = server.Read(QStringLiteral("post_headers"));
    EXPECT_TRUE(headers.contains("SOAPAction: \"" + service->SoapAction().toUtf8() + "\""));

    // Each failure is told in its words. Only the service that keeps the call waiting meets a
    // short deadline, which ends it and says so; the others have room for their answer.
    const struct {
        const char* mode;
        const char* text;
        int deadlineMs = 20000;
    } failures[] = {{"fault", "Service is resting"},
                    {"html", "Maintenance page"},
                    {"ok:503", "did not confirm the report (HTTP status 503)"},
                    // a web server's error page, each of its blocks on a line of its own
                    {"error-page", "(HTTP status 500).\nRuntime Error\nServer Error in '/' Application.\n"
                                   "Object reference not set to an instance of an object.\n"
                                   "Description: An unhandled exception & more."},
                    {"stall", "The feedback service did not answer within 3 seconds.", 3000}};
    for (const auto& f : failures) {
        SCOPED_TRACE(f.mode);
        service->TotalTimeoutMs = f.deadlineMs;
        server.Write(QStringLiteral("post_mode"), f.mode);
        try {
            service->Feedback("Quandrel", "1", "Bug", "x", "", "");
            ADD_FAILURE() << f.mode << " taken for success";
        } catch (const EFeedbackError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String(f.text))) << e.what();
        }
    }

    auto plain = GetFeedbackServiceSoap(false, QStringLiteral("http://127.0.0.1:1/x"));
    EXPECT_THROW(plain->Feedback("Quandrel", "1", "Bug", "x", "", ""), EFeedbackError);
    auto wrongCA = GetFeedbackServiceSoap(false, service->Address());
    wrongCA->CAFile = server.OtherCAFile();
    EXPECT_THROW(wrongCA->Feedback("Quandrel", "1", "Bug", "x", "", ""), EFeedbackError);
}

// What an answer that is no confirmation says: the text of a page, block by block, without its
// styles, scripts and comments, its character references decoded.
TEST(FeedbackService, AnAnswerThatIsNoConfirmationIsToldInItsOwnWords)
{
    const struct {
        const char* answer;
        const char* told;
    } cases[] = {
        {"<p>First</p><p>Second &lt;b&gt; &#233;&#x263A;</p>", "First\nSecond <b> \u00e9\u263a"},
        {"<script>var a = '<p>';</script><STYLE type=x>p{}</STYLE>Down<br/>for maintenance", "Down\nfor maintenance"},
        {"plain\n  text  &unknown; &#0;", "plain text &unknown; &#0;"},
        {"<div><div> </div></div>", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        const QString told = QString::fromUtf8(c.told);
        EXPECT_EQ(TFeedbackServiceSoap::Failure(502, c.answer),
                  QStringLiteral("The service did not confirm the report (HTTP status 502).") +
                      (told.isEmpty() ? QString() : QLatin1Char('\n') + told));
    }
}
