#include "Component/draw/MetafileCanvas.h"

#include "Component/draw/CanvasFonts.h"
#include "Component/draw/WindowsCharsets.h"
#include "shared/core/Colors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPointF>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Record types of the enhanced format.
constexpr uint32_t
    EMR_HEADER = 1, EMR_POLYGON = 3, EMR_EOF = 14, EMR_SETBKMODE = 18, EMR_SETPOLYFILLMODE = 19,
    EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_MOVETOEX = 27, EMR_INTERSECTCLIPRECT = 30,
    EMR_SAVEDC = 33, EMR_RESTOREDC = 34, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ELLIPSE = 42, EMR_RECTANGLE = 43,
    EMR_LINETO = 54, EMR_STRETCHDIBITS = 81, EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTW = 84,
    EMR_POLYGON16 = 86;

// Record functions of the Windows format.
constexpr uint32_t
    META_EOF = 0x0000, META_SAVEDC = 0x001E, META_SETBKMODE = 0x0102, META_SETMAPMODE = 0x0103,
    META_SETPOLYFILLMODE = 0x0106, META_RESTOREDC = 0x0127, META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E, META_DELETEOBJECT = 0x01F0, META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C, META_LINETO = 0x0213, META_MOVETO = 0x0214,
    META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324, META_ELLIPSE = 0x0418, META_INTERSECTCLIPRECT = 0x0416, META_RECTANGLE = 0x041B,
    META_POLYPOLYGON = 0x0538, META_EXTTEXTOUT = 0x0A32, META_STRETCHDIB = 0x0F43;

constexpr uint32_t PS_SOLID = 0, PS_DOT = 2, PS_NULL = 5;
constexpr uint32_t BS_SOLID = 0, BS_NULL = 1;
constexpr uint32_t TRANSPARENT = 1, ALTERNATE = 1, WINDING = 2, MM_ANISOTROPIC = 8, ETO_CLIPPED = 4;
constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint32_t SRCCOPY = 0x00CC0020;
// Objects kept alive at once; the least recently used one not in use makes room.
constexpr size_t MaxLiveObjects = 64;

// Little-endian parameter bytes of one record.
struct TBytes {
    QByteArray B;
    void U8(uint8_t v) { B.append(char(v)); }
    void U16(uint16_t v) { U8(uint8_t(v)), U8(uint8_t(v >> 8)); }
    void I16(int32_t v) { U16(uint16_t(int16_t(std::clamp(v, -32768, 32767)))); }
    void U32(uint32_t v) { U16(uint16_t(v)), U16(uint16_t(v >> 16)); }
    void I32(int32_t v) { U32(uint32_t(v)); }
    void F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Pad(int to) { while (B.size() % to) U8(0); }
};

enum TObjectKind { okPen, okBrush, okFont, okKinds };

struct TObject {
    TObjectKind Kind = okPen;
    QByteArray Key;
    uint64_t LastUse = 0;
    bool Live = false;
};

struct TSelection {
    std::array<int, okKinds> Slot{-1, -1, -1};
    std::optional<TColor> TextColor;
};

} // namespace

class TMetafileCanvas::TWriter {
public:
    TWriter(int32_t width, int32_t height, TMetafileKind kind) : Kind(kind), Width(width), Height(height)
    {
        const int32_t longest = std::max(width, height);
        if (kind == TMetafileKind::Windows && longest > WmfMaxCoordinate)
            ScaleFactor = double(WmfMaxCoordinate) / longest;
        if (Emf()) {
            Record(EMR_SETBKMODE, Params([](TBytes& p) { p.U32(TRANSPARENT); }));
            Record(EMR_SETPOLYFILLMODE, Params([](TBytes& p) { p.U32(ALTERNATE); }));
            Record(EMR_SETTEXTALIGN, Params([](TBytes& p) { p.U32(0); }));
        } else {
            Record(META_SETMAPMODE, Params([](TBytes& p) { p.U16(MM_ANISOTROPIC); }));
            Record(META_SETWINDOWORG, Params([](TBytes& p) { p.I16(0), p.I16(0); }));
            Record(META_SETWINDOWEXT, Params([&](TBytes& p) { p.I16(ScaledHeight()), p.I16(ScaledWidth()); }));
            Record(META_SETBKMODE, Params([](TBytes& p) { p.U16(TRANSPARENT); }));
            Record(META_SETPOLYFILLMODE, Params([](TBytes& p) { p.U16(ALTERNATE); }));
            Record(META_SETTEXTALIGN, Params([](TBytes& p) { p.U16(0); }));
        }
    }

    const TMetafileKind Kind;
    const int32_t Width, Height;
    double ScaleFactor = 1.0;
    QByteArray Records;
    uint32_t RecordCount = 0;
    uint32_t MaxRecordWords = 0;
    std::vector<TObject> Objects;
    size_t LiveObjects = 0;
    size_t MostObjects = 0;
    uint64_t UseClock = 0;
    TSelection Current;
    // What a RESTOREDC brings back; its objects must live until then.
    std::optional<TSelection> Saved;
    QPoint Position;
    bool PositionKnown = false;

