#include "updater/UpdHTTP.h"

#include "shared/core/SystemErrors.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QUrl>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct TCurlGlobal {
    TCurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

// The parts of an address: scheme, user, password, and the address without user and password.
struct TCrackedURL {
    QString Scheme;
    QString Host;
    QString User;
    QString Password;
    QByteArray Address; // as sent: scheme://host[:port]path?extra, escaped
};

QByteArray EscapePath(const QByteArray& path)
{
    QByteArray out;
    for (const unsigned char c : path) {
        if (c <= 32 || c >= 128)
            out += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            out += char(c);
    }
    return out;
}

TCrackedURL Crack(QString url)
{
    url = url.trimmed();
    if (!url.contains(QLatin1String("://")))
        url.prepend(QLatin1String("http://"));
    TCrackedURL r;
    const int schemeEnd = url.indexOf(QLatin1String("://"));
    r.Scheme = url.left(schemeEnd).toLower();
    QString rest = url.mid(schemeEnd + 3);
    int pathStart = rest.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
    QString authority = pathStart < 0 ? rest : rest.left(pathStart);
    QString tail = pathStart < 0 ? QString() : rest.mid(pathStart);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        r.User = QUrl::fromPercentEncoding(userInfo.left(colon < 0 ? userInfo.size() : colon).toUtf8());
        if (colon >= 0)
            r.Password = QUrl::fromPercentEncoding(userInfo.mid(colon + 1).toUtf8());
    }
    r.Host = authority;
    if (r.Host.startsWith(QLatin1Char('['))) {
        r.Host = r.Host.mid(1, r.Host.indexOf(QLatin1Char(']')) - 1);
    } else {
        const int colon = r.Host.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0)
            r.Host = r.Host.left(colon);
    }
    QString path = tail, extra;
    const int q = tail.indexOf(QLatin1Char('?'));
    if (q >= 0) {
        path = tail.left(q);
        extra = tail.mid(q);
    }
    const int hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        path = path.left(hash);
    if (path.isEmpty())
        path = QStringLiteral("/");
    r.Address = r.Scheme.toUtf8() + "://" + authority.toUtf8() + EscapePath(path.toUtf8()) +
                TupdCustomHTTP::EscapeExtraInfo(extra.toUtf8());
    return r;
}

// Certificate faults that the connection options forgive, each its own: an unknown authority, or
// a date outside the certificate's validity. (The host name has a switch of the library's own.)
constexpr uintptr_t ForgiveAuthority = 1, ForgiveDates = 2;

int ForgivingVerify(int ok, X509_STORE_CTX* store)
{
    if (ok)
        return 1;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    const auto forgive = reinterpret_cast<uintptr_t>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    bool forgiven = false;
    switch (X509_STORE_CTX_get_error(store)) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED: forgiven = forgive & ForgiveAuthority; break;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID: forgiven = forgive & ForgiveDates; break;
    default: break;
    }
    if (forgiven)
        X509_STORE_CTX_set_error(store, X509_V_OK); // so that the library's own look at the result agrees
    return forgiven ? 1 : 0;
}

CURLcode ForgiveCertificateFaults(CURL*, void* sslContext, void* forgive)
{
    auto* context = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_app_data(context, forgive);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, ForgivingVerify);
    return CURLE_OK;
}

} // namespace

// Everything one transfer owns: a snapshot of the settings, the answer and the output.
struct TupdCustomHTTP::TRun {
    // settings
    QString Url;
    QString FileName;
    QString Accept;
    QString Agent;
    TupdHTTPProxy Proxy;
    unsigned CacheOptions = 0;
    unsigned InternetOptions = 0;
    int BufferSize = 4096;
    TupdOutputFileAttributes Attributes;
    QString User;
    QString Password;
    QString CAFile;
    bool HttpsOnly = false;
    int ConnectTimeoutMs = 15000;
    int StallTimeoutSeconds = 30;
    int DeadlineSeconds = 60;
    int64_t MinRate = 0;
    int RateWindowSeconds = 30;
    int64_t MaxMemory = 0;
    int64_t MaxErrorBody = 0;
    int64_t MaxFile = 0;
    bool HasPasswordHandler = false;
    bool HasProxyHandler = false;
    bool HasHeaderHandler = false;
    bool HasProgressHandler = false;

    // the answer
    TupdHeaderInfo Headers;
    bool LengthPresent = false;
    bool Coded = false; // the body travels in a content coding
    int64_t BytesRead = 0;
    QByteArray Memory;
    int64_t MemoryCap = 0;
    std::unique_ptr<QFile> File;
    bool FileCreated = false;
    bool Succeeded = false;
    bool Continue = true;
    QString Error;
    TupdFailure Failure = TupdFailure::None;
    QString RefusedURL;
    QString ContentRange;
    int64_t WireBytes = 0;  // of the final answer, as they travelled (before any decoding)
    int64_t WireOffset = 0; // the library's count when the final answer's headers arrived
    int64_t DeadlineMs = 0;

    // per attempt
    bool FinalResponse = false;
    bool CurrentIsAuth = false;
    QByteArray HeaderBlock;
    QElapsedTimer Clock;
    bool AllowHttpRedirect = false;
    int64_t LastSeenBytes = -1;
    int64_t LastActivityMs = 0;
    int64_t AttemptStartMs = 0;
    int64_t WindowStartMs = -1;   // the rate window under way; -1 until the body begins
    int64_t WindowStartBytes = 0; // what had moved when it began
    CURL* Curl = nullptr;

