#include "images.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

#include <array>
#include <cctype>

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

namespace {

// One member of a ustar archive: header block, data, padding to 512 bytes.
void AppendTarMember(QByteArray& out, const QByteArray& name, const QByteArray& data, int mode)
{
    QByteArray header(512, '\0');
    auto put = [&header](int offset, const QByteArray& field) {
        std::copy(field.begin(), field.end(), header.begin() + offset);
    };
    put(0, name.left(99));
    put(100, QByteArray::number(mode, 8).rightJustified(7, '0'));
    put(108, QByteArray("0000000"));
    put(116, QByteArray("0000000"));
    put(124, QByteArray::number(qlonglong(data.size()), 8).rightJustified(11, '0'));
    put(136, QByteArray::number(1767225600LL, 8).rightJustified(11, '0')); // 2026-01-01
    put(148, QByteArray(8, ' '));
    header[156] = '0';
    put(257, QByteArray("ustar", 6));
    put(263, QByteArray("00"));
    put(265, QByteArray("orvane"));
    put(297, QByteArray("orvane"));
    unsigned sum = 0;
    for (char c : header)
        sum += static_cast<unsigned char>(c);
    put(148, QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray(1, '\0') + ' ');
    out += header;
    out += data;
    out += QByteArray((512 - data.size() % 512) % 512, '\0');
}

// The version goes into a file name and a shell literal: letters, digits and . _ + - only.
QByteArray SafeVersion(const QString& version)
{
    QByteArray out = version.toLatin1();
    for (char& c : out)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '+' && c != '-')
            c = '_';
    return out.isEmpty() ? QByteArray("0") : out;
}

} // namespace

QString InstallerPackageName(const QString& version)
{
    return QStringLiteral("orvane-upload-client-%1-linux.run").arg(QString::fromLatin1(SafeVersion(version)));
}

QByteArray InstallerPackage(const QString& version)
{
    const QByteArray v = SafeVersion(version);
    QByteArray script = R"SH(#!/bin/sh
# Orvane Upload Client @V@: demo package of the local platform server.
# It unpacks its files and writes INSTALLED beside them; nothing else changes.
set -eu
version='@V@'
dest="${ORVANE_INSTALL_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/orvane-upload-client-installer/$version}"
mkdir -p "$dest"
line=$(awk '/^__PAYLOAD__$/ { print NR + 1; exit }' "$0")
tail -n +"$line" "$0" | tar -xf - -C "$dest"
echo "Orvane Upload Client $version installed $(date -u '+%Y-%m-%dT%H:%M:%SZ')" > "$dest/INSTALLED"
echo "Orvane Upload Client $version unpacked into $dest"
exit 0
__PAYLOAD__
)SH";
    script.replace("@V@", v);
    QByteArray tar;
    AppendTarMember(tar, "VERSION", v + '\n', 0644);
    AppendTarMember(tar, "README",
                    "Demo package of Orvane Upload Client " + v + ", served by the local platform server.\n",
                    0644);
    // Filler, so that download progress is visible.
    AppendTarMember(tar, "payload.bin", InstallerBytes(), 0644);
    tar += QByteArray(1024, '\0');
    return script + tar;
}

} // namespace orvsrv
