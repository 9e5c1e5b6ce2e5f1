#pragma once
// A real HTTPS server on 127.0.0.1 for network tests: a throwaway certificate authority and
// server certificate are made with openssl, and tests/support/https_server.py serves from a
// temporary folder (its "files" subfolder under /files/). A second, unrelated authority lets a
// test see a certificate refused; the variants serve plain http, or a certificate of the test
// authority that names another host or has expired.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

class TTestHttpsServer {
public:
    enum TVariant { Good, Plain, WrongHost, Expired };
    explicit TTestHttpsServer(TVariant variant = Good) : FVariant(variant)
    {
        if (!FDir.isValid())
            return;
        QDir(FDir.path()).mkpath(QStringLiteral("files"));
        QFile ext(Path(QStringLiteral("ext.cnf")));
        if (ext.open(QIODevice::WriteOnly))
            ext.write(variant == WrongHost ? "subjectAltName=DNS:elsewhere.invalid\n"
                                           : "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
        ext.close();
        const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                                QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
        if (!Openssl(QStringList{"req", "-x509"} + ec +
                     QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Test CA"}) ||
            !Openssl(QStringList{"req", "-x509"} + ec +
                     QStringList{"-keyout", "other.key", "-out", "other.pem", "-days", "2", "-subj", "/CN=Other CA"}) ||
            !Openssl(QStringList{"req"} + ec +
                     QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"}) ||
            !Openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                      "-out", "server.pem", "-days", variant == Expired ? "-1" : "2", "-extfile", "ext.cnf"}))
            return;
        const QString script = QString::fromUtf8(QD_TEST_SUPPORT_DIR "/https_server.py");
        QStringList args{script, QStringLiteral("--root"), FDir.path(), QStringLiteral("--cert"),
                         Path(QStringLiteral("server.pem")), QStringLiteral("--key"), Path(QStringLiteral("server.key"))};
        if (variant == Plain)
            args << QStringLiteral("--plain");
        FProcess.start(QStringLiteral("python3"), args);
        if (!FProcess.waitForStarted(10000))
            return;
        QDeadlineTimer deadline(10000);
        while (!FProcess.canReadLine() && !deadline.hasExpired())
            FProcess.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        FPort = FProcess.readLine().trimmed().toInt();
    }

    ~TTestHttpsServer()
    {
        FProcess.kill();
        FProcess.waitForFinished(5000);
    }

    bool Ok() const { return FPort > 0; }
    QString Url(const QString& path) const
    {
        return QStringLiteral("%1://127.0.0.1:%2%3").arg(FVariant == Plain ? "http" : "https").arg(FPort).arg(path);
    }
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QString CAFile() const { return Path(QStringLiteral("ca.pem")); }
    QString OtherCAFile() const { return Path(QStringLiteral("other.pem")); }
    void PutFile(const QString& name, const QByteArray& data) const { Write(QStringLiteral("files/") + name, data); }
    void Write(const QString& name, const QByteArray& data) const
    {
        QFile f(Path(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(data);
    }
    QByteArray Read(const QString& name) const
    {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    bool Openssl(const QStringList& args)
    {
        QProcess p;
        p.setWorkingDirectory(FDir.path());
        p.start(QStringLiteral("openssl"), args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    TVariant FVariant;
    QTemporaryDir FDir;
    QProcess FProcess;
    int FPort = 0;
};

// Runs the event loop until done() or the time is up; answers done().
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return done();
}