    // progress handed to the main thread
    std::mutex ProgressLock;
    TupdProgress Progress;
    bool ProgressPosted = false;
    int64_t LastProgressPostMs = -1000;
    int64_t ProgressBytesPosted = -1; // of the wire
    int64_t ProgressReadPosted = -1;  // of the file: a few coded bytes decode into many blocks

    // sockets, so that a stop can wake a transfer that waits for data
    std::mutex SocketLock;
    std::set<curl_socket_t> Sockets;
    bool Stopping = false;

    TupdCustomHTTP* Owner = nullptr;
    TupdCustomThread* Thread = nullptr;
};

TupdCustomHTTP::TupdCustomHTTP() : FThread(std::make_unique<TupdCustomThread>())
{
    static TCurlGlobal global;
    FThread->OnFinish = [this] { Deliver(); };
    FThread->OnException = [this](const QString& className, const QString& message) {
        if (FRun)
            FRun->Error = className + QStringLiteral(": ") + message;
        if (OnHTTPFailed)
            OnHTTPFailed(this);
    };
    FThread->OnStopRequested = [this] {
        if (!FRun)
            return;
        std::lock_guard lock(FRun->SocketLock);
        FRun->Stopping = true;
        for (const curl_socket_t s : FRun->Sockets)
            ::shutdown(s, SHUT_RDWR);
    };
}

TupdCustomHTTP::~TupdCustomHTTP()
{
    FThread->StopAndWait();
    if (FRun && FRun->File)
        FRun->File->close();
}

bool TupdCustomHTTP::Start()
{
    if (FBusy && !FDelivering)
        return false;
    if (FDelivering && FPending)
        return false;
    auto run = std::make_shared<TRun>();
    run->Url = URL;
    run->FileName = FileName;
    run->Accept = Accept;
    run->Agent = Agent;
    run->Proxy = Proxy;
    run->CacheOptions = CacheOptions;
    run->InternetOptions = InternetOptions;
    run->BufferSize = std::clamp(TransferBufferSize, 1024, 1 << 20);
    run->Attributes = OutputFileAttributes;
    run->User = HTTPUsername;
    run->Password = HTTPPassword;
    run->CAFile = CAFile;
    run->HttpsOnly = HttpsOnly;
    run->ConnectTimeoutMs = std::max(1, ConnectTimeoutMs);
    run->StallTimeoutSeconds = std::max(1, StallTimeoutSeconds);
    run->DeadlineSeconds = std::max(1, DeadlineSeconds);
    run->MinRate = std::max<int64_t>(0, MinTransferRate);
    run->RateWindowSeconds = std::max(1, RateWindowSeconds);
    run->MaxMemory = MaxMemorySize;
    run->MaxErrorBody = MaxErrorBodySize;
    run->MaxFile = MaxFileSize;
    run->HasPasswordHandler = bool(OnHTTPPasswordRequest);
    run->HasProxyHandler = bool(OnProxyAuthenticationRequest);
    run->HasHeaderHandler = bool(OnHTTPHeaderInfo);
    run->HasProgressHandler = bool(OnHTTPProgress);
    run->Owner = this;
    run->Thread = FThread.get();
    FBusy = true;
    FPending = run;
    if (!FDelivering)
        Launch();
    return true;
}

void TupdCustomHTTP::Launch()
{
    FRun = std::move(FPending);
    FHardAbort = false;
    std::shared_ptr<TRun> run = FRun;
    static const int niceness[] = {19, 10, 5, 0, -5, -10, -19};
    FThread->Niceness = niceness[std::clamp(int(ThreadPriority), 0, 6)];
    FThread->OnExecute = [this, run] { Execute(*run); };
    FThread->Start();
}

void TupdCustomHTTP::Abort(bool hard)
{
    if (!FBusy || !FRun)
        return;
    if (FDelivering) {
        FPending.reset(); // a follow-on transfer asked for during the delivery does not start
        return;
    }
    FHardAbort = FHardAbort || hard;
    if (hard && !FThread->Serving()) {
        FThread->StopAndWait();
        CleanupAborted(*FRun, true);
        return;
    }
    FThread->Stop();
}

void TupdCustomHTTP::CleanupAborted(TRun& run, bool removeFile)
{
    if (run.File) {
        run.File->close();
        if (removeFile && run.FileCreated)
            run.File->remove();
        run.File.reset();
    }
    run.FileCreated = false;
    FBusy = false;
    if (OnHTTPAborted)
        OnHTTPAborted(this);
}

int TupdCustomHTTP::StatusCode() const { return FRun ? FRun->Headers.StatusCode : -1; }
int64_t TupdCustomHTTP::ContentLength() const { return FRun ? FRun->Headers.ContentLength : 0; }
int64_t TupdCustomHTTP::BytesRead() const { return FRun ? FRun->BytesRead : 0; }
QString TupdCustomHTTP::LastError() const { return FRun ? FRun->Error : QString(); }
TupdFailure TupdCustomHTTP::Failure() const { return FRun ? FRun->Failure : TupdFailure::None; }
QString TupdCustomHTTP::RefusedURL() const { return FRun ? FRun->RefusedURL : QString(); }
int64_t TupdCustomHTTP::DeadlineOf() const { return FRun ? FRun->DeadlineMs / 1000 : 0; }

