#include "app/Startup.h"

#include "app/forms/ErrorFormUnit.h"
#include "shared/core/Exceptions.h"
#include "shared/core/IniSettingsStore.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <boost/core/demangle.hpp>
#include <boost/stacktrace.hpp>
#include <exception>
#include <typeinfo>
#include <sstream>

void MigrateSettingsKey(TSettingsStore& store)
{
    using namespace Startup;
    try {
        TSettingsRegistry reg(store);
        if (!reg.OpenKey(QLatin1Char('\\') + MakerKey, false))
            return;
        if (!reg.KeyExists(OlderProductKey) || reg.KeyExists(ProductKey))
            return;
        // The product key appears in one rename at the end, complete with the generation
        // move, so an interrupted start leaves at most the assembly key, which the next start
        // throws away and builds again.
        if (reg.KeyExists(MigrationKey))
            reg.DeleteKey(MigrationKey);
        reg.CopyKey(OlderProductKey, MigrationKey);
        const QString older = MigrationKey + QLatin1Char('\\') + OlderSettingsGeneration;
        const QString current = MigrationKey + QLatin1Char('\\') + SettingsGeneration;
        if (reg.KeyExists(older) && !reg.KeyExists(current))
            reg.RenameKey(older, current);
        reg.RenameKey(MigrationKey, ProductKey);
        reg.Flush();
    } catch (...) {
        // Start-up goes on with whatever settings there are.
    }
}

void MigrateSettingsKey()
{
    MigrateSettingsKey(TSettingsStore::Application());
}

std::unique_ptr<TSettingsStore> CreateUserSettingsStore()
{
    const QString fileName = TIniSettingsStore::DefaultFileName();
    if (fileName.isEmpty())
        return std::make_unique<TMemorySettingsStore>();
    return std::make_unique<TIniSettingsStore>(fileName);
}

void InitializeApplication(QApplication& application)
{
    application.setOrganizationName(QStringLiteral("Orvanta"));
    application.setApplicationName(Startup::ApplicationTitle);
    application.setWindowIcon(ProgramIcon());
}

QIcon ProgramIcon()
{
    return QIcon::fromTheme(QStringLiteral("quandrel"), QIcon(QStringLiteral(":/quandrel/quandrel.png")));
}

QString HelpFilePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(Startup::ApplicationHelpFile);
}

namespace {

bool ErrorBoxOpen = false;

// Errors not raised by the program's own code carry no trace; the place they were caught is
// the nearest that can be told.
std::function<QString()> CatchSiteTrace()
{
    auto frames = std::make_shared<const boost::stacktrace::stacktrace>(1, 64);
    return [frames] {
        std::ostringstream out;
        out << *frames;
        return QString::fromStdString(out.str());
    };
}

// The application object whose event delivery no exception leaves: Qt cannot carry one through
// its event loop, so without this an error in any handler would end the program.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        // One captured reference keeps the call inside std::function's own storage: no
        // allocation for every event.
        const auto call = [this, receiver, event] { return QApplication::notify(receiver, event); };
        return DeliverEvent([&call] { return call(); });
    }
};

} // namespace

void ShowUnexpectedError(const QString& className, const QString& message, const std::function<QString()>& trace)
{
    if (ErrorBoxOpen)
        return;
    ErrorBoxOpen = true;
    try {
        ErrorForm().ShowExceptionForm(className, message, trace);
    } catch (...) {
    }
    ErrorBoxOpen = false;
}

void ShowUnexpectedException(const Exception& e)
{
    ShowUnexpectedError(e.ClassName(), e.Message(), [e] { return e.StackTrace(); });
}

TErrorReport CurrentErrorReport()
{
    TErrorReport report;
    try {
        throw;
    } catch (const Exception& e) {
        report.ClassName = e.ClassName();
        report.Message = e.Message();
        report.Trace = [e] { return e.StackTrace(); };
    } catch (const std::bad_alloc&) {
        report.ClassName = QStringLiteral("EOutOfMemory");
        report.Message = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        // Its own class, as for the program's exceptions: "Exception" alone tells nothing.
        report.ClassName = QString::fromStdString(boost::core::demangle(typeid(e).name()));
        report.Message = QString::fromLocal8Bit(e.what());
        report.Trace = CatchSiteTrace();
    } catch (...) {
        report.ClassName = QStringLiteral("Exception");
        report.Message = QStringLiteral("Unknown error");
        report.Trace = CatchSiteTrace();
    }
    return report;
}

void ShowCurrentError()
{
    const TErrorReport report = CurrentErrorReport();
    ShowUnexpectedError(report.ClassName, report.Message, report.Trace);
}

bool DeliverEvent(const std::function<bool()>& deliver)
{
    try {
        return deliver();
    } catch (...) {
        // Not inside the handler that failed: it may be painting, or half-way through a change.
        QTimer::singleShot(0, qApp, [report = CurrentErrorReport()] {
            ShowUnexpectedError(report.ClassName, report.Message, report.Trace);
        });
        return false;
    }
}

int RunApplication(int& argc, char** argv, const TMainFormFactory& createMainForm)
{
    // The units' own initialisation has run before main() as static initialisation.
    if (!TSettingsStore::HasApplication())
        TSettingsStore::SetApplication(CreateUserSettingsStore());
    MigrateSettingsKey();

    TApplication application(argc, argv);
    InitializeApplication(application);
    ErrorForm();

    int exitCode = 0;
    {
        std::unique_ptr<QWidget> mainForm = createMainForm();
        mainForm->show();
        exitCode = application.exec();
    }
    try {
        TSettingsStore::Application().Flush();
    } catch (const std::exception&) {
        // Every setting that matters was flushed when it was saved.
    }
    return exitCode;
}
