// HEIF and AVIF through libheif.
#include "PictureFormats.h"

#include <libheif/heif.h>

#include <memory>
#include <vector>

namespace quillmark {

namespace {

// The widest side libheif may be asked to decode: a 64-megapixel phone photo is 9248 pixels wide; a file
// that claims more is refused before anything is decoded.
constexpr int kMaxHeifSide = 16384;

struct HeifDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
    void operator()(heif_image* i) const { heif_image_release(i); }
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
template <typename T> using HeifPtr = std::unique_ptr<T, HeifDeleter>;

// The colour space a handle's profile names: an ICC profile as it is stored, or the two common nclx
// descriptions (sRGB, and Display P3 as Apple writes it); anything else counts as sRGB.
QColorSpace HandleColorSpace(const heif_image_handle* handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size == 0 || size > 4 * 1024 * 1024) return {};
        QByteArray icc(qsizetype(size), Qt::Uninitialized);
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) return {};
        return QColorSpace::fromIccProfile(icc);
    }
    if (type == heif_color_profile_type_nclx) {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx) return {};
        QColorSpace space;
        if (nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1)
            space = QColorSpace(QColorSpace::DisplayP3);
        heif_nclx_color_profile_free(nclx);
        return space;
    }
    return {};
}

// Decodes one image item to display pixels, transformed as the file says.
QImage DecodeHandle(heif_image_handle* handle, QString& reason) {
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    const int w = heif_image_handle_get_width(handle), h = heif_image_handle_get_height(handle);
    if (w <= 0 || h <= 0 || w > kMaxHeifSide || h > kMaxHeifSide) {
        reason = QStringLiteral("The HEIF picture's size is out of range.");
        return {};
    }
    HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    options->ignore_transformations = 0; // irot and imir are applied here, once
    options->convert_hdr_to_8bit = 1;
    heif_image* raw = nullptr;
    const heif_error error =
        heif_decode_image(handle, &raw, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    HeifPtr<heif_image> image(raw);
    if (error.code != heif_error_Ok || !image) {
        reason =
            QStringLiteral("The HEIF picture cannot be decoded: %1.").arg(QString::fromUtf8(error.message));
        return {};
    }
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int iw = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int ih = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || iw <= 0 || ih <= 0 || stride < iw * (alpha ? 4 : 3)) {
        reason = QStringLiteral("The HEIF picture gave no pixels.");
        return {};
    }
    const QImage view(plane, iw, ih, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    return ToDisplayColors(view.copy(), HandleColorSpace(handle));
}

} // namespace

TCodecPicture DecodeHeif(const QByteArray& data, QSize bound) {
    TCodecPicture result;
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context) {
        result.Reason = QStringLiteral("Out of memory.");
        return result;
    }
    heif_context_set_maximum_image_size_limit(context.get(), kMaxHeifSide);
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                                  size_t(data.size()), nullptr);
    heif_image_handle* rawHandle = nullptr;
    if (error.code == heif_error_Ok) error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    HeifPtr<heif_image_handle> primary(rawHandle);
    if (error.code != heif_error_Ok || !primary) {
        result.Reason =
            QStringLiteral("The HEIF file cannot be read: %1.").arg(QString::fromUtf8(error.message));
        return result;
    }
    // libheif reports the size with the file's transformations applied.
    result.Size =
        QSize(heif_image_handle_get_width(primary.get()), heif_image_handle_get_height(primary.get()));
    if (!bound.isEmpty()) {
        const int count = heif_image_handle_get_number_of_thumbnails(primary.get());
        std::vector<heif_item_id> ids(size_t(std::max(count, 0)));
        if (count > 0) heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), ids.data(), count);
        for (const heif_item_id id : ids) {
            heif_image_handle* rawThumb = nullptr;
            if (heif_image_handle_get_thumbnail(primary.get(), id, &rawThumb).code != heif_error_Ok) continue;
            HeifPtr<heif_image_handle> thumb(rawThumb);
            const int tw = heif_image_handle_get_width(thumb.get()),
                      th = heif_image_handle_get_height(thumb.get());
            // Only a thumbnail of the photo's shape that fills the cell stands in for it.
            const bool sideways = (tw > th) != (result.Size.width() > result.Size.height()) && tw != th;
            const QSize fit = result.Size.scaled(bound, Qt::KeepAspectRatio).boundedTo(result.Size);
            if (sideways || tw < fit.width() || th < fit.height()) continue;
            QString ignored;
            QImage image = DecodeHandle(thumb.get(), ignored);
            if (!image.isNull()) {
                result.Image = std::move(image);
                result.Embedded = true;
                return result;
            }
        }
    }
    result.Image = DecodeHandle(primary.get(), result.Reason);
    if (!result.Image.isNull()) result.Size = result.Image.size();
    return result;
}

} // namespace quillmark
