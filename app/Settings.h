#pragma once
// The per-user settings. Each user of them makes a fresh object (which reads every value),
// changes what it needs, saves and drops it; there is no shared instance, and two alive at once
// would overwrite each other's values on save.

#include "app/MarginsRect.h"
#include "shared/core/DateTime.h"

#include <QString>

class TSettingsStore;

class TSettings {
public:
    // The program's settings key; the recent-file list lives below it too.
    static const QString RegistryKey;
    static constexpr TMarginsRect DefaultPageMargins = TMarginsRect::Make(1000, 1000, 1000, 1000);

    // Reads from the program's store (TSettingsStore::Application()).
    TSettings();
    explicit TSettings(TSettingsStore& store);

    // Each value that is missing, or stored with another kind or size, gets its default.
    void LoadSettings();
    // Writes all five values, changed or not; raises IOException when the store cannot keep them.
    void SaveSettings();

    // Set once the user has answered the first-run question or confirmed the options dialog.
    bool AutoUpdateConfigured = false;
    // The user's permission for automatic update checks.
    bool CanCheckForAutoUpdate = false;
    // The last check that found no newer version.
    DateTime LastUpdateCheck;
    // The print layout last used.
    TMarginsRect PageMargins = DefaultPageMargins;
    bool Landscape = false;

private:
    TSettingsStore& FStore;
};
