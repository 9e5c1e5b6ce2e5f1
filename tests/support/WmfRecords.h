#pragma once
// The records of a placeable Windows metafile as a reader meets them, each with the pen, brush
// and font that the format's object table has selected at that point: enough to tell what a
// reader draws where, without drawing it.

#include <QByteArray>
#include <QtEndian>

#include <map>
#include <vector>

namespace wmf {

constexpr uint16_t CreatePen = 0x02FA, CreateFont = 0x02FB, CreateBrush = 0x02FC, SelectObject = 0x012D,
                   DeleteObject = 0x01F0, SetWindowExt = 0x020C, Rectangle = 0x041B, LineTo = 0x0213,
                   ExtTextOut = 0x0A32, PolyPolygon = 0x0538;

struct TRecord {
    uint16_t Function = 0;
    QByteArray Params;
    // The parameters of the objects in force: CreatePen, CreateBrush, CreateFont.
    std::map<uint16_t, QByteArray> Selected;

    int16_t I16(qsizetype at) const { return qFromLittleEndian<int16_t>(Params.constData() + at); }
    uint32_t U32(qsizetype at) const { return qFromLittleEndian<uint32_t>(Params.constData() + at); }
    int16_t PenStyle() const { return qFromLittleEndian<int16_t>(Selected.at(CreatePen).constData()); }
    int16_t PenWidth() const { return qFromLittleEndian<int16_t>(Selected.at(CreatePen).constData() + 2); }
    uint32_t BrushColor() const { return qFromLittleEndian<uint32_t>(Selected.at(CreateBrush).constData() + 2); }
    uint8_t Charset() const { return uint8_t(Selected.at(CreateFont).at(13)); }
};

// Empty when a record's size runs past the file.
inline std::vector<TRecord> Records(const QByteArray& file)
{
    std::vector<TRecord> records;
    std::vector<std::pair<uint16_t, QByteArray>> objects; // a new object takes the lowest free index
    std::map<uint16_t, QByteArray> selected;
    for (qsizetype at = 22 + 18; at + 6 <= file.size();) {
        const qsizetype size = qsizetype(qFromLittleEndian<uint32_t>(file.constData() + at)) * 2;
        if (size < 6 || at + size > file.size())
            return {};
        TRecord r{qFromLittleEndian<uint16_t>(file.constData() + at + 4), file.mid(at + 6, size - 6), selected};
        at += size;
        if (r.Function == CreatePen || r.Function == CreateBrush || r.Function == CreateFont) {
            size_t free = 0;
            while (free < objects.size() && objects[free].first != 0)
                ++free;
            if (free == objects.size())
                objects.emplace_back();
            objects[free] = {r.Function, r.Params};
        } else if (r.Function == SelectObject || r.Function == DeleteObject) {
            auto& object = objects.at(size_t(r.I16(0)));
            if (r.Function == DeleteObject)
                object.first = 0;
            else
                selected[object.first] = object.second;
        }
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace wmf
