#pragma once
// The three-vertex gradient fill of a triangle, rasterised here so that every canvas shades
// it to the same pixels.
//
// A pixel (x, y) is the point (x, y). It is covered when it lies inside the triangle, or on an
// edge that is a left or a top edge (an edge with the inside to its right, or a horizontal
// edge with the inside below); so right and bottom edges are excluded as for rectangles, and
// triangles that share an edge never both cover it. The colour is the barycentric mix of the
// corners' 16-bit channels, truncated, and then cut to 8 bits (the high byte).

#include "Component/draw/Canvas.h"

#include <algorithm>
#include <cstdint>

// Calls plot(x, y, red, green, blue) for every covered pixel inside `limit`, row by row from
// the top, left to right. Degenerate triangles (no area) cover nothing.
template <typename Plot>
void RasterizeGradientTriangle(const TTriangleVertices& vertices, const QRect& limit, Plot&& plot)
{
    // The arithmetic runs relative to the limit's corner, so a triangle far down a large drawing
    // shades exactly as one at its top. Corners more than 2^22 pixels from the area drawn are
    // nonsense; keeping them within that keeps the arithmetic exact.
    constexpr int64_t Far = int64_t(1) << 22;
    const int64_t ox = limit.x(), oy = limit.y();
    int64_t x[3], y[3], c[3][3];
    for (int i = 0; i < 3; ++i) {
        x[i] = std::clamp<int64_t>(vertices[size_t(i)].X - ox, -Far, Far);
        y[i] = std::clamp<int64_t>(vertices[size_t(i)].Y - oy, -Far, Far);
        c[i][0] = vertices[size_t(i)].Red;
        c[i][1] = vertices[size_t(i)].Green;
        c[i][2] = vertices[size_t(i)].Blue;
    }
    int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (area == 0)
        return;
    if (area < 0) {
        std::swap(x[1], x[2]);
        std::swap(y[1], y[2]);
        for (int k = 0; k < 3; ++k)
            std::swap(c[1][k], c[2][k]);
        area = -area;
    }
    const int64_t left = std::max<int64_t>(std::min({x[0], x[1], x[2]}), 0);
    const int64_t right = std::min<int64_t>(std::max({x[0], x[1], x[2]}), int64_t(limit.width()) - 1);
    const int64_t top = std::max<int64_t>(std::min({y[0], y[1], y[2]}), 0);
    const int64_t bottom = std::min<int64_t>(std::max({y[0], y[1], y[2]}), int64_t(limit.height()) - 1);
    if (left > right || top > bottom)
        return;

    // Edge i runs from vertex i+1 to vertex i+2; its function is `area` at vertex i and 0 on
    // the edge, so the three values are the barycentric weights times `area`.
    int64_t w0[3], stepX[3], stepY[3], bias[3];
    for (int i = 0; i < 3; ++i) {
        const int a = (i + 1) % 3, b = (i + 2) % 3;
        const int64_t dx = x[b] - x[a], dy = y[b] - y[a];
        stepX[i] = -dy;
        stepY[i] = dx;
        w0[i] = dx * (top - y[a]) - dy * (left - x[a]);
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        bias[i] = topLeft ? 0 : 1;
    }
    // One colour throughout (every shadow): the weights sum to `area`, so no mixing is needed.
    const bool flat = c[0][0] == c[1][0] && c[0][0] == c[2][0] && c[0][1] == c[1][1] &&
                      c[0][1] == c[2][1] && c[0][2] == c[1][2] && c[0][2] == c[2][2];
    // Weights times 16-bit channels stay below 2^63 for any triangle of less than 2^46 area,
    // which covers everything but nonsense coordinates; those take the wide path.
    const bool narrow = area < (int64_t(1) << 46);
    auto channel = [&](const int64_t* w, int k) -> uint8_t {
        const __int128 sum = (__int128)w[0] * c[0][k] + (__int128)w[1] * c[1][k] + (__int128)w[2] * c[2][k];
        return uint8_t(int64_t(sum / area) >> 8);
    };
    // Floor division for a positive divisor.
    auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    for (int64_t py = top; py <= bottom; ++py) {
        // Each edge bounds the row on one side: w + stepX × (x - left) >= bias is linear in x.
        int64_t from = left, to = right;
        for (int i = 0; i < 3 && from <= to; ++i) {
            if (stepX[i] > 0)
                from = std::max(from, left + floorDiv(bias[i] - w0[i] + stepX[i] - 1, stepX[i]));
            else if (stepX[i] < 0)
                to = std::min(to, left + floorDiv(w0[i] - bias[i], -stepX[i]));
            else if (w0[i] < bias[i])
                to = from - 1;
        }
        if (from <= to) {
            int64_t w[3];
            for (int i = 0; i < 3; ++i)
                w[i] = w0[i] + stepX[i] * (from - left);
            if (flat) {
                for (int64_t px = from; px <= to; ++px)
                    plot(int32_t(px + ox), int32_t(py + oy), uint8_t(c[0][0] >> 8), uint8_t(c[0][1] >> 8),
                         uint8_t(c[0][2] >> 8));
            } else if (narrow) {
                // Along a row each channel's sum grows by the same amount per pixel, so its
                // quotient and remainder by `area` step exactly without a division per pixel.
                int64_t q[3], r[3], dq[3], dr[3];
                for (int k = 0; k < 3; ++k) {
                    const int64_t sum = w[0] * c[0][k] + w[1] * c[1][k] + w[2] * c[2][k];
                    const int64_t step = stepX[0] * c[0][k] + stepX[1] * c[1][k] + stepX[2] * c[2][k];
                    q[k] = floorDiv(sum, area);
                    r[k] = sum - q[k] * area;
                    dq[k] = floorDiv(step, area);
                    dr[k] = step - dq[k] * area;
                }
                for (int64_t px = from; px <= to; ++px) {
                    plot(int32_t(px + ox), int32_t(py + oy), uint8_t(q[0] >> 8), uint8_t(q[1] >> 8), uint8_t(q[2] >> 8));
                    for (int k = 0; k < 3; ++k) {
                        q[k] += dq[k];
                        r[k] += dr[k];
                        if (r[k] >= area) {
                            r[k] -= area;
                            ++q[k];
                        }
                    }
                }
            } else {
                for (int64_t px = from; px <= to; ++px) {
                    plot(int32_t(px + ox), int32_t(py + oy), channel(w, 0), channel(w, 1), channel(w, 2));
                    for (int i = 0; i < 3; ++i)
                        w[i] += stepX[i];
                }
            }
        }
        for (int i = 0; i < 3; ++i)
            w0[i] += stepY[i];
    }
}
