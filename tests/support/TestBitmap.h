// A small uncompressed 24-bit .bmp file for the help compiler's picture tests.
#pragma once

#include <QByteArray>

inline QByteArray Bmp24(int width, int height) {
    const int row = (width * 3 + 3) / 4 * 4;
    QByteArray b("BM");
    const auto u32 = [&b](quint32 v) {
        for (int i = 0; i < 4; ++i)
            b += char(v >> (8 * i) & 0xFF);
    };
    const auto u16 = [&b](quint16 v) { b += char(v & 0xFF) + QByteArray(1, char(v >> 8)); };
    const quint32 pixels = quint32(row * height);
    u32(54 + pixels), u32(0), u32(54);
    u32(40), u32(width), u32(height), u16(1), u16(24), u32(0), u32(pixels), u32(2835), u32(2835);
    u32(0), u32(0);
    for (int y = 0; y < height; ++y) {
        QByteArray line(row, '\0');
        for (int x = 0; x < width; ++x)
            line[x * 3 + (x + y) % 3] = char(0xFF); // one bright channel per pixel
        b += line;
    }
    return b;
}
