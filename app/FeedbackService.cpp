#include "app/FeedbackService.h"

#include <curl/curl.h>
#include <pugixml.hpp>

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <cstring>

#include <sstream>

#ifndef QD_FEEDBACK_URL
#define QD_FEEDBACK_URL "https://www.orvanta.com/feedbackservice/feedbackservice.asmx"
#endif
#ifndef QD_FEEDBACK_NAMESPACE
#define QD_FEEDBACK_NAMESPACE "https://www.orvanta.com/Feedbackservice"
#endif

namespace {

const char* const SoapNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr qsizetype MaxAnswer = 1 << 20;

// XML 1.0 carries tab, line ends and the characters from blank up, less surrogates and FFFE/FFFF.
std::string XmlText(const QString& text)
{
    QString kept;
    kept.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const bool ok = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                        (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (ok)
            kept += QString::fromUcs4(&c, 1);
    }
    return kept.toStdString();
}

const char* LocalName(const char* name)
{
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node FindLocal(pugi::xml_node node, const char* local)
{
    return node.find_node([local](pugi::xml_node n) {
        return n.type() == pugi::node_element && std::strcmp(LocalName(n.name()), local) == 0;
    });
}

// The readable text of a page the server sent instead of an answer (an error page, as a rule):
// one line per block, so that its title, headings and paragraphs do not run together. Written
// here rather than handed to a rich-text reader, which would go and fetch the page's style sheets
// and pictures.
QString PageText(const QByteArray& page)
{
    using RE = QRegularExpression;
    static const RE hidden(QStringLiteral("<!--.*?-->|<(script|style)\\b.*?</\\1\\s*>"),
                           RE::CaseInsensitiveOption | RE::DotMatchesEverythingOption);
    static const RE space(QStringLiteral("\\s+"));
    static const RE block(QStringLiteral("<\\s*/?\\s*(title|h[1-6]|p|div|br|hr|li|ul|ol|dl|dt|dd|tr|table|pre|body|"
                                         "blockquote|section|header|footer|form|fieldset|legend|caption|address)\\b[^>]*>"),
                          RE::CaseInsensitiveOption);
    static const RE tag(QStringLiteral("<[^>]*>"));
    static const RE entity(QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[a-zA-Z]+);"));
    static const QHash<QString, QString> named = {
        {QStringLiteral("amp"), QStringLiteral("&")},   {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},    {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")}, {QStringLiteral("nbsp"), QStringLiteral(" ")},
    };
    QString text = QString::fromUtf8(page.left(64 << 10));
    text.remove(hidden).replace(space, QStringLiteral(" ")).replace(block, QStringLiteral("\n")).remove(tag);
    QString decoded;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : entity.globalMatch(text)) {
        decoded += QStringView(text).mid(from, m.capturedStart() - from);
        const QString name = m.captured(1);
        bool ok = false;
        const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? name.mid(2).toUInt(&ok, 16)
                          : name.startsWith(QLatin1Char('#'))                       ? name.mid(1).toUInt(&ok, 10)
                                                                                    : 0;
        const char32_t c = char32_t(code);
        if (ok && code > 0 && code <= 0x10FFFF)
            decoded += QString::fromUcs4(&c, 1);
        else
            decoded += named.value(name, m.captured());
        from = m.capturedEnd();
    }
    decoded += QStringView(text).mid(from);
    QStringList lines;
    for (const QString& line : decoded.split(QLatin1Char('\n')))
        if (const QString kept = line.simplified(); !kept.isEmpty())
            lines << kept;
    return lines.join(QLatin1Char('\n')).left(600);
}

size_t Collect(char* data, size_t size, size_t count, void* user)
{
    auto& answer = *static_cast<QByteArray*>(user);
    const size_t n = size * count;
    if (answer.size() + qsizetype(n) > MaxAnswer)
        return 0;
    answer.append(data, qsizetype(n));
    return n;
}

} // namespace

TFeedbackServiceSoap::TFeedbackServiceSoap(QString address, QString targetNamespace)
    : FAddress(std::move(address)), FNamespace(std::move(targetNamespace))
{
}

QByteArray TFeedbackServiceSoap::Envelope(const QString& productName, const QString& productVersion,
                                          const QString& type_, const QString& message_,
                                          const QString& submitterEMail, const QString& submitterName) const
{
    pugi::xml_document doc;
    auto decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "utf-8";
    auto envelope = doc.append_child("soap:Envelope");
    envelope.append_attribute("xmlns:soap") = SoapNamespace;
    envelope.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    envelope.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
    auto call = envelope.append_child("soap:Body").append_child("Feedback");
    call.append_attribute("xmlns") = FNamespace.toStdString().c_str();
    const std::pair<const char*, const QString*> parameters[] = {
        {"productName", &productName}, {"productVersion", &productVersion}, {"type", &type_},
        {"message", &message_},        {"submitterEMail", &submitterEMail}, {"submitterName", &submitterName},
    };
    for (const auto& [name, value] : parameters)
        call.append_child(name).text().set(XmlText(*value).c_str());
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return QByteArray::fromStdString(out.str());
}

QString TFeedbackServiceSoap::Failure(int status, const QByteArray& answer)
{
    pugi::xml_document doc;
    const bool parsed = doc.load_buffer(answer.constData(), size_t(answer.size()));
    if (parsed) {
        const pugi::xml_node body = FindLocal(doc, "Body");
        if (const pugi::xml_node fault = FindLocal(body, "Fault")) {
            const QString text = QString::fromUtf8(FindLocal(fault, "faultstring").text().get()).trimmed();
            return text.isEmpty() ? QStringLiteral("The service reported a fault.") : text;
        }
        if (status == 200 && FindLocal(body, "FeedbackResponse"))
            return QString();
    }
    const QString text = PageText(answer);
    QString failure = QStringLiteral("The service did not confirm the report (HTTP status %1).").arg(status);
    if (!text.isEmpty())
        failure += QLatin1Char('\n') + text;
    return failure;
}

void TFeedbackServiceSoap::Feedback(const QString& productName, const QString& productVersion, const QString& type_,
                                    const QString& message_, const QString& submitterEMail,
                                    const QString& submitterName)
{
    if (!FAddress.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        throw EFeedbackError(QStringLiteral("The feedback service must be reached over https: %1").arg(FAddress));
    const QByteArray body = Envelope(productName, productVersion, type_, message_, submitterEMail, submitterName);
    const QByteArray address = FAddress.toUtf8();
    const QByteArray action = "SOAPAction: \"" + SoapAction().toUtf8() + '"';
    const QByteArray caFile = QFile::encodeName(CAFile);

    CURL* curl = curl_easy_init();
    if (!curl)
        throw EFeedbackError(QStringLiteral("The network library could not start a transfer."));
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8");
    headers = curl_slist_append(headers, action.constData());
    QByteArray answer;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(ConnectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(TotalTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    // Driven through a multi handle, so that Cancel can wake a transfer that waits for the network.
    CURLM* multi = curl_multi_init();
    curl_multi_add_handle(multi, curl);
    {
        std::lock_guard lock(FLock);
        FTransfer = multi;
    }
    CURLcode result = CURLE_RECV_ERROR;
    bool done = false;
    for (int running = 1; running && !FCancelled;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        if (running && !FCancelled)
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(multi, &left))
        if (m->msg == CURLMSG_DONE) {
            result = m->data.result;
            done = true;
        }
    {
        std::lock_guard lock(FLock);
        FTransfer = nullptr;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_off_t connected = 0;
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected);
    curl_multi_remove_handle(multi, curl);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    // A report the service confirmed was sent, whatever a Cancel that came after it.
    const QString failure = done && result == CURLE_OK ? Failure(int(status), answer) : QString();
    if (done && result == CURLE_OK && failure.isEmpty())
        return;
    if (FCancelled)
        throw EFeedbackCancelled();
    if (result == CURLE_OPERATION_TIMEDOUT)
        throw EFeedbackError(connected > 0 ? QStringLiteral("The feedback service did not answer within %1 seconds.")
                                                 .arg(TotalTimeoutMs / 1000)
                                           : QStringLiteral("The feedback service could not be reached within %1 "
                                                            "seconds.")
                                                 .arg(ConnectTimeoutMs / 1000));
    if (result != CURLE_OK)
        throw EFeedbackError(QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(result)));
    throw EFeedbackError(failure);
}

void TFeedbackServiceSoap::Cancel()
{
    FCancelled = true;
    std::lock_guard lock(FLock);
    if (FTransfer)
        curl_multi_wakeup(static_cast<CURLM*>(FTransfer));
}

std::unique_ptr<TFeedbackServiceSoap> GetFeedbackServiceSoap(bool useWSDL, const QString& address)
{
    QString endpoint = address.isEmpty() ? QStringLiteral(QD_FEEDBACK_URL) : address;
    if (useWSDL && endpoint.endsWith(QLatin1String("?wsdl"), Qt::CaseInsensitive))
        endpoint.chop(5);
    return std::make_unique<TFeedbackServiceSoap>(endpoint, QStringLiteral(QD_FEEDBACK_NAMESPACE));
}
