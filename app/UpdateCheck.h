#pragma once
// The main window's updater: made with the program's design values (version by number, the
// single-blank restart parameter, English texts, no timer), its boxes shown as the program's
// message boxes, and the time of the last check that found nothing newer kept in the settings.

#include <functional>
#include <memory>

class QWidget;
class TupdAutoUpdater;

std::unique_ptr<TupdAutoUpdater> CreateAppUpdater(QWidget* window);
// Tests point the program's updater at a server and a program folder of their own: the hook is
// called on every updater CreateAppUpdater makes, once its design values are set and before the
// start ends installations cut short. Empty: none.
void SetAppUpdaterHook(std::function<void(TupdAutoUpdater&)> hook);
// Tools > Check for Updates: every message box switched on, no wait.
void CheckForUpdatesNow(TupdAutoUpdater& updater);