    bool Emf() const { return Kind == TMetafileKind::Enhanced; }
    int32_t ScaledWidth() const { return std::max(1, X(Width)); }
    int32_t ScaledHeight() const { return std::max(1, X(Height)); }

    // A canvas coordinate in the file's units.
    int32_t X(int64_t v) const
    {
        if (Emf())
            return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
        return int32_t(std::clamp<double>(std::nearbyint(double(v) * ScaleFactor), -32768, 32767));
    }
    int32_t XF(double v) const
    {
        const double scaled = std::nearbyint(v * (Emf() ? 1.0 : ScaleFactor));
        return int32_t(std::clamp<double>(scaled, Emf() ? INT32_MIN : -32768, Emf() ? INT32_MAX : 32767));
    }
    // A length (a font height) in the file's units, at least 1.
    int32_t Length(int32_t v) const { return std::max(1, X(v)); }
    // A pen's width in the file's units, in proportion to the drawing even where it is scaled
    // down: a pen narrower than half a unit is written 0 wide, which readers draw one device
    // pixel wide, as the canvas draws its thinnest pens. Canvas widths below 1 draw 1 wide.
    int32_t PenWidth(int32_t canvasWidth) const
    {
        const int32_t width = std::clamp(canvasWidth, 1, 1000);
        return Emf() ? width : int32_t(std::nearbyint(width * ScaleFactor));
    }

    template <typename F>
    static QByteArray Params(F&& fill)
    {
        TBytes p;
        fill(p);
        return p.B;
    }

    void Record(uint32_t type, QByteArray params)
    {
        TBytes r;
        if (Emf()) {
            while (params.size() % 4)
                params.append('\0');
            r.U32(type);
            r.U32(uint32_t(8 + params.size()));
        } else {
            if (params.size() % 2)
                params.append('\0');
            const uint32_t words = uint32_t(3 + params.size() / 2);
            MaxRecordWords = std::max(MaxRecordWords, words);
            r.U32(words);
            r.U16(uint16_t(type));
        }
        Records.append(r.B);
        Records.append(params);
        ++RecordCount;
    }

    // ---- Objects ----
    int FileIndex(int slot) const { return Emf() ? slot + 1 : slot; }

    bool InUse(int slot) const
    {
        for (const int s : Current.Slot)
            if (s == slot)
                return true;
        if (Saved)
            for (const int s : Saved->Slot)
                if (s == slot)
                    return true;
        return false;
    }

    void Delete(int slot)
    {
        Record(Emf() ? EMR_DELETEOBJECT : META_DELETEOBJECT, Params([&](TBytes& p) {
                   if (Emf())
                       p.U32(uint32_t(FileIndex(slot)));
                   else
                       p.U16(uint16_t(FileIndex(slot)));
               }));
        Objects[size_t(slot)].Live = false;
        --LiveObjects;
    }

    // Selects the object of that kind and key, creating it (with `create`, which gets the
    // file's index) when it is not alive.
    template <typename Create>
    void Use(TObjectKind kind, const QByteArray& key, Create&& create)
    {
        int slot = -1;
        for (size_t i = 0; i < Objects.size(); ++i)
            if (Objects[i].Live && Objects[i].Kind == kind && Objects[i].Key == key) {
                slot = int(i);
                break;
            }
        if (slot < 0) {
            if (LiveObjects >= MaxLiveObjects) {
                int oldest = -1;
                for (size_t i = 0; i < Objects.size(); ++i)
                    if (Objects[i].Live && !InUse(int(i)) &&
                        (oldest < 0 || Objects[i].LastUse < Objects[size_t(oldest)].LastUse))
                        oldest = int(i);
                if (oldest >= 0)
                    Delete(oldest);
            }
            // The Windows format places a new object in the lowest free slot; both formats do.
            for (size_t i = 0; i < Objects.size() && slot < 0; ++i)
                if (!Objects[i].Live)
                    slot = int(i);
            if (slot < 0) {
                slot = int(Objects.size());
                Objects.emplace_back();
            }
            Objects[size_t(slot)] = TObject{kind, key, 0, true};
            ++LiveObjects;
            MostObjects = std::max(MostObjects, Objects.size());
            create(FileIndex(slot));
        }
        Objects[size_t(slot)].LastUse = ++UseClock;
        if (Current.Slot[kind] != slot) {
            Record(Emf() ? EMR_SELECTOBJECT : META_SELECTOBJECT, Params([&](TBytes& p) {
                       if (Emf())
                           p.U32(uint32_t(FileIndex(slot)));
                       else
                           p.U16(uint16_t(FileIndex(slot)));
                   }));
            Current.Slot[kind] = slot;
        }
    }

