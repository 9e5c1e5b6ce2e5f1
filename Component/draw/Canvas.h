#pragma once
// The drawing surface under the tree painter. Its rules are those the drawing was designed
// for: rectangles and ellipses exclude their right and bottom edges, text is placed by the top
// edge of its cell, a dotted pen draws 3 pixels on and 3 off, font sizes are points at 96 dpi.
// Everything that draws the tree goes through this interface, so the same drawing lands on the
// screen, in a picture file or on a printer page, and tests can record it.
//
// Pen, brush and font are plain state; every drawing call reads them as they stand.

#include "shared/core/NullableColor.h"

#include <QImage>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

enum class TPenStyle : uint8_t { Solid, Dot, Clear };
enum class TBrushStyle : uint8_t { Solid, Clear };

struct TCanvasPen {
    TColor Color = 0x00000000;
    // Widths below 1 draw one pixel wide, as the platform's pens do; a pen that must not draw
    // has the style Clear.
    int32_t Width = 1;
    TPenStyle Style = TPenStyle::Solid;
    friend bool operator==(const TCanvasPen&, const TCanvasPen&) = default;
};

struct TCanvasBrush {
    TColor Color = 0x00FFFFFF;
    TBrushStyle Style = TBrushStyle::Solid;
    friend bool operator==(const TCanvasBrush&, const TCanvasBrush&) = default;
};

// The font style set; compared and assigned as one value.
struct TFontStyles {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    friend bool operator==(const TFontStyles&, const TFontStyles&) = default;
};

struct TCanvasFont {
    QString Name = QStringLiteral("Verdana");
    int32_t Size = 8;  // points; see FontPixelHeight
    TFontStyles Style;
    TColor Color = 0x00000000;
    friend bool operator==(const TCanvasFont&, const TCanvasFont&) = default;
};

// A corner of a gradient triangle: its position and a colour of 16 bits a channel (an 8-bit
// channel value c is c × 256). Alpha is carried but not drawn.
struct TTriVertex {
    int32_t X = 0;
    int32_t Y = 0;
    uint16_t Red = 0;
    uint16_t Green = 0;
    uint16_t Blue = 0;
    uint16_t Alpha = 0;
    static TTriVertex FromColor(int32_t x, int32_t y, TColor color);
    friend bool operator==(const TTriVertex&, const TTriVertex&) = default;
};
using TTriangleVertices = std::array<TTriVertex, 3>;

// Lines from one point to each of a run of points that share an x and go down with the index,
// as a node's connectors to its options.
struct TLineFan {
    QPoint From;
    int32_t X = 0;
    int Count = 0;
    std::function<int32_t(int)> Y; // of the index, 0 .. Count - 1; never decreasing
};

class TCanvas {
public:
    TCanvasPen Pen;
    TCanvasBrush Brush;
    TCanvasFont Font;

    TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas();

    // Fills the rectangle with the brush, no outline. A QRect here always means the pixels
    // from x() to x() + width() - 1 and y() to y() + height() - 1.
    virtual void FillRect(const QRect& rect) = 0;
    // Outline with the pen, inside with the brush. With the pen Clear the filled area is one
    // pixel narrower and lower, as the platform does.
    virtual void Rectangle(const QRect& rect) = 0;
    // The ellipse inscribed in the rectangle, with the same edge rules as Rectangle.
    virtual void Ellipse(const QRect& rect) = 0;
    // A closed polygon: outline with the pen, inside with the brush.
    virtual void Polygon(const QPolygon& points) = 0;
    // The current pen position and a line from it to a point, which becomes the position.
    virtual void MoveTo(const QPoint& point);
    virtual void LineTo(const QPoint& point) = 0;
    QPoint PenPos() const { return FPenPos; }
    // The lines of the fan with the pen, one after another, as MoveTo(From) and LineTo each end
    // would, where only the pixels inside the area (none: the whole canvas) need be drawn. False
    // when this canvas draws them no faster than one by one: then nothing is drawn.
    virtual bool LineFan(const TLineFan& fan, const std::optional<QRect>& area);
    // Text with the top-left corner of its cell at (x, y), in the font and its colour. With
    // the brush Solid the cell is first filled with the brush colour; with Clear the
    // background shows through.
    virtual void TextOut(int32_t x, int32_t y, const QString& text) = 0;
    // Text at (x, y) clipped to Clip; with the brush Solid, Clip is first filled.
    virtual void TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text) = 0;
    // A picture with its top-left corner at (x, y), at its own size.
    virtual void Draw(int32_t x, int32_t y, const QImage& image) = 0;
    // Fills a triangle whose colour is blended from its three corners' colours.
    virtual void GradientFillTriangle(const TTriangleVertices& vertices) = 0;

    // Restricts drawing to a rectangle (intersected with the clip already in force) until the
    // matching PopClipRect. Popping more than was pushed raises InvalidOperationException.
    void PushClipRect(const QRect& rect);
    void PopClipRect();
    // The clip in force, none when drawing is not restricted.
    std::optional<QRect> ClipRect() const;
    // False when nothing drawn inside the rectangle could show through the clip; painters use
    // it to skip what lies outside an exposed area.
    bool RectVisible(const QRect& rect) const;

    // Measurement in the current font. Every canvas measures through the same fonts, so a
    // layout measured on one canvas is the layout drawn on any other.
    int32_t TextWidth(const QString& text) const;
    int32_t TextHeight(const QString& text) const;
    QSize TextExtent(const QString& text) const;

protected:
    // Called whenever the clip in force changes; none means unrestricted.
    virtual void ClipChanged(const std::optional<QRect>& clip) = 0;
    QPoint FPenPos;

private:
    std::vector<QRect> FClipStack;
};
