// Photo files with EXIF thumbnails, made by the tests themselves: the thumbnail may show another picture
// than the photo, so that a test sees which of the two a cell was drawn from.
#pragma once

#include "ExifBuilder.h"

#include <QByteArray>
#include <QColor>

#include <cstdint>
#include <string>

namespace exifthumbs {

namespace craft = quillmark::craft;

// A picture of one colour, or with its left and right halves in two colours.
inline craft::RgbImage Halves(int width, int height, QColor left, QColor right) {
    craft::RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QColor& c = x < width / 2 ? left : right;
            uint8_t* p = &image.pixels[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uint8_t(c.red());
            p[1] = uint8_t(c.green());
            p[2] = uint8_t(c.blue());
        }
    return image;
}

inline craft::RgbImage Solid(int width, int height, QColor color) {
    return Halves(width, height, color, color);
}

// A picture inside flat bars above and below (or left and right) to fill width x height, as cameras fit a
// photo of another shape into their thumbnails.
inline craft::RgbImage Letterboxed(const craft::RgbImage& inner, int width, int height, QColor bars) {
    craft::RgbImage out = Solid(width, height, bars);
    const int left = (width - inner.width) / 2;
    const int top = (height - inner.height) / 2;
    for (int y = 0; y < inner.height; ++y)
        for (int x = 0; x < inner.width; ++x)
            for (int c = 0; c < 3; ++c)
                out.pixels[(size_t(top + y) * size_t(width) + size_t(left + x)) * 3 + size_t(c)] =
                    inner.pixels[(size_t(y) * size_t(inner.width) + size_t(x)) * 3 + size_t(c)];
    return out;
}

// A thumbnail as cameras write it: a JPEG without an APP0 section.
inline std::string ThumbnailJpeg(const craft::RgbImage& image) {
    return craft::EncodeJpeg(image, 92, /*jfifHeader=*/false);
}

// The EXIF block of a camera photo: make, model and (when not 0) an orientation in IFD0, and an IFD1 whose
// JPEGInterchangeFormat and its length point at the thumbnail, laid after the directories.
inline craft::TiffBlock ExifWithThumbnail(const std::string& thumbnail, int orientation = 0,
                                          bool bigEndian = false) {
    craft::TiffBlock tiff(bigEndian);
    tiff.Ascii(0, 0x010F, "Quillmark").Ascii(0, 0x0110, "Thumbnail Camera");
    if (orientation != 0) tiff.Short(0, 0x0112, {uint16_t(orientation)});
    const int ifd1 = tiff.AddIfd();
    tiff.Next(0, ifd1);
    tiff.Short(ifd1, 0x0103, {6});
    tiff.LinkTrailer(ifd1, 0x0201);
    tiff.Long(ifd1, 0x0202, {uint32_t(thumbnail.size())});
    tiff.Trailer(thumbnail);
    return tiff;
}

// A JPEG photo with an EXIF thumbnail.
inline std::string PhotoWithThumbnail(const craft::RgbImage& photo, const craft::RgbImage& thumbnail,
                                      int orientation = 0) {
    craft::JpegFile file;
    file.Soi().Exif(ExifWithThumbnail(ThumbnailJpeg(thumbnail), orientation)).Image(photo, 90);
    return file.Bytes();
}

// The same photo with EXIF but no thumbnail.
inline std::string PhotoWithoutThumbnail(const craft::RgbImage& photo) {
    craft::TiffBlock tiff(false);
    tiff.Ascii(0, 0x010F, "Quillmark");
    craft::JpegFile file;
    file.Soi().Exif(tiff).Image(photo, 90);
    return file.Bytes();
}

inline QByteArray ToBytes(const std::string& bytes) {
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

} // namespace exifthumbs