    // The enhanced format's stock objects; readers know its empty pen and brush better than
    // made ones.
    static constexpr uint32_t NullBrushStock = 0x80000005, NullPenStock = 0x80000008;
    void UseStock(TObjectKind kind, uint32_t stock)
    {
        const int slot = -int(stock & 0xFF) - 2;
        if (Current.Slot[kind] == slot)
            return;
        Record(EMR_SELECTOBJECT, Params([&](TBytes& p) { p.U32(stock); }));
        Current.Slot[kind] = slot;
    }

    void UsePen(const TCanvasPen& pen)
    {
        const uint32_t style = pen.Style == TPenStyle::Clear ? PS_NULL : pen.Style == TPenStyle::Dot ? PS_DOT : PS_SOLID;
        if (style == PS_NULL && Emf())
            return UseStock(okPen, NullPenStock);
        const int32_t width = style == PS_NULL ? 0 : PenWidth(pen.Width);
        const TColor color = style == PS_NULL ? 0 : pen.Color;
        const QByteArray key = Params([&](TBytes& p) { p.U32(style), p.I32(width), p.U32(color); });
        Use(okPen, key, [&](int index) {
            if (Emf())
                Record(EMR_CREATEPEN, Params([&](TBytes& p) {
                           p.U32(uint32_t(index)), p.U32(style), p.I32(width), p.I32(0), p.U32(color);
                       }));
            else
                Record(META_CREATEPENINDIRECT, Params([&](TBytes& p) {
                           p.U16(uint16_t(style)), p.I16(width), p.I16(0), p.U32(color);
                       }));
        });
    }

    void UseBrush(bool solid, TColor color)
    {
        const uint32_t style = solid ? BS_SOLID : BS_NULL;
        if (!solid && Emf())
            return UseStock(okBrush, NullBrushStock);
        if (!solid)
            color = 0;
        const QByteArray key = Params([&](TBytes& p) { p.U32(style), p.U32(color); });
        Use(okBrush, key, [&](int index) {
            if (Emf())
                Record(EMR_CREATEBRUSHINDIRECT, Params([&](TBytes& p) {
                           p.U32(uint32_t(index)), p.U32(style), p.U32(color), p.U32(0);
                       }));
            else
                Record(META_CREATEBRUSHINDIRECT, Params([&](TBytes& p) {
                           p.U16(uint16_t(style)), p.U32(color), p.U16(0);
                       }));
        });
    }

    // The font in a character set: the enhanced format's text is Unicode and takes the default.
    void UseFont(const TCanvasFont& font, uint8_t charset = DEFAULT_CHARSET)
    {
        const QString face = MapFontFamily(font.Name).left(31);
        const int32_t height = -Length(FontPixelHeight(font.Size));
        const uint16_t weight = font.Style.Bold ? 700 : 400;
        const QByteArray key = Params([&](TBytes& p) {
            p.I32(height), p.U16(weight), p.U8(font.Style.Italic), p.U8(font.Style.Underline),
                p.U8(font.Style.StrikeOut), p.U8(charset);
            p.B.append(face.toUtf8());
        });
        Use(okFont, key, [&](int index) {
            auto logFont = [&](TBytes& p, bool wide) {
                auto num = [&](int32_t v) { wide ? p.I32(v) : p.I16(v); };
                num(height), num(0), num(0), num(0), num(weight);
                p.U8(font.Style.Italic), p.U8(font.Style.Underline), p.U8(font.Style.StrikeOut);
                // Default precisions, antialiased quality.
                p.U8(charset), p.U8(0), p.U8(0), p.U8(4), p.U8(0);
                for (int i = 0; i < 32; ++i) {
                    const ushort c = i < face.size() ? face.at(i).unicode() : 0;
                    if (wide)
                        p.U16(c);
                    else
                        p.U8(c < 256 ? uint8_t(c) : uint8_t('?'));
                }
            };
            if (Emf())
                Record(EMR_EXTCREATEFONTINDIRECTW, Params([&](TBytes& p) {
                           p.U32(uint32_t(index));
                           logFont(p, true);
                       }));
            else
                Record(META_CREATEFONTINDIRECT, Params([&](TBytes& p) { logFont(p, false); }));
        });
    }

    void UseTextColor(TColor color)
    {
        if (Current.TextColor == color)
            return;
        Record(Emf() ? EMR_SETTEXTCOLOR : META_SETTEXTCOLOR, Params([&](TBytes& p) { p.U32(color); }));
        Current.TextColor = color;
    }

    // ---- Drawing records ----
    // A rectangle or an ellipse with its right and bottom edges excluded, in canvas pixels.
    void Box(uint32_t emfType, uint16_t wmfFunction, int64_t left, int64_t top, int64_t right, int64_t bottom)
    {
        if (Emf())
            Record(emfType, Params([&](TBytes& p) { p.I32(X(left)), p.I32(X(top)), p.I32(X(right)), p.I32(X(bottom)); }));
        else
            Record(wmfFunction,
                   Params([&](TBytes& p) { p.I16(X(bottom)), p.I16(X(right)), p.I16(X(top)), p.I16(X(left)); }));
    }

