#pragma once
// The records of a placeable Windows metafile as a reader meets them, each with the pen, brush
// and font selected at that point: enough to tell what a reader draws where, without drawing.
// For small drawings only, whose objects are never deleted, so that an object's index is the
// order of its creation.

#include <QByteArray>
#include <QtEndian>

#include <map>
#include <vector>

namespace wmf {

constexpr uint16_t CreatePen = 0x02FA, CreateFont = 0x02FB, CreateBrush = 0x02FC, SelectObject = 0x012D,
                   SetWindowExt = 0x020C, Rectangle = 0x041B, LineTo = 0x0213, ExtTextOut = 0x0A32,
                   PolyPolygon = 0x0538;

struct TRecord {
    uint16_t Function = 0;
    QByteArray Params;
    std::map<uint16_t, QByteArray> Selected; // the creating record's parameters, by its function

    int16_t I16(qsizetype at) const { return qFromLittleEndian<int16_t>(Params.constData() + at); }
    int16_t PenStyle() const { return qFromLittleEndian<int16_t>(Selected.at(CreatePen).constData()); }
    int16_t PenWidth() const { return qFromLittleEndian<int16_t>(Selected.at(CreatePen).constData() + 2); }
    uint32_t BrushColor() const { return qFromLittleEndian<uint32_t>(Selected.at(CreateBrush).constData() + 2); }
    uint8_t Charset() const { return uint8_t(Selected.at(CreateFont).at(13)); }
};

// Empty when a record's size runs past the file.
inline std::vector<TRecord> Records(const QByteArray& file)
{
    std::vector<TRecord> records;
    std::vector<std::pair<uint16_t, QByteArray>> objects;
    std::map<uint16_t, QByteArray> selected;
    for (qsizetype at = 22 + 18; at + 6 <= file.size();) {
        const qsizetype size = qsizetype(qFromLittleEndian<uint32_t>(file.constData() + at)) * 2;
        if (size < 6 || at + size > file.size())
            return {};
        TRecord r{qFromLittleEndian<uint16_t>(file.constData() + at + 4), file.mid(at + 6, size - 6), selected};
        at += size;
        if (r.Function == CreatePen || r.Function == CreateBrush || r.Function == CreateFont)
            objects.emplace_back(r.Function, r.Params);
        else if (r.Function == SelectObject)
            selected[objects.at(size_t(r.I16(0))).first] = objects.at(size_t(r.I16(0))).second;
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace wmf
