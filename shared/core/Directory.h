#pragma once
// Folder creation and listing.

#include "shared/core/Path.h"

class Directory {
public:
    // Creates the folder and every missing parent; raises IOException "Could not create " + path.
    static void CreateDirectory(const QString& path);
    // The plain files (no folders, no hidden files) in path whose names match searchPattern
    // ('*' any run of characters, '?' one character), each as Path::Combine(path, name), in the
    // order the file system lists them. Names that are not valid UTF-8 cannot be represented as
    // text and are skipped. A folder that cannot be read gives an empty list.
    // Raises ArgumentNullException "Path" / "SearchPattern" for a null or empty argument.
    static TDynStringArray GetFiles(const QString& path, const QString& searchPattern);

    Directory() = delete;
};

// Whether name matches pattern, where '*' stands for any run of characters and '?' for one.
bool MatchesFilePattern(const QString& name, const QString& pattern);