    void PolygonRecord(const std::vector<QPoint>& points)
    {
        if (points.size() < 2)
            return;
        if (!Emf()) {
            Record(META_POLYGON, Params([&](TBytes& p) {
                       p.I16(int32_t(std::min<size_t>(points.size(), 32767)));
                       for (size_t i = 0; i < points.size() && i < 32767; ++i)
                           p.I16(points[i].x()), p.I16(points[i].y());
                   }));
            return;
        }
        int32_t l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
        for (const QPoint& q : points) {
            l = std::min(l, q.x()), t = std::min(t, q.y());
            r = std::max(r, q.x()), b = std::max(b, q.y());
        }
        const bool small = l >= -32768 && t >= -32768 && r <= 32767 && b <= 32767;
        Record(small ? EMR_POLYGON16 : EMR_POLYGON, Params([&](TBytes& p) {
                   p.I32(l), p.I32(t), p.I32(r), p.I32(b);
                   p.U32(uint32_t(points.size()));
                   for (const QPoint& q : points) {
                       if (small)
                           p.I16(q.x()), p.I16(q.y());
                       else
                           p.I32(q.x()), p.I32(q.y());
                   }
               }));
    }

    void MoveTo(const QPoint& at)
    {
        if (PositionKnown && Position == at)
            return;
        if (Emf())
            Record(EMR_MOVETOEX, Params([&](TBytes& p) { p.I32(X(at.x())), p.I32(X(at.y())); }));
        else
            Record(META_MOVETO, Params([&](TBytes& p) { p.I16(X(at.y())), p.I16(X(at.x())); }));
        Position = at;
        PositionKnown = true;
    }

    void LineTo(const QPoint& to)
    {
        if (Emf())
            Record(EMR_LINETO, Params([&](TBytes& p) { p.I32(X(to.x())), p.I32(X(to.y())); }));
        else
            Record(META_LINETO, Params([&](TBytes& p) { p.I16(X(to.y())), p.I16(X(to.x())); }));
        Position = to;
    }

