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

    const QString message = QStringLiteral("Crash <here> & \"there\"\x01\nsecond line \u00e9");
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

    // A service that keeps the call waiting: the deadline ends it and the message says so.
    service->TotalTimeoutMs = 1000;
    const struct {
        const char* mode;
        const char* text;
    } failures[] = {{"fault", "Service is resting"},
                    {"html", "Maintenance page"},
                    {"stall", "The feedback service did not answer within 1 seconds."}};
    for (const auto& f : failures) {
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
