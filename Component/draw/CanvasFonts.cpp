#include "Component/draw/CanvasFonts.h"

#include <QHash>
#include <QImage>
#include <QPainter>

#include <cmath>


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
    // Texts are set as plain sequences of glyph advances, without kerning or ligatures: as
    // the drawing was designed, and so that a text's width is the sum of its characters'.
    f.setKerning(false);
    f.setStyleStrategy(QFont::PreferNoShaping);
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

struct TCanvasFontEntry::TText {
    int32_t Width = -1;
    std::unique_ptr<QStaticText> Static;
    bool InkKnown = false;
    std::optional<QRect> Ink;
};

TCanvasFontEntry::TCanvasFontEntry(const TCanvasFont& font)
    : FFont(ToQFont(font)), FMetrics(FFont), FAscent(FMetrics.ascent()), FHeight(FMetrics.height())
{
}

TCanvasFontEntry::~TCanvasFontEntry() = default;

TCanvasFontEntry::TText& TCanvasFontEntry::Find(const QString& text)
{
    auto it = FTexts.find(text);
    if (it != FTexts.end())
        return *it->second;
    // A long session (or a huge tree) must not make the cache grow without end.
    if (FTexts.size() >= 50000)
        FTexts.clear();
    return *FTexts.emplace(text, std::make_unique<TText>()).first->second;
}

int32_t TCanvasFontEntry::AsciiWidth(const QString& text)
{
    if (FAscii == TAscii::Unknown) {
        // Without kerning and shaping a text of these characters advances by the sum of theirs,
        // which the platform rounds once, at the end. The sum is checked against the platform's
        // own measure of a few texts before it is trusted.
        const QFontMetricsF metrics(FFont);
        QString all;
        for (int i = 0; i < 95; ++i) {
            const QChar c(char16_t(0x20 + i));
            FAsciiAdvance[i] = int32_t(std::llround(metrics.horizontalAdvance(QString(c)) * 64));
            all += c;
        }
        FAscii = TAscii::Summed;
        for (const QString& probe : {all, QStringLiteral("Option 1234"), QStringLiteral("-$1,234,567.89 (12.5%)"),
                                     QStringLiteral("W.i,l:l;"), QStringLiteral("  ")})
            if (AsciiWidth(probe) != FMetrics.horizontalAdvance(probe))
                FAscii = TAscii::Measured;
    }
    return SummedTextWidth(text);
}

int32_t TCanvasFontEntry::SummedTextWidth(const QString& text) const
{
    if (FAscii != TAscii::Summed)
        return -1;
    int64_t sum = 0;
    for (const QChar c : text) {
        const unsigned i = unsigned(c.unicode()) - 0x20;
        if (i >= 95)
            return -1;
        sum += FAsciiAdvance[i];
    }
    return int32_t((sum + 32) >> 6);
}

int32_t TCanvasFontEntry::TextWidth(const QString& text)
{
    if (text.isEmpty())
        return 0;
    const int32_t summed = AsciiWidth(text);
    if (summed >= 0)
        return summed;
    TText& t = Find(text);
    if (t.Width < 0)
        t.Width = FMetrics.horizontalAdvance(text);
    return t.Width;
}

const QStaticText& TCanvasFontEntry::StaticText(const QString& text)
{
    TText& t = Find(text);
    if (!t.Static) {
        t.Static = std::make_unique<QStaticText>(text);
        t.Static->setTextFormat(Qt::PlainText);
        t.Static->setPerformanceHint(QStaticText::AggressiveCaching);
        t.Static->prepare(QTransform(), FFont);
    }
    return *t.Static;
}

std::optional<QRect> TCanvasFontEntry::InkBounds(const QString& text)
{
    if (text.isEmpty())
        return QRect();
    TText& t = Find(text);
    if (t.InkKnown)
        return t.Ink;
    const QStaticText& layout = StaticText(text);
    // Drawn once dark on light and once light on dark, so that even the faintest edge pixel
    // shows in one of them; a margin of a line height around the cell takes any overhang.
    const int margin = std::max(FHeight, 1);
    const QSize cell(TextWidth(text), FHeight);
    QRect ink;
    bool touchesEdge = false;
    for (bool dark : {true, false}) {
        QImage scratch(cell.width() + 2 * margin, cell.height() + 2 * margin, QImage::Format_RGB32);
        const QRgb background = dark ? 0xFFFFFFFFu : 0xFF000000u;
        scratch.fill(background);
        {
            QPainter painter(&scratch);
            painter.setRenderHints(QPainter::TextAntialiasing);
            painter.setPen(dark ? Qt::black : Qt::white);
            painter.setFont(FFont);
            painter.drawStaticText(QPoint(margin, margin), layout);
        }
        for (int y = 0; y < scratch.height(); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
            for (int x = 0; x < scratch.width(); ++x) {
                if (row[x] == background)
                    continue;
                ink |= QRect(x - margin, y - margin, 1, 1);
                touchesEdge = touchesEdge || x == 0 || y == 0 || x == scratch.width() - 1 || y == scratch.height() - 1;
            }
        }
    }
    t.InkKnown = true;
    t.Ink = touchesEdge ? std::nullopt : std::optional<QRect>(ink);
    return t.Ink;
}

TCanvasFontEntry& CanvasFontEntry(const TCanvasFont& font)
{
    // Painting runs on the main thread only. A document uses a handful of fonts, so entries
    // are never dropped and references to them stay valid.
    static std::unordered_map<TFontKey, std::unique_ptr<TCanvasFontEntry>, TFontKeyHash> cache;
    static TCanvasFontEntry* last = nullptr;
    static TFontKey lastKey{QString(), 0, -1};
    const int style = StyleBits(font.Style);
    if (last && font.Size == lastKey.Size && style == lastKey.Style && font.Name == lastKey.Name)
        return *last;
    TFontKey key{font.Name, font.Size, style};
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, std::make_unique<TCanvasFontEntry>(font)).first;
    last = it->second.get();
    lastKey = std::move(key);
    return *last;
}
