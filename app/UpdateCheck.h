#pragma once
// The main window's updater: made with the program's design values (version by number, the
// single-blank restart parameter, English texts, no timer), its boxes shown as the program's
// message boxes, and the time of the last check that found nothing newer kept in the settings.

#include <memory>

class QWidget;
class TupdAutoUpdater;

std::unique_ptr<TupdAutoUpdater> CreateAppUpdater(QWidget* window);
// Tools > Check for Updates: every message box switched on, no wait.
void CheckForUpdatesNow(TupdAutoUpdater& updater);
