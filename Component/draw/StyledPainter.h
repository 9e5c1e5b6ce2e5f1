#pragma once
// Draws the primitive shapes of a decision tree (rectangles, ellipses, left-pointing triangles),
// lines, texts, glyphs, the comment mark and the selection frame, each in the look of a style.
// A tree is drawn in two passes: first only the shadows of the shapes, then everything else,
// so that no shadow ever covers a neighbouring shape. Every operation returns at once in the
// pass in which it draws nothing.
//
// Each drawing operation first resets the canvas (pen and brush solid) and then sets the pen
// and brush values it needs; nothing is restored afterwards.

#include "Component/draw/Canvas.h"
#include "Component/model/Rectangle.h"
#include "shared/core/NullableColor.h"

#include <QImage>
#include <QPoint>
#include <QString>

class TStyle;

// The three-valued text alignment: left-justify puts the text after (or below) the point,
// right-justify before (or above) it, centre on it. Other values are rejected.
enum TAlignment : uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

class TStyledPainter {
public:
    static constexpr int32_t ShadowOffset = 4;
    static constexpr TColor ShadowColor = 0x00606060;
    static constexpr TColor White = 0x00FFFFFF;

    // The canvas is not owned and must outlive the painter.
    explicit TStyledPainter(TCanvas& canvas) : Canvas(&canvas) {}

    TCanvas* Canvas;
    // Set by the owner before each pass; false at creation.
    bool ShadowPass = false;

    // Shadow pass: the shadow. Normal pass: fill (solid, override or vertical gradient) and
    // outline. An override colour, when present, fills solid in place of the background.
    void DrawRectangle(const TStyle& style, const TRectangle& rect, const TNullableColor& override = {});
    // As DrawRectangle; the gradient is a stack of ever smaller, lighter disks shifted to the
    // upper left.
    void DrawEllipse(const TStyle& style, const TRectangle& rect, const TNullableColor& override = {});
    // The end-node symbol, pointing left, shaded by a three-vertex gradient. The height must be
    // odd and greater than 1 (InvalidOperationException otherwise, in either pass, before
    // anything is drawn).
    void DrawTriangle(const TStyle& style, const TRectangle& rect);
    // Normal pass, and only when the line width is not 0.
    void DrawLine(const TStyle& style, const QPoint& from, const QPoint& to);
    // As DrawLine for each line of the fan, where only pixels inside the area need be drawn;
    // false when the canvas cannot take the fan whole (then the caller draws the lines).
    bool DrawLineFan(const TStyle& style, const TLineFan& fan, const std::optional<QRect>& area);
    // Normal pass, one pixel wide and dotted, whatever the line width.
    void DrawDottedLine(const TStyle& style, const QPoint& from, const QPoint& to);
    // Normal pass: Text placed against Point by the two alignments, on a clear background.
    // An alignment outside the three values raises ArgumentOutOfRangeException (the
    // horizontal one is checked first) before anything is written.
    void DrawText(const TStyle& style, const QPoint& point, const QString& text, TAlignment horAlign,
                  TAlignment verAlign);
    // Normal pass: Text with its top-left corner at Point, clipped to Rect.
    void DrawTextRect(const TStyle& style, const TRectangle& rect, const QPoint& point, const QString& text);
    // Normal pass: the picture with its top-left corner at Point.
    void DrawGraphic(const QPoint& point, const QImage& graphic);
    // Normal pass: the red triangle with 6-pixel legs in the top-right corner of Rect, inside
    // an outline of the given width; the mark of a node with a comment.
    void DrawCornerMarker(const TRectangle& rect, int32_t lineWidth);
    // Either pass: a blue dotted frame along Rect.
    void DrawSelectionRect(const TRectangle& rect);
    // Puts the style's font onto the canvas.
    void ApplyFont(const TStyle& style);

private:
    void ResetCanvas();
    void FillTriangle(const TRectangle& rect, TColor c0, TColor c1, TColor c2);
};
