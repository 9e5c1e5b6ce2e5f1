#pragma once
// The update component's three windows, given to a component: the upgrade question, the
// password dialog and the progress wizard. Their texts come from the component's message table;
// whatever the server sent is shown as plain text.

#include <QString>

#include <functional>
#include <memory>

class QDialog;
class QLabel;
class TupdAutoUpdater;
class TupdWizardView;

namespace updDialogs {

// Makes the component ask, request passwords and show its progress with these windows.
void Install(TupdAutoUpdater& updater);

// True when the user confirmed with OK; the edits then become the component's credentials.
bool ShowPasswordDialog(TupdAutoUpdater& updater, const QString& fileName);
// The wizard, shown without waiting; closing it reports to the component.
std::unique_ptr<TupdWizardView> ShowWizard(TupdAutoUpdater& updater);
// True when the user answered Yes.
bool AskUpgrade(const QString& message);

// Runs a modal dialog in place of exec() (tests answer without a nested loop); returns the
// previous hook.
using TExecHook = std::function<int(QDialog* dialog)>;
TExecHook SetExecHook(TExecHook hook);
int Exec(QDialog* dialog);

// The application's title as the windows show it.
QString ApplicationTitle();
// Height a word-wrapped label needs for its width.
int WrappedHeight(const QLabel* label);

} // namespace updDialogs
