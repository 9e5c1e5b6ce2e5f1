#include "Component/draw/TreeGlyphs.h"

#include "resources/TreeGlyph101Minus.xpm"
#include "resources/TreeGlyph102Plus.xpm"
#include "resources/TreeGlyph104RollUpDown.xpm"

const QImage& TreeGlyph(TTreeGlyph glyph)
{
    static const QImage minus = QImage(tree_glyph_minus_xpm).convertToFormat(QImage::Format_RGB32);
    static const QImage plus = QImage(tree_glyph_plus_xpm).convertToFormat(QImage::Format_RGB32);
    static const QImage rollUpDown = QImage(tree_glyph_rollupdown_xpm).convertToFormat(QImage::Format_RGB32);
    switch (glyph) {
    case tgMinus: return minus;
    case tgPlus: return plus;
    case tgRollUpDown: break;
    }
    return rollUpDown;
}
