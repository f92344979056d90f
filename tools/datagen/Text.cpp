// Shaded lettering and the tiny dial font.
#include "Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

struct Mask {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bits;

    Mask(int w, int h) : width(w), height(h), bits(static_cast<size_t>(w) * h) {}
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && bits[y * width + x] != 0;
    }
    void put(int x, int y, bool on) { bits[y * width + x] = on; }
};

// The 8x8 font is magnified by three Scale2x passes and then supersampled, which rounds its
// stair-steps into smooth strokes at any scale.
constexpr int kFine = 8;  // mask pixels per font pixel after the three passes

Mask fontMask(const std::string& s) {
    Canvas scratch(8 * static_cast<int>(s.size()), 8, Rgb{});
    scratch.text(0, 0, s, Rgb{255, 255, 255});
    Mask m(scratch.width(), scratch.height());
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) m.put(x, y, scratch.get(x, y).r > 127);
    return m;
}

Mask scale2x(const Mask& m) {
    Mask out(2 * m.width, 2 * m.height);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            const bool p = m.at(x, y), a = m.at(x, y - 1), b = m.at(x + 1, y), c = m.at(x - 1, y),
                       d = m.at(x, y + 1);
            out.put(2 * x, 2 * y, c == a && c != d && a != b ? a : p);
            out.put(2 * x + 1, 2 * y, a == b && a != c && b != d ? b : p);
            out.put(2 * x, 2 * y + 1, d == c && d != b && c != a ? c : p);
            out.put(2 * x + 1, 2 * y + 1, b == d && b != a && d != c ? d : p);
        }
    return out;
}

// Grows the mask by a disc of the given radius, padding it by the radius on every side.
Mask dilate(const Mask& m, int radius) {
    Mask out(m.width + 2 * radius, m.height + 2 * radius);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            if (!m.at(x, y)) continue;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx)
                    if (dx * dx + dy * dy <= radius * radius)
                        out.put(x + dx + radius, y + dy + radius, true);
        }
    return out;
}

// Fraction of the screen pixel whose top-left is at mask point (u, v) that the mask covers.
double coverage(const Mask& m, double u, double v, double pixelInMask, int offset) {
    int hits = 0;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            hits += m.at(static_cast<int>(std::floor(u + (i + 0.5) * pixelInMask / 4)) + offset,
                         static_cast<int>(std::floor(v + (j + 0.5) * pixelInMask / 4)) + offset);
    return hits / 16.0;
}

}  // namespace

void drawLettering(Canvas& canvas, int x, int y, const std::string& s, const Lettering& style) {
    const Mask fill = scale2x(scale2x(scale2x(fontMask(s))));
    const double pixelInMask = kFine / style.scale;
    const int radius = static_cast<int>(std::lround(style.outlineWidth * pixelInMask));
    const Mask fat = dilate(fill, radius);
    const int bevel = std::max(1, static_cast<int>(std::lround(pixelInMask)));
    const int margin = static_cast<int>(std::ceil(style.outlineWidth)) +
                       std::max(std::abs(style.shadowDx), std::abs(style.shadowDy)) + 1;
    const int w = static_cast<int>(std::ceil(fill.width / pixelInMask));
    const int h = static_cast<int>(std::ceil(fill.height / pixelInMask));
    for (int py = -margin; py < h + margin; ++py)
        for (int px = -margin; px < w + margin; ++px) {
            const double u = px * pixelInMask, v = py * pixelInMask;
            const double shadow = coverage(fat, u - style.shadowDx * pixelInMask,
                                           v - style.shadowDy * pixelInMask, pixelInMask, radius);
            const double outline = coverage(fat, u, v, pixelInMask, radius);
            const double body = coverage(fill, u, v, pixelInMask, 0);
            canvas.blend(x + px, y + py, Rgb{}, shadow * style.shadowAlpha);
            canvas.blend(x + px, y + py, style.outline, outline);
            if (body <= 0) continue;
            const double t = std::clamp((py + 0.5) / (7 * style.scale), 0.0, 1.0);
            Rgb c = t < 0.5 ? mix(style.top, style.upperMiddle, t / 0.5)
                            : mix(style.lowerMiddle, style.bottom, (t - 0.5) / 0.5);
            // Light from the top-left: edges facing it glint, the opposite ones fall into shade.
            const double lit = body - coverage(fill, u, v, pixelInMask, -bevel);
            const double dark = body - coverage(fill, u, v, pixelInMask, bevel);
            c = mix(c, Rgb{255, 255, 240}, std::max(0.0, lit) * 0.6);
            c = mix(c, shade(c, 0.55), std::max(0.0, dark));
            canvas.blend(x + px, y + py, c, body);
        }
}

namespace {

struct TinyGlyph {
    char ch;
    std::array<const char*, 5> rows;
};

constexpr TinyGlyph kTinyFont[] = {
    {'0', {"###", "#.#", "#.#", "#.#", "###"}},
    {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"###", "..#", "###", "#..", "###"}},
    {'3', {"###", "..#", ".##", "..#", "###"}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}},
    {'5', {"###", "#..", "###", "..#", "###"}},
    {'6', {"###", "#..", "###", "#.#", "###"}},
    {'7', {"###", "..#", ".#.", ".#.", ".#."}},
    {'8', {"###", "#.#", "###", "#.#", "###"}},
    {'9', {"###", "#.#", "###", "..#", "###"}},
    {'M', {"#...#", "##.##", "#.#.#", "#...#", "#...#"}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}},
    {'H', {"#.#", "#.#", "###", "#.#", "#.#"}},
    {' ', {"..", "..", "..", "..", ".."}},
};

const TinyGlyph* tinyGlyph(char ch) {
    for (const TinyGlyph& g : kTinyFont)
        if (g.ch == ch) return &g;
    return nullptr;
}

int glyphWidth(const TinyGlyph& g) {
    return static_cast<int>(std::string(g.rows[0]).size());
}

}  // namespace

int tinyTextWidth(const std::string& s) {
    int w = 0;
    for (const char ch : s)
        if (const TinyGlyph* g = tinyGlyph(ch)) w += glyphWidth(*g) + 1;
    return w > 0 ? w - 1 : 0;
}

void drawTinyText(Canvas& canvas, int x, int y, const std::string& s, Rgb c) {
    for (const char ch : s) {
        const TinyGlyph* g = tinyGlyph(ch);
        if (!g) continue;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; g->rows[row][col] != '\0'; ++col)
                if (g->rows[row][col] == '#') canvas.set(x + col, y + row, c);
        x += glyphWidth(*g) + 1;
    }
}
