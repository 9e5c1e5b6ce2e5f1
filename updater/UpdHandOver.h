#pragma once
// Where downloaded files go and how the work is handed to the installer program: targets named
// by the update server are confined to the program's folder, and the installer and its queue
// are written into a private folder made for this one hand-over.

#include "updater/installer/UpdInstallation.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace updHandOver {

using updInstall::InstallerName;
using updInstall::QueueName;
using updInstall::TempSuffix;

// The full local name for a file entry's URL and target (empty target: the URL's file name in
// the program folder; a bare name: in the program folder; "%current%" is the program folder).
// Empty when the result would lie outside the program folder: absolute targets, "..", empty
// names and folder macros that lead elsewhere are refused.
QString ResolveTarget(const QString& url, const QString& target, const QString& programFolder);
// Whether a resolved target stays in the folder once symbolic links are followed (see
// updInstall::Confined); why says what when it does not.
bool Confined(const QString& target, const QString& folder, QString& why);

// Whether the user may replace files in the program's folder (not so for a system-wide install).
bool FolderWritable(const QString& programFolder);

// The installer program's bytes.
QByteArrayView InstallerImage();

struct TPrepared {
    QString Folder;
    QString Installer;
    QString Queue;
    // Held from the folder's making until the installer takes it over, so that no start of the
    // program takes the folder for one left behind.
    updInstall::TFolderLock Hold;
};

// Makes a private folder (mode 0700, unpredictable name) in the temporary folder, and holds it.
bool MakePrivateFolder(TPrepared& prepared, QString& error);
// Writes the installer (executable, created exclusively) and the queue (one target per line,
// CR LF) into the private folder, made first unless prepared names one, each with every byte on
// the disk. Answers false with the reason, leaving nothing behind.
bool Prepare(const QStringList& targets, TPrepared& prepared, QString& error);
// Writes the targets whose downloads into the program folder have begun (one a line, CR LF) into
// the private folder, before a download's file is made: whatever a program that ends before its
// hand-over leaves there goes at a later start (see updInstall::RecoverAll).
bool RecordDownloads(const TPrepared& prepared, const QStringList& targets, QString& error);
// Removes the private folder and everything in it.
void RemoveFolder(const TPrepared& prepared);

// The installer's argument vector; method 0 replaces files, 1 runs a setup program.
QStringList InstallerArguments(const QString& programFile, const QString& restartParameter, const QString& queue,
                               qint64 processId, int method);
// Starts the installer detached; answers false with the reason when it could not be started.
bool StartDetached(const QString& installer, const QStringList& arguments, QString& error);

// Ends every installation of the program folder that was cut short (when no installer is at
// work on it), so that the folder holds one whole version, and removes what an installer or a
// program left behind that no journal claims. Answers what the user is to be told: updates that
// did not complete, installations that could not be ended (the next start tries again), and
// journals that cannot be trusted (told once, then left to the user).
QStringList RecoverInterrupted(const QString& programFolder);

} // namespace updHandOver
