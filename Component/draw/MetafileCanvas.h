#pragma once
// A canvas that writes what is drawn on it as a Windows metafile: an enhanced metafile (EMF,
// 32-bit coordinates, always at full size) or a placeable Windows metafile (WMF, 16-bit
// coordinates). A drawing too large for WMF's coordinates is written at one uniform scale that
// fits, so its proportions stay and nothing wraps.
//
// The common readers on Linux draw neither EMF's gradient fill nor anything like it in WMF, so
// gradient triangles are written as flat-coloured bands fine enough to look like the gradient.
// Pens, brushes and fonts are kept as metafile objects and reused while they are in use.

#include "Component/draw/Canvas.h"

#include <QByteArray>

#include <memory>

enum class TMetafileKind : uint8_t { Enhanced, Windows };

class TMetafileCanvas final : public TCanvas {
public:
    // WMF coordinates are signed 16-bit.
    static constexpr int32_t WmfMaxCoordinate = 32767;

    // A picture of width x height pixels (at 96 dpi). Sizes below 1 are taken as 1.
    TMetafileCanvas(int32_t width, int32_t height, TMetafileKind kind);
    ~TMetafileCanvas() override;

    // The scale from canvas pixels to the file's units: 1 for EMF and for WMF pictures whose
    // sides fit into WmfMaxCoordinate, below 1 otherwise.
    double Scale() const;
    // Completes the metafile and gives the whole file. The canvas must not draw afterwards.
    QByteArray Finish();

    void FillRect(const QRect& rect) override;
    void Rectangle(const QRect& rect) override;
    void Ellipse(const QRect& rect) override;
    void Polygon(const QPolygon& points) override;
    void LineTo(const QPoint& point) override;
    void TextOut(int32_t x, int32_t y, const QString& text) override;
    void TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text) override;
    void Draw(int32_t x, int32_t y, const QImage& image) override;
    void GradientFillTriangle(const TTriangleVertices& vertices) override;

protected:
    void ClipChanged(const std::optional<QRect>& clip) override;

private:
    class TWriter;
    std::unique_ptr<TWriter> FWriter;
    // Rows of a gradient come as one filled rectangle each; rows of one width that follow each
    // other with nearly the same colour are written as one band of their mean colour.
    struct TPendingFill {
        QRect Rect;
        TColor First = 0;
        int64_t Sum[3] = {0, 0, 0};
        int64_t Rows = 0;
    };
    std::optional<TPendingFill> FPending;
    void Flush();
    void WriteFill(const QRect& rect, TColor color);
    // A rectangle or an ellipse in the bounds of rect, outlined with the pen and filled with the
    // brush; an empty rect draws nothing.
    void OutlinedShape(uint32_t emfType, uint16_t wmfFunction, const QRect& rect);
};
