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

struct TupdHeaderInfo {
    int StatusCode = -1;
    QString RawHeaders;
    QString ContentType;
    QString ContentLanguage;
    QString ContentEncoding;
    int64_t ContentLength = 0;
    QString Location;
    QDateTime Date;
    QDateTime LastModified;
    QDateTime Expires;
    QString EntityTag;
};

struct TupdProgress {
    float TransferRate = -1.0f; // KB per second
    uint8_t PercentDone = 0;
    int64_t EstimatedSecondsLeft = 0;
    int64_t ElapsedSeconds = 0;
    int64_t BytesRead = 0;
    int64_t TotalSize = 0;
};