    // Where the canvas measured each character of a text: the advance in canvas pixels before
    // each UTF-16 unit and the advances in the file's units, so that readers place each glyph
    // where the canvas has it.
    struct TAdvances {
        std::vector<double> Before;
        std::vector<int32_t> Dx;
    };
    TAdvances Advances(const TCanvasFont& font, const QString& text) const
    {
        const QFontMetricsF metrics(CanvasFontEntry(font).Font());
        TAdvances a{std::vector<double>(size_t(text.size()) + 1, 0.0), std::vector<int32_t>(size_t(text.size()), 0)};
        double sum = 0;
        int32_t placed = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            a.Before[size_t(i)] = sum;
            if (text.at(i).isLowSurrogate())
                continue;
            const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size();
            sum += metrics.horizontalAdvance(text.mid(i, pair ? 2 : 1));
            const int32_t at = XF(sum);
            a.Dx[size_t(i)] = at - placed;
            placed = at;
        }
        a.Before.back() = sum;
        return a;
    }

    void Text(const TCanvasFont& font, int32_t x, int32_t y, const QString& text, const QRect* clip)
    {
        const TAdvances advances = Advances(font, text);
        const std::vector<int32_t>& dx = advances.Dx;
        const uint32_t options = clip ? ETO_CLIPPED : 0;
        if (Emf()) {
            UseFont(font);
            UseTextColor(font.Color);
            const QSize extent = CanvasFontMetrics(font).size(0, text);
            QRect bounds(x, y, std::max(1, extent.width()), std::max(1, extent.height()));
            if (clip)
                bounds = bounds.intersected(*clip);
            Record(EMR_EXTTEXTOUTW, Params([&](TBytes& p) {
                       p.I32(bounds.left()), p.I32(bounds.top()), p.I32(bounds.right()), p.I32(bounds.bottom());
                       p.U32(1);             // compatible graphics mode
                       p.F32(0), p.F32(0);   // no scale for that mode
                       p.I32(x), p.I32(y);
                       p.U32(uint32_t(text.size()));
                       p.U32(76);            // the string follows the fixed part
                       p.U32(options);
                       if (clip)
                           p.I32(clip->left()), p.I32(clip->top()), p.I32(clip->right() + 1), p.I32(clip->bottom() + 1);
                       else
                           p.I32(0), p.I32(0), p.I32(-1), p.I32(-1);
                       const qsizetype stringBytes = (text.size() * 2 + 3) / 4 * 4;
                       p.U32(uint32_t(76 + stringBytes));
                       for (const QChar c : text)
                           p.U16(c.unicode());
                       p.Pad(4);
                       for (const int32_t d : dx)
                           p.I32(d);
                   }));
            return;
        }
        // One record a run, each in a font of the run's character set, starting where the
        // characters before it end.
        int32_t runX = X(x);
        for (const TCharsetRun& run : WindowsCharsetRuns(text)) {
            if (run.Charset) {
                UseFont(font, *run.Charset);
                UseTextColor(font.Color);
                const QByteArray bytes = run.Bytes.left(32767);
                Record(META_EXTTEXTOUT, Params([&](TBytes& p) {
                           p.I16(X(y)), p.I16(runX);
                           p.I16(int32_t(bytes.size()));
                           p.U16(uint16_t(options));
                           if (clip)
                               p.I16(X(clip->left())), p.I16(X(clip->top())), p.I16(X(int64_t(clip->right()) + 1)),
                                   p.I16(X(int64_t(clip->bottom()) + 1));
                           p.B.append(bytes);
                           p.Pad(2);
                           for (qsizetype i = 0; i < bytes.size(); ++i)
                               p.I16(dx[size_t(run.From + i)]);
                       }));
            } else {
                GlyphOutlines(font, x + advances.Before[size_t(run.From)], y, text.mid(run.From, run.Length), clip);
            }
            for (qsizetype i = run.From; i < run.From + run.Length; ++i)
                runX += dx[size_t(i)];
        }
    }

    // Characters that no code page of the format holds, drawn as the outlines of their glyphs
    // in the text colour: they look as on the canvas but are no longer text.
    void GlyphOutlines(const TCanvasFont& font, double x, int32_t y, const QString& text, const QRect* clip)
    {
        TCanvasFontEntry& entry = CanvasFontEntry(font);
        QPainterPath path;
        path.addText(QPointF(x, double(y) + entry.Ascent()), entry.Font(), text);
        if (clip) {
            QPainterPath inside;
            inside.addRect(QRectF(*clip));
            path = path.intersected(inside);
        }
        std::vector<std::vector<QPoint>> polygons;
        size_t points = 0;
        for (const QPolygonF& outline : path.toSubpathPolygons()) {
            std::vector<QPoint> polygon;
            for (const QPointF& q : outline) {
                const QPoint r(XF(q.x()), XF(q.y()));
                if (polygon.empty() || polygon.back() != r)
                    polygon.push_back(r);
            }
            if (polygon.size() >= 3 && points + polygon.size() <= 32767) {
                points += polygon.size();
                polygons.push_back(std::move(polygon));
            }
        }
        if (polygons.empty())
            return;
        UsePen(TCanvasPen{0, 0, TPenStyle::Clear});
        UseBrush(true, font.Color);
        // Glyph outlines are filled by the nonzero rule: an inner contour is a hole, an
        // overlapping stroke is not.
        Record(META_SETPOLYFILLMODE, Params([](TBytes& p) { p.U16(WINDING); }));
        Record(META_POLYPOLYGON, Params([&](TBytes& p) {
                   p.U16(uint16_t(polygons.size()));
                   for (const std::vector<QPoint>& polygon : polygons)
                       p.U16(uint16_t(polygon.size()));
                   for (const std::vector<QPoint>& polygon : polygons)
                       for (const QPoint& q : polygon)
                           p.I16(q.x()), p.I16(q.y());
               }));
        Record(META_SETPOLYFILLMODE, Params([](TBytes& p) { p.U16(ALTERNATE); }));
    }

    void Bitmap(int32_t x, int32_t y, const QImage& image)
    {
        if (image.isNull())
            return;
        // Shown over white, as the picture's own background.
        QImage rgb(image.size(), QImage::Format_RGB888);
        rgb.fill(Qt::white);
        {
            QPainter painter(&rgb);
            painter.drawImage(0, 0, image);
        }
        const int32_t w = rgb.width(), h = rgb.height();
        const int32_t stride = (w * 3 + 3) / 4 * 4;
        TBytes dib;
        dib.U32(40), dib.I32(w), dib.I32(h), dib.U16(1), dib.U16(24), dib.U32(0);
        dib.U32(uint32_t(stride * h)), dib.I32(3780), dib.I32(3780), dib.U32(0), dib.U32(0);
        for (int32_t row = h - 1; row >= 0; --row) {
            const uchar* line = rgb.constScanLine(row);
            for (int32_t i = 0; i < w; ++i)
                dib.U8(line[i * 3 + 2]), dib.U8(line[i * 3 + 1]), dib.U8(line[i * 3]);
            dib.Pad(4);
        }
        const int32_t dx = X(x), dy = X(y), dw = std::max(1, X(int64_t(x) + w) - dx), dh = std::max(1, X(int64_t(y) + h) - dy);
        if (Emf()) {
            Record(EMR_STRETCHDIBITS, Params([&](TBytes& p) {
                       p.I32(dx), p.I32(dy), p.I32(dx + dw - 1), p.I32(dy + dh - 1);
                       p.I32(dx), p.I32(dy), p.I32(0), p.I32(0), p.I32(w), p.I32(h);
                       p.U32(80), p.U32(40), p.U32(120), p.U32(uint32_t(stride * h));
                       p.U32(0), p.U32(SRCCOPY), p.I32(dw), p.I32(dh);
                       p.B.append(dib.B);
                   }));
        } else {
            Record(META_STRETCHDIB, Params([&](TBytes& p) {
                       p.U32(SRCCOPY), p.U16(0);
                       p.I16(h), p.I16(w), p.I16(0), p.I16(0), p.I16(dh), p.I16(dw), p.I16(dy), p.I16(dx);
                       p.B.append(dib.B);
                   }));
        }
    }

    void Clip(const std::optional<QRect>& clip)
    {
        if (Saved) {
            if (Emf())
                Record(EMR_RESTOREDC, Params([](TBytes& p) { p.I32(-1); }));
            else
                Record(META_RESTOREDC, Params([](TBytes& p) { p.I16(-1); }));
            Current = *Saved;
            Saved.reset();
            PositionKnown = false; // the pen position came back too
        }
        if (!clip)
            return;
        Record(Emf() ? EMR_SAVEDC : META_SAVEDC, QByteArray());
        Saved = Current;
        Box(EMR_INTERSECTCLIPRECT, META_INTERSECTCLIPRECT, clip->left(), clip->top(), int64_t(clip->right()) + 1,
            int64_t(clip->bottom()) + 1);
    }

    QByteArray Finish()
    {
        TBytes file;
        if (Emf()) {
            Record(EMR_EOF, Params([](TBytes& p) { p.U32(0), p.U32(16), p.U32(20); }));
            constexpr uint32_t HeaderSize = 108;
            // A reference device of 96 dpi: 3840 x 2400 pixels on 1016 x 635 mm.
            auto frame = [](int32_t pixels) { return int32_t(std::llround(double(pixels) * 2540.0 / 96.0)); };
            file.U32(EMR_HEADER), file.U32(HeaderSize);
            file.I32(0), file.I32(0), file.I32(Width - 1), file.I32(Height - 1);
            file.I32(0), file.I32(0), file.I32(frame(Width)), file.I32(frame(Height));
            file.U32(0x464D4520), file.U32(0x10000);
            file.U32(uint32_t(HeaderSize + Records.size()));
            file.U32(RecordCount + 1);
            file.U16(uint16_t(MostObjects + 1)), file.U16(0);
            file.U32(0), file.U32(0), file.U32(0);
            file.I32(3840), file.I32(2400), file.I32(1016), file.I32(635);
            file.U32(0), file.U32(0), file.U32(0);
            file.I32(1016000), file.I32(635000);
        } else {
            Record(META_EOF, QByteArray());
            // The placeable header: the picture's box and how many of its units make an inch.
            const int32_t inch = std::max(1, int32_t(std::lround(96.0 * ScaleFactor)));
            TBytes placeable;
            placeable.U32(0x9AC6CDD7), placeable.U16(0);
            placeable.I16(0), placeable.I16(0), placeable.I16(ScaledWidth()), placeable.I16(ScaledHeight());
            placeable.U16(uint16_t(inch)), placeable.U32(0);
            uint16_t checksum = 0;
            for (int i = 0; i < 20; i += 2)
                checksum ^= uint16_t(uint8_t(placeable.B[i]) | (uint8_t(placeable.B[i + 1]) << 8));
            placeable.U16(checksum);
            file.B = placeable.B;
            file.U16(1), file.U16(9), file.U16(0x0300);
            file.U32(uint32_t(9 + Records.size() / 2));
            file.U16(uint16_t(MostObjects));
            file.U32(std::max<uint32_t>(MaxRecordWords, 9));
            file.U16(0);
        }
        file.B.append(Records);
        Records.clear();
        return file.B;
    }
};

