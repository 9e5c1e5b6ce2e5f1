#include "shared/core/Exceptions.h"

#include <boost/stacktrace.hpp>
#include <sstream>

struct Exception::Trace {
    boost::stacktrace::stacktrace Frames;
};

Exception::Exception(QString message)
    // Skip the constructor's own frames.
    : FMessage(std::move(message)),
      FTrace(std::make_shared<Trace>(Trace{boost::stacktrace::stacktrace(1, 64)})),
      FWhat(FMessage.toStdString())
{
}

Exception::~Exception() = default;

QString Exception::StackTrace() const
{
    std::ostringstream out;
    out << FTrace->Frames;
    return QString::fromStdString(out.str());
}

ArgumentException::ArgumentException(QString message, QString paramName)
    : Exception(std::move(message)), FParamName(std::move(paramName))
{
}

ArgumentNullException::ArgumentNullException(const QString& paramName)
    : ArgumentException(QStringLiteral("Value cannot be null."), paramName)
{
}
