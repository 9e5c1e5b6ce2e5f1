#pragma once
// Settings and figures of the HTTP transfer component.

#include "updater/UpdUtils.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

enum class TupdHTTPAccessType { atPreconfig, atDirect, atUseProxy };

struct TupdHTTPProxy {
    TupdHTTPAccessType AccessType = TupdHTTPAccessType::atPreconfig;
    int ProxyPort = 8080;
    QString ProxyServer;
    QString ProxyBypass = QStringLiteral("127.0.0.1;");
    QString ProxyUsername;
    QString ProxyPassword;
};

struct TupdOutputFileAttributes {
    TupdFileAttributes Complete = FileAttr(TupdFileAttribute::atrArchive);
    TupdFileAttributes Incomplete = FileAttr(TupdFileAttribute::atrArchive) | FileAttr(TupdFileAttribute::atrTemporary);
};

// Members of the cache options, each a bit (1 << member).
enum TupdCacheOption : unsigned {
    coAlwaysReload,
    coReloadIfNoExpireInformation,
    coReloadUpdatedObjects,
    coPragmaNoCache,
    coNoCacheWrite,
    coCreateTempFilesIfCantCache,
    coUseCacheIfNetFail,
};
// Members of the connection options, each a bit (1 << member).
enum TupdInternetOption : unsigned {
    ioIgnoreCertificateInvalid,
    ioIgnoreCertificateDateInvalid,
    ioIgnoreUnknownCertificateAuthority,
    ioIgnoreRedirectToHTTP,
    ioIgnoreRedirectToHTTPS,
    ioKeepConnection,
    ioNoAuthentication,
    ioNoAutoRedirect,
    ioNoCookies,
};
constexpr unsigned Bit(unsigned member) { return 1u << member; }

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Why a transfer did not succeed, beyond its status code.
enum class TupdFailure {
    None,
    Network,        // no answer: the name, the connection or the TLS handshake failed
    Certificate,    // the server's certificate was refused (authority, name or dates)
    RefusedAddress, // an address or a redirect whose scheme the settings refuse
    HTTPStatus,     // an answer with a status other than 200 and 206
    TooLarge,       // more than may be kept in memory, or a file that decodes past its bound
    ContentCoding,  // a content coding the transfer library cannot decode
    Incomplete,     // fewer bytes than announced, or a part of the file only
    Stalled,        // nothing arrived for the stall time
    TooSlow,        // less than the least rate arrived over a whole rate window
    Deadline,       // the transfer's overall deadline passed
    LocalFile,      // the output file could not be written
};

struct TupdHeaderInfo {
    int StatusCode = -1;
    QString RawHeaders;
    QString ContentType;
    QString ContentLanguage;
    QString ContentEncoding;
    int64_t ContentLength = 0; // as announced: of the body as it travels
    // The resource's own size: the announced length of an answer in no content coding, 0 when
    // it is not known (none announced, or only the length of the coded body).
    int64_t FileSize = 0;
    QString Location;
    QDateTime Date;
    QDateTime LastModified;
    QDateTime Expires;
    QString EntityTag;
};

// BytesRead and TotalSize are the resource's own bytes (TotalSize 0 when its size is not known);
// PercentDone is the share of the body that has travelled, which the announced length tells
// also for a body in a content coding.
struct TupdProgress {
    float TransferRate = -1.0f; // KB per second
    uint8_t PercentDone = 0;
    int64_t EstimatedSecondsLeft = 0;
    int64_t ElapsedSeconds = 0;
    int64_t BytesRead = 0;
    int64_t TotalSize = 0;
};
