#pragma once
// Pictures to draw a whole tree into.

#include <QImage>

// A picture of width x height pixels in the format the canvas draws fastest on. A whole tree's
// picture reaches hundreds of megabytes, and its near-vertical connector lines touch a new row,
// and so a new memory page, at almost every pixel; a large picture is therefore backed by huge
// pages where the system offers them. Gives a null image when the size is not positive or the
// memory cannot be had.
QImage CreateCanvasImage(int width, int height, QImage::Format format = QImage::Format_RGB32);
