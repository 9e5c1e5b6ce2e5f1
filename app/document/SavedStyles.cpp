#include "app/document/SavedStyles.h"

#include "shared/core/Directory.h"
#include "shared/core/Path.h"
#include "shared/core/StringHelpers.h"

#include <algorithm>

namespace {

// Upper-cases the ASCII letters only, so names compare the same whatever the locale.
QString AsciiUpper(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    return result;
}

} // namespace

TSavedStyles::TSavedStyles(QString folder) : FFolder(std::move(folder))
{
    if (!FFolder.isEmpty())
        for (const QString& fileName : Directory::GetFiles(FFolder, QStringLiteral("*") + Extension))
            FItems.push_back(std::make_unique<TSavedStyle>(fileName, *this));
    Sort();
}

QString TSavedStyles::FileNameFor(const QString& styleName)
{
    return SanitizeFileName(styleName);
}

TSavedStyle* TSavedStyles::Add(const QString& name, pugi::xml_document& document)
{
    auto style = std::make_unique<TSavedStyle>(Path::Combine(FFolder, name + Extension), *this);
    style->Save(document);
    TSavedStyle* added = style.get();
    FItems.push_back(std::move(style));
    Sort();
    return added;
}

TSavedStyle* TSavedStyles::FindByName(const QString& name) const
{
    const QString wanted = AsciiUpper(name);
    for (const auto& style : FItems)
        if (AsciiUpper(style->BaseName()) == wanted)
            return style.get();
    return nullptr;
}

void TSavedStyles::Remove(TSavedStyle* style)
{
    const auto it = std::find_if(FItems.begin(), FItems.end(), [style](const auto& item) { return item.get() == style; });
    if (it != FItems.end())
        FItems.erase(it);
}

void TSavedStyles::Sort()
{
    // Each file is read once here, not once per comparison.
    std::vector<std::pair<QString, std::unique_ptr<TSavedStyle>>> keyed;
    keyed.reserve(FItems.size());
    for (auto& style : FItems) {
        QString key = AsciiUpper(style->GetName());
        keyed.emplace_back(std::move(key), std::move(style));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i)
        FItems[i] = std::move(keyed[i].second);
}
