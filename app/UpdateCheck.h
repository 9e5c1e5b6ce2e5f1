#pragma once
// The main window's updater: made with the program's design values (version by number, the
// single-blank restart parameter, English texts, no timer), its boxes shown as the program's
// message boxes, and the time of the last check that found nothing newer kept in the settings.

#include <functional>
#include <memory>

class QObject;
class QWidget;
class TupdAutoUpdater;

std::unique_ptr<TupdAutoUpdater> CreateAppUpdater(QWidget* window);
// Tests point the program's updater at a server and a program folder of their own: the hook is
// called on every updater CreateAppUpdater makes, once its design values are set and before the
// start ends installations cut short. Empty: none.
void SetAppUpdaterHook(std::function<void(TupdAutoUpdater&)> hook);
// Tools > Check for Updates: every message box switched on, no wait. A check already under way
// (the start's own) is not started again: it shows its outcome too. showRunning(true) while the
// check runs, showRunning(false) once it has ended, its boxes answered; context bounds the watch.
void CheckForUpdatesNow(TupdAutoUpdater& updater, QObject* context, const std::function<void(bool running)>& showRunning);
