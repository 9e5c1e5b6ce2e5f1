#pragma once
// The program's start-up: the settings store, the migration of older settings, the application
// object and the main window, in that order.

#include <QIcon>
#include <QString>
#include <functional>
#include <memory>

class QApplication;
class QWidget;
class TSettingsStore;

namespace Startup {
inline const QString ApplicationTitle = QStringLiteral("Quandrel");
inline const QString ApplicationHelpFile = QStringLiteral("Quandrel.chm");
// The named mutex the main window creates when it is made (TNamedMutex).
inline const QString MutexName = QStringLiteral("QuandrelMutex");
inline const QString MakerKey = QStringLiteral("SOFTWARE\\Orvanta");
inline const QString ProductKey = QStringLiteral("Quandrel");
inline const QString OlderProductKey = QStringLiteral("Pellmark");
inline const QString SettingsGeneration = QStringLiteral("3");
inline const QString OlderSettingsGeneration = QStringLiteral("2");
// The product key is assembled under this name and renamed at the very end.
inline const QString MigrationKey = QStringLiteral("Quandrel~migrating");
} // namespace Startup

// Moves the settings of the older product to this one's key when this product has none yet
// (the older key stays), turning its settings generation "2" into "3" on the way unless a "3"
// exists. Never raises: a failure ends the migration silently, and an interrupted migration
// leaves nothing behind that stops the next start from doing it again.
void MigrateSettingsKey(TSettingsStore& store);
// On the program's store.
void MigrateSettingsKey();

// The store of a normal run: the INI file in the user's configuration folder, or a store in
// memory when the user has no such folder.
std::unique_ptr<TSettingsStore> CreateUserSettingsStore();

// The application object's title and identity, its icon included.
void InitializeApplication(QApplication& application);
// The program's icon: the one the desktop's icon theme installs, else the one built in.
QIcon ProgramIcon();
// "Quandrel.chm" in the program's own folder.
QString HelpFilePath();

// Runs the delivery of one event. An exception that escapes its handler ends the delivery
// (false), is shown in the error box once the event is over, and the program goes on.
bool DeliverEvent(const std::function<bool()>& deliver);
// The error window for an unexpected error: the exception's class name, its message and the stack
// trace (resolved only when shown). While it is open, further errors are not stacked on top of it.
void ShowUnexpectedError(const QString& className, const QString& message,
                         const std::function<QString()>& trace = nullptr);
// What the error window shows of the exception being handled; called only inside a catch.
struct TErrorReport {
    QString ClassName;
    QString Message;
    std::function<QString()> Trace;
};
TErrorReport CurrentErrorReport();
// Shows the exception being handled in the error window at once; called only inside a catch.
void ShowCurrentError();
// The same for an exception of the program's own: its trace is the one of where it was raised.
void ShowUnexpectedException(const class Exception& e);

// Makes the main window (its creation work runs in here), shown by the start-up.
using TMainFormFactory = std::function<std::unique_ptr<QWidget>()>;
// The whole start-up and the message loop; returns the program's exit code. A settings store
// installed beforehand (TSettingsStore::SetApplication) is used as it is; otherwise the user's.
int RunApplication(int& argc, char** argv, const TMainFormFactory& createMainForm);
