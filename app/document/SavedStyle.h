#pragma once
// One saved drawing style: a "*.qdns" file whose root element StyleStates carries the style's
// Name, Description and Author and the four style states. What the menu shows of it is read once
// and kept while the file's modification time and size stay as they were, so a file changed on
// disk shows at the next question; the document itself is read again every time.

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <pugixml.hpp>

class TSavedStyles;

class TSavedStyle {
public:
    // What the menu shows of a style.
    struct TInfo {
        QString Name;
        QString Description;
    };

    TSavedStyle(QString fileName, TSavedStyles& owner) : FFileName(std::move(fileName)), FOwner(owner) {}

    const QString& FileName() const { return FFileName; }
    TSavedStyles& Owner() const { return FOwner; }
    // The file name without folder and extension.
    QString BaseName() const;

    // The root's Name attribute, else the file name without folder and extension. A file that
    // cannot be read is listed under its file name.
    QString GetName() const;
    // The root's Description attribute; empty when there is none or the file cannot be read.
    QString GetDescription() const;
    // Name and description, read again only when the file changed since the last reading.
    TInfo ReadInfo() const;
    // The parsed file; raises IOException "Error loading Style file: ..." when it cannot be read
    // or parsed.
    std::unique_ptr<pugi::xml_document> OpenDocument() const;
    // Creates the file's folder with its missing parents, then writes the document; the file is
    // replaced only once the new content is written whole.
    void Save(pugi::xml_document& document) const;
    // Deletes the file when it exists, then removes this style from its list (which frees it).
    void Delete();

private:
    struct TKeptInfo {
        TInfo Info;
        QDateTime Modified;
        qint64 Size = 0;
    };

    QString FFileName;
    TSavedStyles& FOwner;
    mutable std::optional<TKeptInfo> FKept;
};

// "Error loading Style file: <fileName> (<reason>)": a style that cannot be read, naming its file.
QString StyleLoadError(const QString& fileName, const QString& reason);
// Parses a style or document file; raises IOException "Error loading Style file: ..." when it
// cannot be read, is not well-formed XML, or its styles are nested deeper than MaxStyleXmlDepth.
std::unique_ptr<pugi::xml_document> LoadStyleDocument(const QString& fileName);
// Whether the file is there and is a saved-style file (its root element is StyleStates); only
// such a file may be replaced by an exported style.
bool IsSavedStyleFile(const QString& fileName);
// The bytes of the style file: UTF-8 with its declaration (added or corrected in document),
// indented by two blanks a level unless nested deeper than a style file ever is.
std::string StyleDocumentText(pugi::xml_document& document);
// Writes StyleDocumentText, replacing the file only once the new content is on the disk whole;
// raises IOException "Error saving file: <name> (<the system's reason>)" on failure.
void WriteStyleDocument(pugi::xml_document& document, const QString& fileName);
