#include "app/document/SavedStyle.h"

#include "Component/styles/StyleTreeSerializer.h"
#include "app/document/SavedStyles.h"
#include "shared/core/CheckedSaveFile.h"
#include "shared/core/Directory.h"
#include "shared/core/Exceptions.h"
#include "shared/core/Path.h"
#include "shared/core/SystemErrors.h"
#include "shared/core/Utf8Check.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <string>
#include <string_view>

namespace {

struct TStringWriter : pugi::xml_writer {
    std::string Text;
    void write(const void* data, size_t size) override { Text.append(static_cast<const char*>(data), size); }
};

} // namespace

QString StyleLoadError(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Error loading Style file: %1 (%2)").arg(fileName, reason);
}

std::unique_ptr<pugi::xml_document> LoadStyleDocument(const QString& fileName)
{
    // A folder, a device or a pipe would be read for ever or block; it is no style file.
    const QString notAFile = SystemErrors::NotARegularFile(fileName);
    if (!notAFile.isEmpty())
        throw IOException(StyleLoadError(fileName, notAFile));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw IOException(StyleLoadError(fileName, SystemErrors::ReasonFor(file)));
    const QByteArray bytes = file.readAll();
    // Malformed text would be replaced on reading and the replacement written back on the next save.
    const std::string_view text(bytes.constData(), size_t(bytes.size()));
    if (TUtf8Check::ReadAsUtf8(text.substr(0, 1024))) {
        TUtf8Check check;
        if (!check.Feed(text.data(), text.size()) || !check.Finish())
            throw IOException(StyleLoadError(fileName, check.ErrorMessage()));
    }
    auto document = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result parsed = document->load_buffer(
        bytes.constData(), size_t(bytes.size()), StyleXmlParseOptions | pugi::parse_comments | pugi::parse_declaration);
    if (!parsed)
        throw IOException(
            StyleLoadError(fileName, QStringLiteral("%1 at byte %2").arg(QString::fromUtf8(parsed.description())).arg(parsed.offset)));
    // A document's own tree may nest deeply; its styles, like a style file, never do.
    const pugi::xml_node root = document->document_element();
    const pugi::xml_node styles = std::string_view(root.name()) == "Tree" ? root.child("StyleStates") : root;
    if (XmlDepth(styles, MaxStyleXmlDepth) > MaxStyleXmlDepth)
        throw IOException(StyleLoadError(fileName, QStringLiteral("the styles are nested deeper than %1 levels, which no "
                                                             "style file needs")
                                                  .arg(MaxStyleXmlDepth)));
    return document;
}

std::string StyleDocumentText(pugi::xml_document& document)
{
    // The file is always UTF-8, so its declaration says so.
    pugi::xml_node declaration = document.first_child();
    if (declaration.type() != pugi::node_declaration) {
        declaration = document.prepend_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
    }
    if (!declaration.attribute("encoding"))
        declaration.append_attribute("encoding");
    declaration.attribute("encoding") = "UTF-8";

    TStringWriter writer;
    const bool indented = XmlDepth(document, MaxStyleXmlDepth) <= MaxStyleXmlDepth;
    document.save(writer, "  ", indented ? pugi::format_indent : pugi::format_raw, pugi::encoding_utf8);
    return std::move(writer.Text);
}

void WriteStyleDocument(pugi::xml_document& document, const QString& fileName)
{
    const QString reason = WriteWholeFile(fileName, StyleDocumentText(document));
    if (!reason.isEmpty())
        throw IOException(QStringLiteral("Error saving file: %1 (%2)").arg(fileName, reason));
}

bool IsSavedStyleFile(const QString& fileName)
{
    if (SystemErrors::KindOf(fileName) != SystemErrors::TPathKind::RegularFile)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Only as far as the root element: whatever follows does not change what the file is.
    QXmlStreamReader reader(&file);
    return reader.readNextStartElement() && reader.name() == QLatin1String("StyleStates");
}

QString TSavedStyle::BaseName() const
{
    return Path::GetFileNameWithoutExtension(FFileName);
}

TSavedStyle::TInfo TSavedStyle::ReadInfo() const
{
    const QFileInfo file(FFileName);
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    if (FKept && file.exists() && FKept->Modified == modified && FKept->Size == file.size())
        return FKept->Info;
    FKept.reset();
    std::unique_ptr<pugi::xml_document> document;
    try {
        document = OpenDocument();
    } catch (const Exception&) {
        return {BaseName(), QString()};
    }
    const pugi::xml_node root = document->document_element();
    const pugi::xml_attribute name = root.attribute("Name");
    const TInfo info{name ? QString::fromUtf8(name.value()) : BaseName(), QString::fromUtf8(root.attribute("Description").value())};
    FKept = TKeptInfo{info, modified, file.size()};
    return info;
}

QString TSavedStyle::GetName() const
{
    return ReadInfo().Name;
}

QString TSavedStyle::GetDescription() const
{
    return ReadInfo().Description;
}

std::unique_ptr<pugi::xml_document> TSavedStyle::OpenDocument() const
{
    return LoadStyleDocument(FFileName);
}

void TSavedStyle::Save(pugi::xml_document& document) const
{
    // Written twice within the clock's step, the file could keep its time and size.
    FKept.reset();
    Directory::CreateDirectory(Path::GetDirectoryName(FFileName));
    WriteStyleDocument(document, FFileName);
}

void TSavedStyle::Delete()
{
    if (QFile::exists(FFileName) && !QFile::remove(FFileName))
        throw IOException(QStringLiteral("Could not delete %1").arg(FFileName));
    FOwner.Remove(this); // frees this object
}
