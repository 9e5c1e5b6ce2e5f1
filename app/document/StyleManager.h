#pragma once
// The two folders of saved styles: the ones shipped with the program and the user's own.

#include "app/document/SavedStyles.h"

#include <QString>

class TStyleManager {
public:
    // Both folders are read once, here.
    TStyleManager(const QString& shippedFolder, const QString& userFolder);

    TSavedStyles& ShippedStyles() { return FShipped; }
    TSavedStyles& UserStyles() { return FUser; }

    // "Styles" beside the program when it runs from its build tree, else the installed
    // <prefix>/share/quandrel/Styles.
    static QString DefaultShippedFolder();
    // The user's data folder (XDG) combined with the '/'-separated sub-path.
    static QString DefaultUserFolder(const QString& userSubPath = QStringLiteral("Orvanta/Quandrel/Styles"));

private:
    TSavedStyles FShipped;
    TSavedStyles FUser;
};