const TupdHeaderInfo& TupdCustomHTTP::Headers() const
{
    static const TupdHeaderInfo none;
    return FRun ? FRun->Headers : none;
}

QString TupdCustomHTTP::HostName() const
{
    return Crack(URL).Host;
}

QString TupdCustomHTTP::URLFileName() const
{
    QString path = QString::fromUtf8(Crack(URL).Address);
    const int q = path.indexOf(QLatin1Char('?'));
    if (q >= 0)
        path = path.left(q);
    return QUrl::fromPercentEncoding(updUtils::ExtractURLFileName(path.mid(path.indexOf(QLatin1String("://")) + 3)).toUtf8());
}

QString TupdCustomHTTP::StatusText(int code)
{
    switch (code) {
    case 10: return QStringLiteral("Resolving name");
    case 11: return QStringLiteral("Name resolved");
    case 20: return QStringLiteral("Connecting to server");
    case 21: return QStringLiteral("Connected");
    case 30: return QStringLiteral("Sending Request");
    case 31: return QStringLiteral("Request sent");
    case 40: return QStringLiteral("Receiving response");
    case 41: return QStringLiteral("Response received");
    case 42: return QStringLiteral("CTL Response received");
    case 43: return QStringLiteral("Prefetch");
    case 50: return QStringLiteral("Closing connection");
    case 51: return QStringLiteral("Connection closed");
    case 60: return QStringLiteral("Handle created");
    case 70: return QStringLiteral("Handle closing");
    case 100: return QStringLiteral("Request complete");
    case 110: return QStringLiteral("Redirect");
    case 120: return QStringLiteral("Intermediate response");
    case 200: return QStringLiteral("State change");
    default: return QStringLiteral("Unknown status");
    }
}

