#include "app/document/SavedStyle.h"

#include "Component/styles/StyleTreeSerializer.h"
#include "app/document/SavedStyles.h"
#include "shared/core/Directory.h"
#include "shared/core/Exceptions.h"
#include "shared/core/Path.h"

#include <QFile>
#include <QSaveFile>

#include <string>

namespace {

QString LoadError(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Error loading Style file: %1 (%2)").arg(fileName, reason);
}

struct TStringWriter : pugi::xml_writer {
    std::string Text;
    void write(const void* data, size_t size) override { Text.append(static_cast<const char*>(data), size); }
};

} // namespace

std::unique_ptr<pugi::xml_document> LoadStyleDocument(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw IOException(LoadError(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    auto document = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result parsed = document->load_buffer(
        bytes.constData(), size_t(bytes.size()), StyleXmlParseOptions | pugi::parse_comments | pugi::parse_declaration);
    if (!parsed)
        throw IOException(
            LoadError(fileName, QStringLiteral("%1 at byte %2").arg(QString::fromUtf8(parsed.description())).arg(parsed.offset)));
    return document;
}

void WriteStyleDocument(pugi::xml_document& document, const QString& fileName)
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
    document.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(writer.Text.data(), qint64(writer.Text.size())) != qint64(writer.Text.size())
        || !file.commit())
        throw IOException(QStringLiteral("Error saving file: %1 (%2)").arg(fileName, file.errorString()));
}

QString TSavedStyle::BaseName() const
{
    return Path::GetFileNameWithoutExtension(FFileName);
}

TSavedStyle::TInfo TSavedStyle::ReadInfo() const
{
    std::unique_ptr<pugi::xml_document> document;
    try {
        document = OpenDocument();
    } catch (const Exception&) {
        return {BaseName(), QString()};
    }
    const pugi::xml_node root = document->document_element();
    const pugi::xml_attribute name = root.attribute("Name");
    return {name ? QString::fromUtf8(name.value()) : BaseName(), QString::fromUtf8(root.attribute("Description").value())};
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
    Directory::CreateDirectory(Path::GetDirectoryName(FFileName));
    WriteStyleDocument(document, FFileName);
}

void TSavedStyle::Delete()
{
    if (QFile::exists(FFileName) && !QFile::remove(FFileName))
        throw IOException(QStringLiteral("Could not delete %1").arg(FFileName));
    FOwner.Remove(this); // frees this object
}