TMetafileCanvas::TMetafileCanvas(int32_t width, int32_t height, TMetafileKind kind)
    : FWriter(std::make_unique<TWriter>(std::max(1, width), std::max(1, height), kind))
{
}

TMetafileCanvas::~TMetafileCanvas() = default;

double TMetafileCanvas::Scale() const { return FWriter->ScaleFactor; }

QByteArray TMetafileCanvas::Finish()
{
    Flush();
    return FWriter->Finish();
}

namespace {

// Channels of a colour differing by at most this much make one band of a gradient.
constexpr int BandTolerance = 3;

bool Near(TColor a, TColor b)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > BandTolerance)
            return false;
    return true;
}

} // namespace

void TMetafileCanvas::WriteFill(const QRect& rect, TColor color)
{
    FWriter->UsePen(TCanvasPen{0, 0, TPenStyle::Clear});
    FWriter->UseBrush(true, color);
    // Without an outline a rectangle leaves out its last column and row.
    FWriter->Box(EMR_RECTANGLE, META_RECTANGLE, rect.x(), rect.y(), int64_t(rect.x()) + rect.width() + 1,
                 int64_t(rect.y()) + rect.height() + 1);
}

void TMetafileCanvas::Flush()
{
    if (!FPending)
        return;
    const TPendingFill f = *FPending;
    FPending.reset();
    auto mean = [&](int k) { return TColor((f.Sum[k] + f.Rows / 2) / f.Rows); };
    WriteFill(f.Rect, f.Rows == 1 ? f.First : mean(0) | (mean(1) << 8) | (mean(2) << 16));
}

