#include "Component/draw/CanvasFonts.h"

#include <QHash>

#include <cstdlib>
#include <memory>
#include <unordered_map>

QString MapFontFamily(const QString& name)
{
    if (name.compare(QLatin1String("Verdana"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("DejaVu Sans");
    return name;
}

int32_t FontPixelHeight(int32_t points)
{
    constexpr int64_t MaxPixels = 2000;
    int64_t p = points < 0 ? -int64_t(points) : int64_t(points);
    if (p == 0)
        p = 8;
    // Multiply-divide rounding: the nearest integer, an exact half away from zero.
    int64_t pixels = (p * 96 + 36) / 72;
    if (pixels > MaxPixels)
        pixels = MaxPixels;
    return int32_t(pixels < 1 ? 1 : pixels);
}

QFont ToQFont(const TCanvasFont& font)
{
    QFont f(MapFontFamily(font.Name));
    f.setPixelSize(FontPixelHeight(font.Size));
    f.setBold(font.Style.Bold);
    f.setItalic(font.Style.Italic);
    f.setUnderline(font.Style.Underline);
    f.setStrikeOut(font.Style.StrikeOut);
    // Hinting snaps glyphs to the device's pixel grid, which differs between screen, image and
    // printer; without it the advances, and so every measured layout, are the same everywhere.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

namespace {

struct TFontKey {
    QString Name;
    int32_t Size;
    int Style;
    bool operator==(const TFontKey&) const = default;
};

struct TFontKeyHash {
    size_t operator()(const TFontKey& k) const
    {
        return qHash(k.Name) ^ (size_t(k.Size) * 31u) ^ (size_t(k.Style) << 20);
    }
};

int StyleBits(const TFontStyles& s)
{
    return (s.Bold ? 1 : 0) | (s.Italic ? 2 : 0) | (s.Underline ? 4 : 0) | (s.StrikeOut ? 8 : 0);
}

} // namespace

const QFontMetrics& CanvasFontMetrics(const TCanvasFont& font)
{
    // Painting runs on the main thread only; the cache stays small because a document uses a
    // handful of fonts, and is dropped wholesale should a style editor session run it up.
    static std::unordered_map<TFontKey, std::unique_ptr<QFontMetrics>, TFontKeyHash> cache;
    static const QFontMetrics* last = nullptr;
    static TFontKey lastKey{QString(), 0, -1};
    TFontKey key{font.Name, font.Size, StyleBits(font.Style)};
    if (last && key == lastKey)
        return *last;
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() >= 256)
            cache.clear();
        it = cache.emplace(key, std::make_unique<QFontMetrics>(ToQFont(font))).first;
    }
    last = it->second.get();
    lastKey = std::move(key);
    return *last;
}
