#pragma once
// Fetches one URL at a time over HTTP(S) with libcurl on a worker thread and reports the outcome
// through events on the main thread: the data stays in memory or goes to a file.
//
// Exactly one outcome follows each Start: OnHTTPDone, or OnHTTPConnLost, OnHTTPHostUnreachable
// or OnHTTPError (each followed by OnHTTPFailed), or OnHTTPStopped, or OnHTTPAborted; Failure()
// then says why it failed. A body is done only when exactly the announced number of bytes
// arrived (a cut chunked stream, a part of a file or an unknown content coding is never done).
// Every resource is asked for as it is (identity); a content coding the server applies anyway is
// decoded when the transfer library knows it, so the data handed on is the resource itself, and
// a file never decodes past a bound (see MaxFileSize). Progress reaches the main thread
// coalesced, at most twenty times a second.

#include "updater/UpdHTTPTypes.h"
#include "updater/UpdLoginComponent.h"
#include "updater/UpdThread.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class TupdCustomHTTP : public TupdLoginComponent {
public:
    TupdCustomHTTP();
    ~TupdCustomHTTP() override;
    TupdCustomHTTP(const TupdCustomHTTP&) = delete;
    TupdCustomHTTP& operator=(const TupdCustomHTTP&) = delete;

    // ---- Settings (read when a transfer starts) ----
    QString URL;
    QString FileName;
    QString Accept = QStringLiteral("text/html, */*");
    QString Agent = QStringLiteral("Quandrel update transfer/1.0");
    TupdHTTPProxy Proxy;
    unsigned CacheOptions = Bit(coReloadIfNoExpireInformation) | Bit(coReloadUpdatedObjects) |
                            Bit(coCreateTempFilesIfCantCache);
    unsigned InternetOptions = Bit(ioKeepConnection);
    int TransferBufferSize = 4096;
    TupdOutputFileAttributes OutputFileAttributes;
    TThreadPriority ThreadPriority = TThreadPriority::tpNormal;

    // Certificate authorities to trust; empty means the system's.
    QString CAFile;
    // Only https, with certificate and host always verified, redirects too; the connection
    // options that would loosen that are ignored.
    bool HttpsOnly = false;
    int ConnectTimeoutMs = 15000;
    // A transfer that receives nothing of a body for this long has its connection given up; this
    // also bounds the wait for the answer.
    int StallTimeoutSeconds = 30;
    // Every transfer ends within DeadlineSeconds plus the time its size takes at
    // MinTransferRate bytes a second (the announced size, or what arrived when none was
    // announced; a rate of 0 adds nothing), so that a server sending a byte now and then cannot
    // keep it running for ever.
    int DeadlineSeconds = 60;
    int64_t MinTransferRate = 16 << 10;
    // A transfer that moves fewer than MinTransferRate bytes a second over any whole window of
    // this length, counted from the first byte of the answer's body, is given up (TooSlow): a
    // server that trickles, or sends a burst now and then, would otherwise hold it for as long as
    // its announced size takes at the least rate.
    int RateWindowSeconds = 30;
    // Caps of the data kept in memory: a whole answer, and the body of an error answer.
    int64_t MaxMemorySize = 1 << 20;
    int64_t MaxErrorBodySize = 64 << 10;
    // A file to FileName may not decode to more bytes than the server announced; with no length
    // announced, not to more than this (far more than any program file).
    int64_t MaxFileSize = int64_t(256) << 20;

    // ---- Events (all on the main thread except OnHTTPStatus) ----
    std::function<void(TupdCustomHTTP*, const TupdHeaderInfo&, bool& continueTransfer)> OnHTTPHeaderInfo;
    // data: the body when it stayed in memory, null when it went to FileName.
    std::function<void(TupdCustomHTTP*, const QString& contentType, const QByteArray* data, int64_t bytes)> OnHTTPDone;
    std::function<void(TupdCustomHTTP*)> OnHTTPStopped;
    std::function<void(TupdCustomHTTP*, const QString& contentType, const TupdProgress&)> OnHTTPProgress;
    std::function<void(TupdCustomHTTP*, int statusCode, const QString& text)> OnHTTPStatus;
    std::function<void(TupdCustomHTTP*, const QString& newURL)> OnHTTPRedirect;
    std::function<void(TupdCustomHTTP*)> OnHTTPFailed;
    std::function<void(TupdCustomHTTP*)> OnHTTPAborted;
    std::function<void(TupdCustomHTTP*, const QString& contentType, const QByteArray* data, int64_t bytesRead,
                       int64_t contentLength)>
        OnHTTPConnLost;
    std::function<void(TupdCustomHTTP*)> OnHTTPHostUnreachable;
    std::function<void(TupdCustomHTTP*, int statusCode, const QByteArray* data)> OnHTTPError;
    std::function<void(TupdCustomHTTP*, const QString& realm, bool& tryAgain)> OnHTTPPasswordRequest;
    std::function<void(TupdCustomHTTP*, QString& proxyUsername, QString& proxyPassword, bool& tryAgain)>
        OnProxyAuthenticationRequest;

    // ---- Operations ----
    // False when a transfer is already running. A Start from inside an outcome event begins
    // once that event's delivery has finished.
    bool Start();
    // Stops a running transfer; no outcome but OnHTTPAborted follows. A hard abort waits for the
    // worker and removes a file being written; both keep an already written file's attributes
    // of an incomplete file otherwise.
    void Abort(bool hard);
    bool Busy() const { return FBusy; }

    // ---- Results of the last transfer ----
    int StatusCode() const;
    int64_t ContentLength() const;
    int64_t BytesRead() const;
    const TupdHeaderInfo& Headers() const;
    // What went wrong, in words (the network library's or the component's), empty after success.
    QString LastError() const;
    TupdFailure Failure() const;
    // The address a refused redirect led to.
    QString RefusedURL() const;
    // The deadline of the last transfer in seconds, as it stood when the transfer ended.
    int64_t DeadlineOf() const;
    QString HostName() const;
    QString URLFileName() const;

    static QString StatusText(int code);
    // The query part of an address as sent: controls, non-ASCII bytes, blank, "#", "%", "*",
    // "+", "<" and ">" become %XX.
    static QByteArray EscapeExtraInfo(const QByteArray& extra);

    struct TRun;

protected:
    void Deliver();
    // Stops a running worker and waits for it, without any outcome event; for destructors of
    // components whose handlers the worker could otherwise still reach.
    void StopWorker() { FThread->StopAndWait(); }

private:
    void Launch();
    void Execute(TRun& run);
    void CleanupAborted(TRun& run, bool removeFile);

    std::unique_ptr<TupdCustomThread> FThread;
    std::shared_ptr<TRun> FRun;
    std::shared_ptr<TRun> FPending;
    bool FBusy = false;
    bool FDelivering = false;
    bool FHardAbort = false;
};