QByteArray TupdCustomHTTP::EscapeExtraInfo(const QByteArray& extra)
{
    QByteArray out;
    out.reserve(extra.size());
    for (const unsigned char c : extra) {
        if (c < 32 || c >= 128 || c == ' ' || c == '#' || c == '%' || c == '*' || c == '+' || c == '<' || c == '>')
            out += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            out += char(c);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The run, on the worker

namespace {

using TRun = TupdCustomHTTP::TRun;

void FireStatus(TRun& run, int code)
{
    if (run.Owner->OnHTTPStatus)
        run.Owner->OnHTTPStatus(run.Owner, code, TupdCustomHTTP::StatusText(code));
}

// The final answer's body bytes as they travelled; with a content coding they differ from what
// was written.
int64_t WireCount(TRun& run)
{
    if (!run.Curl)
        return run.BytesRead;
    curl_off_t n = 0;
    curl_easy_getinfo(run.Curl, CURLINFO_SIZE_DOWNLOAD_T, &n);
    return std::max<int64_t>(0, int64_t(n) - run.WireOffset);
}

void PostProgress(TRun& run, bool force)
{
    if (!run.HasProgressHandler)
        return;
    const int64_t now = run.Clock.elapsed();
    const int64_t wire = run.Curl ? WireCount(run) : run.WireBytes ? run.WireBytes : run.BytesRead;
    {
        std::lock_guard lock(run.ProgressLock);
        TupdProgress& p = run.Progress;
        p.BytesRead = run.BytesRead;
        p.TotalSize = run.Headers.FileSize;
        // how far the body has come: the bytes that travelled against the length announced for them
        p.PercentDone = updUtils::Percent(double(wire), double(run.Headers.ContentLength));
        p.ElapsedSeconds = now / 1000;
        p.EstimatedSecondsLeft =
            wire > 0 ? int64_t(std::nearbyint(double(run.Headers.ContentLength) / double(wire) *
                                              double(p.ElapsedSeconds))) -
                           p.ElapsedSeconds
                     : 0;
        p.TransferRate = float(double(wire) / 1024.0 / (p.ElapsedSeconds ? double(p.ElapsedSeconds) : 1.0));
        if (run.ProgressPosted || (run.ProgressBytesPosted == wire && run.ProgressReadPosted == run.BytesRead) ||
            (!force && now - run.LastProgressPostMs < 50))
            return;
        run.ProgressPosted = true;
        run.LastProgressPostMs = now;
        run.ProgressBytesPosted = wire;
        run.ProgressReadPosted = run.BytesRead;
    }
    TupdCustomHTTP* owner = run.Owner;
    TRun* r = &run;
    run.Thread->Post([owner, r] {
        TupdProgress p;
        {
            std::lock_guard lock(r->ProgressLock);
            p = r->Progress;
            r->ProgressPosted = false;
        }
        if (owner->OnHTTPProgress)
            owner->OnHTTPProgress(owner, r->Headers.ContentType, p);
    });
}

bool OpenOutput(TRun& run)
{
    const int status = run.Headers.StatusCode;
    if ((status == 200 || status == 206) && !run.FileName.isEmpty()) {
        updUtils::ForceDirectories(run.FileName);
        if (QFile::exists(run.FileName))
            updUtils::SetFileAttributesEx(run.FileName, FileAttr(TupdFileAttribute::atrArchive));
        run.File = std::make_unique<QFile>(run.FileName);
        errno = 0;
        if (!run.File->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            run.Error = QStringLiteral("Cannot create file \"%1\". %2")
                            .arg(run.FileName, SystemErrors::ReasonFor(*run.File, errno));
            run.File.reset();
            run.Failure = TupdFailure::LocalFile;
            return false;
        }
        run.FileCreated = true;
        return true;
    }
    run.MemoryCap = (status == 200 || status == 206) ? run.MaxMemory : run.MaxErrorBody;
    if (run.LengthPresent)
        run.Memory.reserve(qsizetype(std::min<int64_t>(run.Headers.ContentLength, run.MemoryCap)));
    return true;
}

void ParseHeaders(TRun& run, CURL* curl)
{
    TupdHeaderInfo& h = run.Headers;
    h = TupdHeaderInfo();
    h.RawHeaders = QString::fromLatin1(run.HeaderBlock);
    QMap<QString, QString> fields;
    const QList<QByteArray> lines = run.HeaderBlock.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QString name = QString::fromLatin1(lines[i].left(colon)).trimmed().toLower();
        if (!fields.contains(name))
            fields.insert(name, QString::fromLatin1(lines[i].mid(colon + 1)).trimmed());
    }
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    h.StatusCode = code > 0 ? int(code) : -1;
    h.ContentType = fields.value(QStringLiteral("content-type"));
    h.ContentLanguage = fields.value(QStringLiteral("content-language"));
    h.ContentEncoding = fields.value(QStringLiteral("content-encoding"));
    h.Location = fields.value(QStringLiteral("location"));
    h.EntityTag = fields.value(QStringLiteral("etag"));
    h.Date = updUtils::ParseHTTPDate(fields.value(QStringLiteral("date")));
    h.LastModified = updUtils::ParseHTTPDate(fields.value(QStringLiteral("last-modified")));
    h.Expires = updUtils::ParseHTTPDate(fields.value(QStringLiteral("expires")));
    bool ok = false;
    const QString length = fields.value(QStringLiteral("content-length"));
    const qlonglong n = length.toLongLong(&ok);
    run.ContentRange = fields.value(QStringLiteral("content-range"));
    run.LengthPresent = ok && n >= 0 && !fields.value(QStringLiteral("transfer-encoding")).contains(
                                                 QLatin1String("chunked"), Qt::CaseInsensitive);
    h.ContentLength = run.LengthPresent ? n : 0;
    run.Coded = !h.ContentEncoding.isEmpty() && h.ContentEncoding.compare(QLatin1String("identity"), Qt::CaseInsensitive) != 0;
    h.FileSize = run.Coded ? 0 : h.ContentLength;
    run.Headers.RawHeaders = h.RawHeaders;
}

size_t HeaderCallback(char* data, size_t size, size_t count, void* user)
{
    TRun& run = *static_cast<TRun*>(user);
    const size_t n = size * count;
    if (run.Thread->Terminated())
        return 0;
    const QByteArray line(data, qsizetype(n));
    if (line.startsWith("HTTP/")) {
        run.HeaderBlock = line;
        run.FinalResponse = false;
        run.WindowStartMs = -1; // a new answer: its own body will start the rate window
        return n;
    }
    run.HeaderBlock += line;
    return n;
}

struct TCallbackData {
    TRun* Run;
    CURL* Curl;
};

size_t HeaderCallbackWithHandle(char* data, size_t size, size_t count, void* user)
{
    auto& cb = *static_cast<TCallbackData*>(user);
    TRun& run = *cb.Run;
    const size_t n = HeaderCallback(data, size, count, &run);
    if (n == 0)
        return 0;
    const QByteArray line(data, qsizetype(n));
    if (line != "\r\n" && line != "\n")
        return n;
    long code = 0;
    curl_easy_getinfo(cb.Curl, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 100 && code < 200)
        return n;
    // The next address, resolved against the current one as the library will resolve it.
    QString target;
    {
        const QList<QByteArray> lines = run.HeaderBlock.split('\n');
        for (const QByteArray& l : lines)
            if (l.toLower().startsWith("location:")) {
                char* current = nullptr;
                curl_easy_getinfo(cb.Curl, CURLINFO_EFFECTIVE_URL, &current);
                target = QUrl(QString::fromUtf8(current ? current : ""))
                             .resolved(QUrl(QString::fromUtf8(l.mid(9).trimmed())))
                             .toString();
                break;
            }
    }
    const bool redirect = !target.isEmpty();
    const bool following = !(run.InternetOptions & Bit(ioNoAutoRedirect)) || run.HttpsOnly;
    const bool allowed = target.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ||
                         (run.AllowHttpRedirect && target.startsWith(QLatin1String("http://"), Qt::CaseInsensitive));
    if (code >= 300 && code < 400 && redirect && following && allowed) {
        FireStatus(run, 110);
        TupdCustomHTTP* owner = run.Owner;
        run.Thread->Post([owner, target] {
            if (owner->OnHTTPRedirect)
                owner->OnHTTPRedirect(owner, target);
        });
        return n; // curl follows it; this answer's body is not ours
    }
    if (code >= 300 && code < 400 && redirect && following) {
        run.Failure = TupdFailure::RefusedAddress;
        run.RefusedURL = target;
        run.Error = QStringLiteral("The server sent the request on to %1, an address that is refused.").arg(target);
    }
    FireStatus(run, 41);
    ParseHeaders(run, cb.Curl);
    run.FinalResponse = true;
    curl_off_t before = 0;
    curl_easy_getinfo(cb.Curl, CURLINFO_SIZE_DOWNLOAD_T, &before);
    run.WireOffset = int64_t(before);
    const int status = run.Headers.StatusCode;
    // Credentials travel only inside TLS: a password asked for over plain http is not offered.
    char* current = nullptr;
    curl_easy_getinfo(cb.Curl, CURLINFO_EFFECTIVE_URL, &current);
    const bool overTLS = QByteArray(current ? current : "").toLower().startsWith("https:");
    if (status == 401 && run.HasPasswordHandler && !overTLS)
        run.Error = QStringLiteral("The server asks for a password without TLS; none is sent.");
    run.CurrentIsAuth = (status == 401 && run.HasPasswordHandler && overTLS) || (status == 407 && run.HasProxyHandler);
    if (!run.CurrentIsAuth && run.HasHeaderHandler) {
        TupdCustomHTTP* owner = run.Owner;
        TupdHeaderInfo headers = run.Headers;
        bool cont = true;
        if (!run.Thread->Synchronize([&] { owner->OnHTTPHeaderInfo(owner, headers, cont); }))
            return 0;
        run.Continue = cont;
        if (!cont)
            return 0;
    }
    if (!OpenOutput(run))
        return 0;
    return n;
}

size_t WriteCallback(char* data, size_t size, size_t count, void* user)
{
    TRun& run = *static_cast<TRun*>(user);
    const size_t n = size * count;
    if (run.Thread->Terminated())
        return 0;
    if (!run.FinalResponse)
        return n;
    if (run.File) {
        // What decoding makes of a small answer is not bounded by the answer: a file may not
        // grow past the size announced for it, or a program file's bound when none was.
        const int64_t bound = run.LengthPresent ? run.Headers.ContentLength : run.MaxFile;
        if (run.BytesRead + int64_t(n) > bound) {
            run.Failure = TupdFailure::TooLarge;
            run.Error = run.LengthPresent
                            ? QStringLiteral("It decodes to more than the %1 bytes the server announced.").arg(bound)
                            : QStringLiteral("It is larger than %1 bytes, more than any program file.").arg(bound);
            return 0;
        }
        // A write that the disk takes only in part sets errno but no error of Qt's own.
        errno = 0;
        if (run.File->write(data, qint64(n)) != qint64(n)) {
            run.Error = QStringLiteral("Cannot write file \"%1\". %2")
                            .arg(run.FileName, SystemErrors::ReasonFor(*run.File, errno));
            run.Failure = TupdFailure::LocalFile;
            return 0;
        }
    } else {
        if (int64_t(run.Memory.size()) + int64_t(n) > run.MemoryCap) {
            const int status = run.Headers.StatusCode;
            if (status == 200 || status == 206) {
                run.Failure = TupdFailure::TooLarge;
                run.Error = QStringLiteral("The answer is larger than %1 bytes.").arg(run.MemoryCap);
                return 0;
            }
            // an error page: what fits is kept, the rest is not wanted
            run.Memory.append(data, qsizetype(std::max<int64_t>(0, run.MemoryCap - run.Memory.size())));
            run.BytesRead += int64_t(n);
            return n;
        }
        run.Memory.append(data, qsizetype(n));
    }
    run.BytesRead += int64_t(n);
    PostProgress(run, false);
    return n;
}

int ProgressCallback(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
{
    TRun& run = *static_cast<TRun*>(user);
    if (run.Thread->Terminated())
        return 1;
    // A connection that carries nothing for too long is given up, whatever stage it is in.
    const int64_t now = run.Clock.elapsed();
    if (downloaded + uploaded != run.LastSeenBytes) {
        run.LastSeenBytes = downloaded + uploaded;
        run.LastActivityMs = now;
    }
    if (now - run.LastActivityMs > int64_t(run.StallTimeoutSeconds) * 1000) {
        run.Failure = TupdFailure::Stalled;
        run.Error = QStringLiteral("No data arrived for %1 seconds.").arg(run.StallTimeoutSeconds);
        return 1;
    }
    // The least rate holds over every whole window, so that neither a trickle nor a burst now and
    // then can stretch a transfer towards its deadline (the library's own low-speed check would
    // forget a slow window at every burst). It is owed from the final answer's first body byte
    // on: the time a server takes to answer is no part of any rate, and the stall time above
    // bounds that wait.
    const int64_t moved = downloaded + uploaded;
    if (run.MinRate > 0 && run.WindowStartMs < 0 && run.FinalResponse && moved > run.WireOffset) {
        run.WindowStartMs = now;
        run.WindowStartBytes = run.WireOffset;
    }
    if (run.MinRate > 0 && run.WindowStartMs >= 0) {
        const int64_t window = int64_t(run.RateWindowSeconds) * 1000;
        if (now - run.WindowStartMs >= window) {
            if (moved - run.WindowStartBytes < run.MinRate * run.RateWindowSeconds) {
                run.Failure = TupdFailure::TooSlow;
                run.Error = QStringLiteral("Less than %1 KB a second arrived over %2 seconds.")
                                .arg(run.MinRate / 1024)
                                .arg(run.RateWindowSeconds);
                return 1;
            }
            run.WindowStartMs = now;
            run.WindowStartBytes = moved;
        }
    }
    // The whole transfer has a deadline that grows with its size only at the least rate allowed.
    const int64_t size = std::max<int64_t>(run.LengthPresent ? run.Headers.ContentLength : 0, downloaded);
    run.DeadlineMs = (int64_t(run.DeadlineSeconds) + (run.MinRate > 0 ? size / run.MinRate : 0)) * 1000;
    if (now - run.AttemptStartMs > run.DeadlineMs) {
        run.Failure = TupdFailure::Deadline;
        run.Error = QStringLiteral("The transfer did not finish within %1 seconds.").arg(run.DeadlineMs / 1000);
        return 1;
    }
    return 0;
}

curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address)
{
    TRun& run = *static_cast<TRun*>(user);
    std::lock_guard lock(run.SocketLock);
    if (run.Stopping)
        return CURL_SOCKET_BAD;
    const curl_socket_t s = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (s != CURL_SOCKET_BAD)
        run.Sockets.insert(s);
    return s;
}

int CloseSocket(void* user, curl_socket_t s)
{
    TRun& run = *static_cast<TRun*>(user);
    std::lock_guard lock(run.SocketLock);
    run.Sockets.erase(s);
    return ::close(s);
}

// Reads a local file for a "file" address.
void ReadLocalFile(TRun& run, const QString& url)
{
    const QString path = QUrl(url).toLocalFile();
    QFile in(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !in.open(QIODevice::ReadOnly)) {
        run.Headers.StatusCode = 404;
        run.Headers.ContentLength = 0;
        run.FinalResponse = true;
        OpenOutput(run);
        return;
    }
    run.Headers.StatusCode = 200;
    run.Headers.ContentLength = run.Headers.FileSize = in.size();
    run.LengthPresent = true;
    run.FinalResponse = true;
    if (!OpenOutput(run))
        return;
    QByteArray buffer(run.BufferSize, Qt::Uninitialized);
    for (;;) {
        if (run.Thread->Terminated())
            return;
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got <= 0)
            break;
        if (WriteCallback(buffer.data(), 1, size_t(got), &run) != size_t(got))
            break;
    }
    run.WireBytes = run.BytesRead;
}

bool WholeFile(const QString& contentRange)
{
    static const QRegularExpression form(QStringLiteral("^bytes\\s+(\\d+)-(\\d+)/(\\d+)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(contentRange.trimmed());
    return m.hasMatch() && m.captured(1).toLongLong() == 0 &&
           m.captured(2).toLongLong() + 1 == m.captured(3).toLongLong();
}

// What the run's answer amounts to: success only for a whole body of exactly the announced size.
void Settle(TRun& run)
{
    const int status = run.Headers.StatusCode;
    if (!run.Continue) // stopped by a header handler: no outcome but that
        run.Failure = TupdFailure::None;
    else if (run.Failure == TupdFailure::None) {
        if (status == -1) {
            run.Failure = TupdFailure::Network;
        } else if (status != 200 && status != 206) {
            run.Failure = TupdFailure::HTTPStatus;
        } else if (run.LengthPresent && run.WireBytes != run.Headers.ContentLength) {
            run.Failure = TupdFailure::Incomplete;
            run.Error = QStringLiteral("%1 bytes arrived where %2 were announced.")
                            .arg(run.WireBytes)
                            .arg(run.Headers.ContentLength);
        } else if (status == 206 && !WholeFile(run.ContentRange)) {
            run.Failure = TupdFailure::Incomplete;
            run.Error = QStringLiteral("Only a part of the file arrived (%1).").arg(run.ContentRange);
        }
    }
    run.Succeeded = run.Continue && run.Failure == TupdFailure::None;
}

} // namespace

void TupdCustomHTTP::Execute(TRun& run)
{
    run.Clock.start();
    run.Headers.StatusCode = -1;
    TCrackedURL url = Crack(run.Url);
    QString user = url.User.isEmpty() ? run.User : url.User;
    QString password = url.Password.isEmpty() ? run.Password : url.Password;
    const bool secure = url.Scheme == QLatin1String("https");

    if (url.Scheme == QLatin1String("file") && !run.HttpsOnly) {
        ReadLocalFile(run, run.Url);
    } else if (run.HttpsOnly && !secure) {
        run.Failure = TupdFailure::RefusedAddress;
        run.Error = QStringLiteral("Only https addresses are accepted: %1").arg(run.Url);
    } else if (!secure && url.Scheme != QLatin1String("http")) {
        run.Failure = TupdFailure::RefusedAddress;
        run.Error = QStringLiteral("Unsupported address: %1").arg(run.Url);
    } else {
        QString proxyUser = run.Proxy.ProxyUsername, proxyPassword = run.Proxy.ProxyPassword;
        for (bool tryAgain = true; tryAgain;) {
            tryAgain = false;
            if (run.Thread->Terminated())
                return;
            CURL* curl = curl_easy_init();
            if (!curl) {
                run.Error = QStringLiteral("The network library could not start a transfer.");
                return;
            }
            char errorText[CURL_ERROR_SIZE] = {};
            TCallbackData cb{&run, curl};
            curl_slist* headers = nullptr;
            headers = curl_slist_append(headers, ("Accept: " + run.Accept.toLatin1()).constData());
            // Every resource is asked for as it is, so that its announced length is its size.
            headers = curl_slist_append(headers, "Accept-Encoding: identity");
            if (run.CacheOptions & (Bit(coPragmaNoCache) | Bit(coAlwaysReload))) {
                headers = curl_slist_append(headers, "Pragma: no-cache");
                headers = curl_slist_append(headers, "Cache-Control: no-cache");
            }
            const QByteArray agent = run.Agent.toUtf8();
            const QByteArray caFile = QFile::encodeName(run.CAFile);
            const QByteArray userBytes = user.toUtf8(), passwordBytes = password.toUtf8();
            const QByteArray proxy = run.Proxy.ProxyServer.toUtf8() + ':' + QByteArray::number(run.Proxy.ProxyPort);
            QByteArray bypass = run.Proxy.ProxyBypass.toUtf8();
            bypass.replace(';', ',');
            const QByteArray proxyUserBytes = proxyUser.toUtf8(), proxyPasswordBytes = proxyPassword.toUtf8();

            curl_easy_setopt(curl, CURLOPT_URL, url.Address.constData());
            curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
            curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, run.HttpsOnly ? "https" : "http,https");
            const bool allowHttpRedirect =
                !run.HttpsOnly && (!secure || (run.InternetOptions & Bit(ioIgnoreRedirectToHTTP)));
            run.AllowHttpRedirect = allowHttpRedirect;
            curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, allowHttpRedirect ? "http,https" : "https");
            curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION,
                             (run.HttpsOnly || !(run.InternetOptions & Bit(ioNoAutoRedirect))) ? 1L : 0L);
            curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
            curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.constData());
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
            curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(run.ConnectTimeoutMs));
            // A coding the server applies all the same is decoded when the library knows it (the
            // header above takes the place of the library's own offer); an answer in any other
            // coding fails rather than hand on bytes that are not the file.
            curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
            run.LastActivityMs = run.AttemptStartMs = run.Clock.elapsed();
            run.WindowStartMs = -1;
            run.Curl = curl;
            curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, long(std::max(run.BufferSize, 16384)));
            if (!caFile.isEmpty())
                curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
            // The certificate is always verified; an option that loosens the check forgives its
            // own fault and nothing more, and none counts with HttpsOnly.
            const bool loosen = !run.HttpsOnly;
            const uintptr_t forgive =
                loosen ? ((run.InternetOptions & Bit(ioIgnoreUnknownCertificateAuthority)) ? ForgiveAuthority : 0) |
                             ((run.InternetOptions & Bit(ioIgnoreCertificateDateInvalid)) ? ForgiveDates : 0)
                       : 0;
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
            if (forgive != 0) {
                curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, ForgiveCertificateFaults);
                curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, reinterpret_cast<void*>(forgive));
            }
            curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST,
                             loosen && (run.InternetOptions & Bit(ioIgnoreCertificateInvalid)) ? 0L : 2L);
            // Credentials travel only inside TLS.
            if (secure && !(run.InternetOptions & Bit(ioNoAuthentication)) && !userBytes.isEmpty()) {
                curl_easy_setopt(curl, CURLOPT_USERNAME, userBytes.constData());
                curl_easy_setopt(curl, CURLOPT_PASSWORD, passwordBytes.constData());
                curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC | CURLAUTH_DIGEST));
            }
            if (run.Proxy.AccessType == TupdHTTPAccessType::atDirect) {
                curl_easy_setopt(curl, CURLOPT_PROXY, "");
            } else if (run.Proxy.AccessType == TupdHTTPAccessType::atUseProxy) {
                curl_easy_setopt(curl, CURLOPT_PROXY, proxy.constData());
                if (!bypass.isEmpty())
                    curl_easy_setopt(curl, CURLOPT_NOPROXY, bypass.constData());
                if (!proxyUserBytes.isEmpty()) {
                    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxyUserBytes.constData());
                    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxyPasswordBytes.constData());
                }
            }
            curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, HeaderCallbackWithHandle);
            curl_easy_setopt(curl, CURLOPT_HEADERDATA, &cb);
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteCallback);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, &run);
            curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
            curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
            curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &run);
            curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
            curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &run);
            curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
            curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &run);

            FireStatus(run, 30);
            const CURLcode result = curl_easy_perform(curl);
            long code = 0;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
            run.WireBytes = run.FinalResponse ? WireCount(run) : 0;
            run.Curl = nullptr;
            curl_easy_cleanup(curl);
            curl_slist_free_all(headers);
            if (run.Thread->Terminated())
                return;
            if (code <= 0) {
                run.Headers.StatusCode = -1;
            } else if (!run.FinalResponse) {
                run.Headers.StatusCode = int(code); // a redirect that was not followed
            }
            if (result != CURLE_OK && run.Error.isEmpty())
                run.Error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(result));
            if (result != CURLE_OK && run.Failure == TupdFailure::None) {
                switch (result) {
                case CURLE_PEER_FAILED_VERIFICATION:
                case CURLE_SSL_INVALIDCERTSTATUS:
                case CURLE_SSL_PINNEDPUBKEYNOTMATCH: run.Failure = TupdFailure::Certificate; break;
                case CURLE_UNSUPPORTED_PROTOCOL: run.Failure = TupdFailure::RefusedAddress; break;
                case CURLE_BAD_CONTENT_ENCODING: run.Failure = TupdFailure::ContentCoding; break;
                default: run.Failure = code <= 0 ? TupdFailure::Network : TupdFailure::Incomplete; break;
                }
            }

            const int status = run.Headers.StatusCode;
            if (run.CurrentIsAuth && run.Continue) {
                const QString header = run.Headers.RawHeaders;
                const QString field = status == 401 ? QStringLiteral("www-authenticate") : QStringLiteral("proxy-authenticate");
                QString realm;
                for (const QString& l : header.split(QLatin1Char('\n'))) {
                    if (!l.trimmed().toLower().startsWith(field + QLatin1Char(':')))
                        continue;
                    const QString value = l.trimmed();
                    const int at = value.indexOf(QLatin1String("=\""));
                    if (at >= 0)
                        realm = value.mid(at + 2).chopped(1);
                    break;
                }
                TupdCustomHTTP* owner = run.Owner;
                bool again = false;
                bool ran;
                if (status == 401)
                    ran = run.Thread->Synchronize([&] {
                        owner->OnHTTPPasswordRequest(owner, realm, again);
                        user = owner->HTTPUsername;
                        password = owner->HTTPPassword;
                    });
                else
                    ran = run.Thread->Synchronize([&] {
                        owner->OnProxyAuthenticationRequest(owner, proxyUser, proxyPassword, again);
                        owner->Proxy.ProxyUsername = proxyUser;
                        owner->Proxy.ProxyPassword = proxyPassword;
                    });
                if (!ran)
                    return;
                if (again) {
                    // the same request again, with the new credentials, from a clean answer
                    run.Memory.clear();
                    run.BytesRead = 0;
                    run.Error.clear();
                    run.Failure = TupdFailure::None;
                    run.Succeeded = false;
                    run.FinalResponse = false;
                    run.CurrentIsAuth = false;
                    run.Headers = TupdHeaderInfo();
                    tryAgain = true;
                    continue;
                }
                if (run.HasHeaderHandler) {
                    TupdHeaderInfo h = run.Headers;
                    bool cont = true;
                    if (!run.Thread->Synchronize([&] { owner->OnHTTPHeaderInfo(owner, h, cont); }))
                        return;
                    run.Continue = cont;
                }
            }
        }
    }
    // Buffered bytes meet a full disk only now: a file counts as arrived once all are on the disk.
    errno = 0;
    if (run.File && run.Failure == TupdFailure::None && (!run.File->flush() || fsync(run.File->handle()) != 0)) {
        run.Error = QStringLiteral("Cannot write file \"%1\". %2").arg(run.FileName, SystemErrors::ReasonFor(*run.File, errno));
        run.Failure = TupdFailure::LocalFile;
    }
    Settle(run);
    PostProgress(run, true);
    FireStatus(run, 100);
}

