#include "images.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

#include <array>

namespace orvsrv {
namespace {

struct Glyph
{
    char ch;
    std::array<const char*, 7> rows;
};

// 5 x 7 capitals, digits and a little punctuation.
const Glyph kGlyphs[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

const Glyph& GlyphFor(QChar c)
{
    const QChar up = c.toUpper();
    for (const Glyph& g : kGlyphs)
        if (up == QLatin1Char(g.ch))
            return g;
    return kGlyphs[sizeof kGlyphs / sizeof kGlyphs[0] - 2]; // '?'
}

void FillRect(QImage& img, int x0, int y0, int w, int h, QRgb c)
{
    for (int y = qMax(0, y0); y < qMin(img.height(), y0 + h); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = qMax(0, x0); x < qMin(img.width(), x0 + w); ++x)
            line[x] = c;
    }
}

// Draws text at (x, y) with square pixels of `scale`; returns the width used.
int DrawText(QImage& img, int x, int y, int scale, const QString& text, QRgb c)
{
    int cx = x;
    for (QChar ch : text) {
        const Glyph& g = GlyphFor(ch);
        for (int r = 0; r < 7; ++r)
            for (int col = 0; col < 5; ++col)
                if (g.rows[size_t(r)][col] == '#')
                    FillRect(img, cx + col * scale, y + r * scale, scale, scale, c);
        cx += 6 * scale;
    }
    return cx - x;
}

} // namespace

QByteArray RenderPicturePng(int width, int height, int colourSeed, int index, const QString& caption)
{
    QImage img(width, height, QImage::Format_RGB32);
    const int hue = int((quint32(colourSeed) * 137u) % 360u);
    const QColor top = QColor::fromHsv(hue, 170, 235);
    const QColor bottom = QColor::fromHsv((hue + 40 + index * 25) % 360, 220, 120);
    for (int y = 0; y < height; ++y) {
        const double t = height > 1 ? double(y) / (height - 1) : 0;
        const QRgb c = qRgb(int(top.red() + (bottom.red() - top.red()) * t),
                            int(top.green() + (bottom.green() - top.green()) * t),
                            int(top.blue() + (bottom.blue() - top.blue()) * t));
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = c;
    }
    // A diagonal stripe that moves with the snapshot index, so the six frames differ.
    const int stripe = qMax(2, width / 12);
    for (int y = 0; y < height; ++y) {
        const int x0 = (index * width / 7 + y / 2) % qMax(1, width);
        FillRect(img, x0, y, stripe, 1, top.lighter(125).rgb());
    }
    const int scale = qMax(1, height / 60);
    // Caption band: only ASCII letters and digits have glyphs; others show as '?'.
    QString text = caption.left(qMax(1, (width - 8) / (6 * scale)));
    FillRect(img, 0, height - 11 * scale, width, 11 * scale, qRgb(20, 20, 20));
    DrawText(img, 4, height - 9 * scale, scale, text, qRgb(250, 250, 250));
    if (index > 0) {
        const QString num = QStringLiteral("#%1").arg(index);
        FillRect(img, 2, 2, int(num.size()) * 6 * scale * 2 + 6, 8 * scale * 2 + 4, qRgb(0, 0, 0));
        DrawText(img, 5, 4, scale * 2, num, qRgb(255, 220, 0));
    }
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG", 80); // light compression: pictures are generated on demand
    return png;
}

QByteArray InstallerBytes()
{
    // A small but non-trivial body so that download progress is observable.
    QByteArray out("MZ-orvane-installer\n");
    out.reserve(512 * 1024);
    quint32 x = 0x9e3779b9u;
    while (out.size() < 512 * 1024) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out.append(char(x & 0xff));
    }
    return out;
}

} // namespace orvsrv
