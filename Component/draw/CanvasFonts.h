#pragma once
// How a canvas font becomes a platform font. Sizes are points at 96 dpi turned into a pixel
// size, and hinting is off, so a text measures the same on the screen, in a picture and on a
// printer page. Fonts the system was designed with but Linux lacks map to free look-alikes.

#include "Component/draw/Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QStaticText>

#include <memory>
#include <optional>
#include <unordered_map>

// The family actually used for a font name: "Verdana" becomes "DejaVu Sans"; other names
// pass through (the platform substitutes what it lacks).
QString MapFontFamily(const QString& name);

// The pixel height of a font of that many points at 96 dpi, rounded as the platform's
// multiply-divide does (8 pt is 10.67 and gives 11). 0 and negative sizes are taken by their
// magnitude (0 as the default 8 pt) and the result is kept within 1..2000 pixels.
int32_t FontPixelHeight(int32_t points);

// The platform font and its metrics for a canvas font.
QFont ToQFont(const TCanvasFont& font);

// One platform font with its metrics and the texts already measured and laid out in it, so
// that each distinct text is measured and shaped once however often it is drawn. Entries live
// as long as the program; their text caches are emptied when they grow large.
class TCanvasFontEntry {
public:
    explicit TCanvasFontEntry(const TCanvasFont& font);
    TCanvasFontEntry(const TCanvasFontEntry&) = delete;
    TCanvasFontEntry& operator=(const TCanvasFontEntry&) = delete;
    ~TCanvasFontEntry();

    const QFont& Font() const { return FFont; }
    const QFontMetrics& Metrics() const { return FMetrics; }
    int32_t Ascent() const { return FAscent; }
    // The height of every text's cell.
    int32_t Height() const { return FHeight; }
    int32_t TextWidth(const QString& text);
    // The width of a text of printable ASCII once a TextWidth has found that such texts measure
    // as the sums of their characters' advances; -1 for any other text, or before. It only reads,
    // so other threads may ask it while this one is not measuring.
    int32_t SummedTextWidth(const QString& text) const;
    // The text laid out for drawing with this font.
    const QStaticText& StaticText(const QString& text);
    // The pixels a text drawn from StaticText at (0, 0) with text antialiasing may change on an
    // RGB32 image (an empty rectangle when none), or none when they reach too far to tell.
    std::optional<QRect> InkBounds(const QString& text);

private:
    struct TText;
    TText& Find(const QString& text);
    // The width of a text of printable ASCII as the sum of its characters' advances, or -1 for
    // another text or where the sum is not the platform's measure.
    int32_t AsciiWidth(const QString& text);
    QFont FFont;
    QFontMetrics FMetrics;
    int32_t FAscent;
    int32_t FHeight;
    std::unordered_map<QString, std::unique_ptr<TText>> FTexts;
    // The advance of each printable ASCII character in 1/64 pixels, once known; a tree has tens of
    // thousands of texts (captions, amounts) in a few fonts, most of them seen once.
    enum class TAscii : uint8_t { Unknown, Summed, Measured };
    TAscii FAscii = TAscii::Unknown;
    int32_t FAsciiAdvance[95] = {};
};

// The entry of a canvas font (made on first use; main thread only).
TCanvasFontEntry& CanvasFontEntry(const TCanvasFont& font);
inline const QFontMetrics& CanvasFontMetrics(const TCanvasFont& font) { return CanvasFontEntry(font).Metrics(); }