// ---------------------------------------------------------------------------------------------
// The outcome, on the main thread

void TupdCustomHTTP::Deliver()
{
    std::shared_ptr<TRun> keep = FRun;
    if (!keep)
        return;
    TRun& run = *keep;
    if (FThread->Terminated()) {
        CleanupAborted(run, FHardAbort);
        return;
    }
    FDelivering = true;
    bool removeFile = false;
    try {
        if (run.Continue) {
            if (run.Succeeded) {
                if (run.File) {
                    run.File->close();
                    run.File.reset();
                    if (run.Attributes.Complete != run.Attributes.Incomplete)
                        updUtils::SetFileAttributesEx(run.FileName, run.Attributes.Complete);
                }
                const QByteArray* data = run.FileCreated ? nullptr : &run.Memory;
                if (OnHTTPDone)
                    OnHTTPDone(this, run.Headers.ContentType, data, run.BytesRead);
            } else {
                const int status = run.Headers.StatusCode;
                if (run.Failure == TupdFailure::LocalFile || run.Failure == TupdFailure::ContentCoding) {
                    // the file as such cannot be had, as if it were missing
                    removeFile = run.FileCreated;
                    if (OnHTTPError)
                        OnHTTPError(this, status, &run.Memory);
                } else if (status == 200 || status == 206) {
                    // what arrived of a file past its bound is no part of it
                    removeFile = run.Failure == TupdFailure::TooLarge && run.FileCreated;
                    if (OnHTTPConnLost)
                        OnHTTPConnLost(this, run.Headers.ContentType, run.FileCreated ? nullptr : &run.Memory,
                                       run.BytesRead, run.Headers.ContentLength);
                } else if (status == -1) {
                    if (OnHTTPHostUnreachable)
                        OnHTTPHostUnreachable(this);
                } else {
                    removeFile = run.FileCreated;
                    if (OnHTTPError)
                        OnHTTPError(this, status, &run.Memory);
                }
                if (OnHTTPFailed)
                    OnHTTPFailed(this);
            }
        }
    } catch (...) {
        // a handler's exception is reported by the thread; the transfer still ends here
        if (run.File) {
            run.File->close();
            run.File.reset();
        }
        FDelivering = false;
        FBusy = false;
        FPending.reset();
        throw;
    }
    if (run.File) {
        run.File->close();
        if (removeFile)
            run.File->remove();
        run.File.reset();
    } else if (removeFile) {
        QFile::remove(run.FileName);
    }
    run.FileCreated = false;
    FDelivering = false;
    FBusy = false;
    if (!run.Continue && OnHTTPStopped)
        OnHTTPStopped(this);
    if (FPending) {
        FBusy = true;
        Launch();
    }
}
