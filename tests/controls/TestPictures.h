// Pictures made by the tests themselves: solid-colour files in Qt's formats and hand-built GIFs whose
// every byte offset is known.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <vector>

namespace testpictures {

inline QByteArray Encode(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

inline QImage Solid(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

inline QByteArray SolidPng(int width, int height, QColor color = Qt::red) {
    return Encode(Solid(width, height, color), "png");
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The smallest rectangle holding every pixel of an image that is close to color; empty when none is.
inline QRect BoundsOf(const QImage& image, QColor color, int tolerance = 40) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int left = rgb.width(), top = rgb.height(), right = -1, bottom = -1;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = line[x];
            if (std::abs(qRed(p) - color.red()) <= tolerance &&
                std::abs(qGreen(p) - color.green()) <= tolerance &&
                std::abs(qBlue(p) - color.blue()) <= tolerance) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// A GIF89a with a 4-entry global colour table: 0 black, 1 red, 2 green, 3 blue.
struct GifFrame {
    int left = 0, top = 0, width = 1, height = 1;
    int colorIndex = 1;
    bool withControl = true; // a graphic control extension before the image descriptor
    int delay = 0;           // hundredths of a second
    int disposal = 0;
};

struct BuiltGif {
    QByteArray bytes;
    std::vector<int> controlOffsets; // where each frame's graphic control extension starts
};

inline void Put16(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// LZW data for a run of one colour with a minimum code size of 2: 3-bit codes, a clear code before every
// pixel so the code width never grows.
inline QByteArray SolidLzw(int pixels, int colorIndex) {
    QByteArray packed;
    std::uint32_t bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= std::uint32_t(code) << count;
        count += 3;
        while (count >= 8) {
            packed.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        put(4); // clear
        put(colorIndex);
    }
    put(5); // end of information
    if (count > 0) packed.append(char(bits & 0xFF));
    QByteArray out;
    out.append(char(2));
    for (qsizetype pos = 0; pos < packed.size(); pos += 255) {
        const QByteArray block = packed.mid(pos, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
    return out;
}

inline BuiltGif MakeGif(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames) {
    BuiltGif gif;
    QByteArray& out = gif.bytes;
    out.append("GIF89a");
    Put16(out, screenWidth);
    Put16(out, screenHeight);
    out.append(char(0x81)); // global colour table of 4 entries
    out.append(char(0));
    out.append(char(0));
    const unsigned char palette[12] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    out.append(reinterpret_cast<const char*>(palette), 12);
    for (const GifFrame& frame : frames) {
        if (frame.withControl) {
            gif.controlOffsets.push_back(static_cast<int>(out.size()));
            out.append(char(0x21));
            out.append(char(0xF9));
            out.append(char(4));
            out.append(char((frame.disposal & 7) << 2));
            Put16(out, frame.delay);
            out.append(char(0));
            out.append(char(0));
        }
        out.append(char(0x2C));
        Put16(out, frame.left);
        Put16(out, frame.top);
        Put16(out, frame.width);
        Put16(out, frame.height);
        out.append(char(0));
        out.append(SolidLzw(frame.width * frame.height, frame.colorIndex));
    }
    out.append(char(0x3B));
    return gif;
}

// Three frames of different colours, sizes and places on a 20 x 10 screen.
inline BuiltGif ThreeFrameGif(int delay1 = 2, int delay2 = 3, int delay3 = 4) {
    return MakeGif(20, 10,
                   {GifFrame{0, 0, 20, 10, 1, true, delay1, 1}, GifFrame{4, 2, 6, 5, 2, true, delay2, 2},
                    GifFrame{10, 5, 8, 4, 3, true, delay3, 3}});
}

} // namespace testpictures
