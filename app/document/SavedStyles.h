#pragma once
// The saved styles of one folder, kept sorted by their names.

#include "app/document/SavedStyle.h"

#include <QString>
#include <memory>
#include <vector>

class TSavedStyles {
public:
    static inline const QString Extension = QStringLiteral(".qdns");

    // Lists every "*.qdns" file of the folder; a missing folder gives an empty list.
    explicit TSavedStyles(QString folder);

    // The file name (without folder and extension) a style of that name is saved under:
    // characters no path may hold become '_', at most 70 characters, "_" when empty.
    static QString FileNameFor(const QString& styleName);

    const QString& Folder() const { return FFolder; }
    // Writes the document as <Folder>/<name>.qdns and lists it. Nothing is listed when the
    // writing fails.
    TSavedStyle* Add(const QString& name, pugi::xml_document& document);
    // The first style whose file name (without folder and extension) equals name, ignoring the
    // case of ASCII letters; none when there is none.
    TSavedStyle* FindByName(const QString& name) const;
    TSavedStyle* Items(int index) const { return FItems.at(index).get(); }
    int Count() const { return int(FItems.size()); }
    // Removes the style from the list and frees it.
    void Remove(TSavedStyle* style);
    // Sorts by name, ignoring the case of ASCII letters; each file is read once.
    void Sort();

private:
    QString FFolder;
    std::vector<std::unique_ptr<TSavedStyle>> FItems;
};
