#pragma once
// The client of the maker's feedback web service: one SOAP 1.1 document-style operation,
// Feedback, posted over https. The call blocks (with connect and total time limits, said in the
// message when they pass) and raises EFeedbackError with a readable text unless the service
// answered with a FeedbackResponse. It may run on a worker thread: Cancel, from any thread,
// ends it at once.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>

class EFeedbackError : public std::runtime_error {
public:
    explicit EFeedbackError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class EFeedbackCancelled : public EFeedbackError {
public:
    EFeedbackCancelled() : EFeedbackError(QStringLiteral("Sending was cancelled.")) {}
};

class TFeedbackServiceSoap {
public:
    explicit TFeedbackServiceSoap(QString address, QString targetNamespace);

    void Feedback(const QString& productName, const QString& productVersion, const QString& type_,
                  const QString& message_, const QString& submitterEMail, const QString& submitterName);

    // The request body of a call; characters XML cannot carry are left out.
    QByteArray Envelope(const QString& productName, const QString& productVersion, const QString& type_,
                        const QString& message_, const QString& submitterEMail, const QString& submitterName) const;
    // Nothing for an answer holding FeedbackResponse; else what went wrong, in words.
    static QString Failure(int status, const QByteArray& answer);

    // Ends a call under way at once (it raises EFeedbackCancelled), and every later one.
    void Cancel();

    const QString& Address() const { return FAddress; }
    QString SoapAction() const { return FNamespace + QStringLiteral("/Feedback"); }

    // Certificate authorities to trust; empty for the system's.
    QString CAFile;
    int ConnectTimeoutMs = 15000;
    int TotalTimeoutMs = 60000;

private:
    QString FAddress;
    QString FNamespace;
    std::atomic<bool> FCancelled{false};
    std::mutex FLock;    // guards FTransfer against a Cancel from another thread
    void* FTransfer = nullptr; // the transfer under way, woken by Cancel
};

// The service at address (the endpoint when empty). With useWSDL the address names the
// service description ("?wsdl" after the endpoint); the endpoint is the same address without it.
std::unique_ptr<TFeedbackServiceSoap> GetFeedbackServiceSoap(bool useWSDL = false, const QString& address = QString());
