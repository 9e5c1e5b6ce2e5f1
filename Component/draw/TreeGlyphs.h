#pragma once
// The three 9 × 9 marks drawn beside a node's symbol on the screen: a framed minus (the node is
// expanded), a framed plus (collapsed) and a framed downward triangle (the attribute popup).
// Built once from the bitmaps compiled into the program, then shared read-only.

#include <QImage>

// Resource ids the bitmaps were numbered by.
enum TTreeGlyph : int { tgMinus = 101, tgPlus = 102, tgRollUpDown = 104 };

const QImage& TreeGlyph(TTreeGlyph glyph);
