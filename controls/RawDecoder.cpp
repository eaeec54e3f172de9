// Camera raw files through LibRaw (its thread-safe build): the embedded preview first, LibRaw's own
// development of the sensor data when there is no preview worth showing.
#include "PictureFormats.h"

#include <libraw/libraw.h>

#include <memory>
#include <new>

namespace quillmark {

namespace {

// LibRaw's flip (0, 3, 5, 6) as the EXIF orientation it stands for.
int OrientationForFlip(int flip) {
    switch (flip) {
    case 3:
        return 3;
    case 5:
        return 8;
    case 6:
        return 6;
    default:
        return 1;
    }
}

struct MemImageDeleter {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};
using MemImage = std::unique_ptr<libraw_processed_image_t, MemImageDeleter>;

QImage FromBitmap(const libraw_processed_image_t& bitmap) {
    if (bitmap.type != LIBRAW_IMAGE_BITMAP || bitmap.bits != 8 ||
        (bitmap.colors != 3 && bitmap.colors != 1) || bitmap.width == 0 || bitmap.height == 0 ||
        quint64(bitmap.width) * bitmap.height * bitmap.colors > bitmap.data_size)
        return {};
    const QImage view(bitmap.data, bitmap.width, bitmap.height, int(bitmap.width) * bitmap.colors,
                      bitmap.colors == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    return ToDisplayColors(view.copy());
}

std::unique_ptr<LibRaw> Open(const QByteArray& data, QString& reason) {
    std::unique_ptr<LibRaw> raw(new (std::nothrow) LibRaw(LIBRAW_OPTIONS_NONE));
    if (!raw) {
        reason = QStringLiteral("Out of memory.");
        return nullptr;
    }
    const int opened = raw->open_buffer(const_cast<char*>(data.constData()), size_t(data.size()));
    if (opened != LIBRAW_SUCCESS) {
        reason = QStringLiteral("The raw file cannot be read: %1.")
                     .arg(QString::fromUtf8(libraw_strerror(opened)));
        return nullptr;
    }
    return raw;
}

} // namespace

int RawOrientation(const QByteArray& data) {
    QString ignored;
    const std::unique_ptr<LibRaw> raw = Open(data, ignored);
    return raw ? OrientationForFlip(raw->imgdata.sizes.flip) : 1;
}

TCodecPicture DecodeRaw(const QByteArray& data, QSize bound, bool previewOnly) {
    TCodecPicture result;
    std::unique_ptr<LibRaw> raw = Open(data, result.Reason);
    if (!raw) return result;
    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    const int orientation = OrientationForFlip(sizes.flip);
    const bool sideways = orientation >= 5;
    result.Size = sideways ? QSize(sizes.iheight, sizes.iwidth) : QSize(sizes.iwidth, sizes.iheight);
    if (sizes.iwidth == 0 && sizes.width)
        result.Size = sideways ? QSize(sizes.height, sizes.width) : QSize(sizes.width, sizes.height);

    // A preview at least a quarter of the sensor's width (or the only picture to be had) is what a
    // camera shows of its own photo; smaller ones are only thumbnails.
    QByteArray previewJpeg;
    QImage previewBitmap;
    int previewWidth = 0;
    if (raw->unpack_thumb() == LIBRAW_SUCCESS) {
        int error = 0;
        MemImage thumb(raw->dcraw_make_mem_thumb(&error));
        if (thumb && thumb->type == LIBRAW_IMAGE_JPEG && thumb->data_size > 2) {
            previewJpeg = QByteArray(reinterpret_cast<const char*>(thumb->data), qsizetype(thumb->data_size));
            previewWidth = std::max<int>(raw->imgdata.thumbnail.twidth, raw->imgdata.thumbnail.theight);
        } else if (thumb) {
            previewBitmap = FromBitmap(*thumb);
            previewWidth = std::max(previewBitmap.width(), previewBitmap.height());
        }
    }
    const int sensorSide = std::max(result.Size.width(), result.Size.height());
    const bool previewServes = previewOnly || previewWidth == 0 || previewWidth * 4 >= sensorSide;
    if (previewServes && (!previewJpeg.isEmpty() || !previewBitmap.isNull())) {
        result.Preview = previewJpeg;
        result.Image = previewBitmap;
        result.Orientation = orientation;
        result.Embedded = true;
        return result;
    }
    // A raw file's sensor data lies in the file, a few bits per pixel at the least: one that claims far
    // more pixels than its bytes could hold is not developed, so a small hostile file cannot take
    // gigabytes.
    const quint64 claimed = quint64(sizes.raw_width) * sizes.raw_height;
    const bool plausible = claimed > 0 && claimed <= quint64(data.size()) * 4;
    if (!previewOnly && plausible) {
        libraw_output_params_t& params = raw->imgdata.params;
        params.output_bps = 8;
        params.use_camera_wb = 1;
        params.half_size = bound.isEmpty() ? 0 : 1;
        int error = raw->unpack();
        if (error == LIBRAW_SUCCESS) error = raw->dcraw_process();
        if (error == LIBRAW_SUCCESS) {
            MemImage developed(raw->dcraw_make_mem_image(&error));
            // LibRaw turns the developed picture upright itself.
            if (developed) result.Image = FromBitmap(*developed);
            if (!result.Image.isNull()) return result;
        }
        if (!previewJpeg.isEmpty() || !previewBitmap.isNull()) {
            result.Preview = previewJpeg;
            result.Image = previewBitmap;
            result.Orientation = orientation;
            result.Embedded = true;
            return result;
        }
        result.Reason = QStringLiteral("The raw file holds no preview, and its picture data is missing or "
                                       "cannot be decoded.");
        return result;
    }
    result.Reason = QStringLiteral("The raw file holds no preview.");
    return result;
}

} // namespace quillmark