void TMetafileCanvas::FillRect(const QRect& rect)
{
    if (Brush.Style == TBrushStyle::Clear || rect.width() <= 0 || rect.height() <= 0)
        return;
    const TColor color = Brush.Color & 0x00FFFFFF;
    if (FPending && rect.height() == 1 && FPending->Rect.left() == rect.left() &&
        FPending->Rect.width() == rect.width() && FPending->Rect.bottom() + 1 == rect.top() && Near(FPending->First, color)) {
        FPending->Rect.setBottom(rect.bottom());
    } else {
        Flush();
        if (rect.height() != 1) {
            WriteFill(rect, color);
            return;
        }
        FPending = TPendingFill{rect, color, {0, 0, 0}, 0};
    }
    FPending->Sum[0] += color & 0xFF;
    FPending->Sum[1] += (color >> 8) & 0xFF;
    FPending->Sum[2] += (color >> 16) & 0xFF;
    ++FPending->Rows;
}

void TMetafileCanvas::OutlinedShape(uint32_t emfType, uint16_t wmfFunction, const QRect& rect)
{
    Flush();
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    FWriter->UsePen(Pen);
    FWriter->UseBrush(Brush.Style == TBrushStyle::Solid, Brush.Color);
    FWriter->Box(emfType, wmfFunction, rect.x(), rect.y(), int64_t(rect.x()) + rect.width(),
                 int64_t(rect.y()) + rect.height());
}

void TMetafileCanvas::Rectangle(const QRect& rect) { OutlinedShape(EMR_RECTANGLE, META_RECTANGLE, rect); }

void TMetafileCanvas::Ellipse(const QRect& rect) { OutlinedShape(EMR_ELLIPSE, META_ELLIPSE, rect); }

void TMetafileCanvas::Polygon(const QPolygon& points)
{
    Flush();
    if (points.size() < 2)
        return;
    FWriter->UsePen(Pen);
    FWriter->UseBrush(Brush.Style == TBrushStyle::Solid, Brush.Color);
    std::vector<QPoint> mapped;
    mapped.reserve(size_t(points.size()));
    for (const QPoint& p : points)
        mapped.emplace_back(FWriter->X(p.x()), FWriter->X(p.y()));
    FWriter->PolygonRecord(mapped);
}

void TMetafileCanvas::LineTo(const QPoint& point)
{
    Flush();
    const QPoint from = FPenPos;
    FPenPos = point;
    if (Pen.Style == TPenStyle::Clear || from == point)
        return;
    // A dotted line over a solid brush shows the brush colour in its gaps.
    if (Pen.Style == TPenStyle::Dot && Pen.Width <= 1 && Brush.Style == TBrushStyle::Solid) {
        FWriter->UsePen(TCanvasPen{Brush.Color, 1, TPenStyle::Solid});
        FWriter->MoveTo(from);
        FWriter->LineTo(point);
    }
    FWriter->UsePen(Pen);
    FWriter->MoveTo(from);
    FWriter->LineTo(point);
}

void TMetafileCanvas::TextOut(int32_t x, int32_t y, const QString& text)
{
    Flush();
    const QRect cell(QPoint(x, y), TextExtent(text));
    if (Brush.Style == TBrushStyle::Solid && !cell.isEmpty())
        WriteFill(cell, Brush.Color);
    if (!text.isEmpty())
        FWriter->Text(Font, x, y, text, nullptr);
}

void TMetafileCanvas::TextRect(const QRect& clip, int32_t x, int32_t y, const QString& text)
{
    Flush();
    if (Brush.Style == TBrushStyle::Solid && !clip.isEmpty())
        WriteFill(clip, Brush.Color);
    if (!text.isEmpty() && clip.isValid())
        FWriter->Text(Font, x, y, text, &clip);
}

void TMetafileCanvas::Draw(int32_t x, int32_t y, const QImage& image)
{
    Flush();
    FWriter->Bitmap(x, y, image);
}

