#pragma once
// The exception classes the system's own code raises. Every one knows its class name, which
// the error window shows, and captures the stack trace of the place where it was raised.

#include <QString>
#include <exception>
#include <memory>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(QString message);
    ~Exception() override;

    const QString& Message() const { return FMessage; }
    virtual QString ClassName() const { return QStringLiteral("Exception"); }
    // The stack at the point of construction, one frame a line. The frames are captured when
    // the exception is made, but only resolved to names here, since that is slow.
    QString StackTrace() const;
    const char* what() const noexcept override { return FWhat.c_str(); }

private:
    struct Trace;
    QString FMessage;
    std::shared_ptr<const Trace> FTrace;
    std::string FWhat;
};

#define QD_EXCEPTION_CLASS(Name, Base)                                        \
    class Name : public Base {                                                \
    public:                                                                   \
        using Base::Base;                                                     \
        QString ClassName() const override { return QStringLiteral(#Name); }  \
    };

QD_EXCEPTION_CLASS(ArgumentOutOfRangeException, Exception)
QD_EXCEPTION_CLASS(InvalidOperationException, Exception)
QD_EXCEPTION_CLASS(IOException, Exception)
QD_EXCEPTION_CLASS(FormatException, Exception)
// A text that is not a number, or a number that has no text form (inf, nan).
QD_EXCEPTION_CLASS(EConvertError, Exception)
// Raised by the list classes (an element that is not there).
QD_EXCEPTION_CLASS(EListError, Exception)
// A broken contract of the calling code (an index out of range, an operation on the wrong kind
// of node); raised in release builds too, never compiled out.
QD_EXCEPTION_CLASS(EAssertionFailed, Exception)

class ArgumentException : public Exception {
public:
    explicit ArgumentException(QString message, QString paramName = QString());
    static ArgumentException CreateWithParamName(const QString& message, const QString& paramName)
    {
        return ArgumentException(message, paramName);
    }
    const QString& ParamName() const { return FParamName; }
    QString ClassName() const override { return QStringLiteral("ArgumentException"); }

private:
    QString FParamName;
};

class ArgumentNullException : public ArgumentException {
public:
    // The message is always "Value cannot be null."; the argument names the parameter.
    explicit ArgumentNullException(const QString& paramName);
    QString ClassName() const override { return QStringLiteral("ArgumentNullException"); }
};

// Raises EAssertionFailed("Assertion failure (file, line)") when the condition is false.
#define QD_ASSERT(cond, file)                                                              \
    do {                                                                                   \
        if (!(cond))                                                                       \
            throw EAssertionFailed(QStringLiteral("Assertion failure (%1, line %2)")       \
                                       .arg(QStringLiteral(file)).arg(__LINE__));          \
    } while (0)

// A call the object cannot serve in its state (an unknown enumeration value, a negative
// list position).
QD_EXCEPTION_CLASS(EInvalidOperation, Exception)