namespace {

// The part of a convex polygon where a·p lies within [from, to].
std::vector<QPointF> ClipBand(const std::vector<QPointF>& polygon, const QPointF& a, double from, double to)
{
    auto clip = [&](const std::vector<QPointF>& in, double limit, double sign) {
        std::vector<QPointF> out;
        const size_t n = in.size();
        for (size_t i = 0; i < n; ++i) {
            const QPointF& p = in[i];
            const QPointF& q = in[(i + 1) % n];
            const double dp = sign * (a.x() * p.x() + a.y() * p.y() - limit);
            const double dq = sign * (a.x() * q.x() + a.y() * q.y() - limit);
            if (dp >= 0)
                out.push_back(p);
            if ((dp >= 0) != (dq >= 0))
                out.push_back(p + (q - p) * (dp / (dp - dq)));
        }
        return out;
    };
    return clip(clip(polygon, from, 1), to, -1);
}

} // namespace

void TMetafileCanvas::GradientFillTriangle(const TTriangleVertices& vertices)
{
    Flush();
    const double s = FWriter->Emf() ? 1.0 : FWriter->ScaleFactor;
    std::array<QPointF, 3> p;
    std::array<std::array<double, 3>, 3> c;
    for (size_t i = 0; i < 3; ++i) {
        p[i] = QPointF(vertices[i].X, vertices[i].Y) * s;
        c[i] = {double(vertices[i].Red >> 8), double(vertices[i].Green >> 8), double(vertices[i].Blue >> 8)};
    }
    const QPointF e1 = p[1] - p[0], e2 = p[2] - p[0];
    const double det = e1.x() * e2.y() - e1.y() * e2.x();
    if (det == 0)
        return;
    // Each channel is linear over the triangle; its gradient follows from the corners.
    std::array<QPointF, 3> gradient;
    int steepest = 0;
    for (int k = 0; k < 3; ++k) {
        const double d1 = c[1][size_t(k)] - c[0][size_t(k)], d2 = c[2][size_t(k)] - c[0][size_t(k)];
        gradient[size_t(k)] = QPointF((d1 * e2.y() - d2 * e1.y()) / det, (e1.x() * d2 - e2.x() * d1) / det);
        if (std::hypot(gradient[size_t(k)].x(), gradient[size_t(k)].y()) >
            std::hypot(gradient[size_t(steepest)].x(), gradient[size_t(steepest)].y()))
            steepest = k;
    }
    auto colorAt = [&](const QPointF& at) {
        std::array<int, 3> rgb;
        for (size_t k = 0; k < 3; ++k) {
            const QPointF d = at - p[0];
            rgb[k] = std::clamp(int(std::lround(c[0][k] + gradient[k].x() * d.x() + gradient[k].y() * d.y())), 0, 255);
        }
        return TColor(rgb[0] | (rgb[1] << 8) | (rgb[2] << 16));
    };
    // Bands across the direction in which the colour changes fastest: as many as the colour
    // range needs for steps of a few levels, but none thinner than about two pixels.
    const QPointF g = gradient[size_t(steepest)];
    const double norm = std::hypot(g.x(), g.y());
    const QPointF dir = norm > 0 ? g / norm : QPointF(0, 1);
    double lo = 1e300, hi = -1e300;
    for (const QPointF& v : p) {
        lo = std::min(lo, dir.x() * v.x() + dir.y() * v.y());
        hi = std::max(hi, dir.x() * v.x() + dir.y() * v.y());
    }
    double levels = 0;
    for (const QPointF& gk : gradient)
        levels = std::max(levels, std::hypot(gk.x(), gk.y()) * (hi - lo));
    const int bands = std::clamp(int(std::min(std::ceil(levels / 4), std::round((hi - lo) / 2))), 1, 64);

    FWriter->UsePen(TCanvasPen{0, 0, TPenStyle::Clear});
    const std::vector<QPointF> triangle(p.begin(), p.end());
    for (int i = 0; i < bands; ++i) {
        const double from = lo + (hi - lo) * i / bands, to = lo + (hi - lo) * (i + 1) / bands;
        // Each band reaches a pixel into the next, which is drawn over it: readers that smooth
        // edges would otherwise let the background show through the seams.
        const double reach = i + 1 < bands ? std::min(hi, to + 1.0) : to;
        const std::vector<QPointF> band = bands == 1 ? triangle : ClipBand(triangle, dir, from, reach);
        if (band.size() < 3)
            continue;
        // The colour of the band's middle, without the part under the next band.
        QPointF centre;
        const std::vector<QPointF> own = ClipBand(triangle, dir, from, to);
        for (const QPointF& q : own)
            centre += q;
        centre /= double(std::max<size_t>(own.size(), 1));
        std::vector<QPoint> points;
        for (const QPointF& q : band) {
            const QPoint r(int(std::lround(q.x())), int(std::lround(q.y())));
            if (points.empty() || points.back() != r)
                points.push_back(r);
        }
        if (points.size() < 3)
            continue;
        FWriter->UseBrush(true, colorAt(centre));
        FWriter->PolygonRecord(points);
    }
}

void TMetafileCanvas::ClipChanged(const std::optional<QRect>& clip)
{
    Flush();
    FWriter->Clip(clip);
}
