// HEIF and AVIF through libheif.
#include "PictureFormats.h"

#include <QThread>

#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

namespace quillmark {

namespace {

// The widest side libheif may be asked to decode: a 64-megapixel phone photo is 9248 pixels wide; a file
// that claims more is refused before anything is decoded.
constexpr int kMaxHeifSide = 16384;
// The most a decode is reduced by in each direction: a strip cell of a few dozen pixels takes a few more
// pixels than it shows rather than sums of millions of samples.
constexpr int kMaxReduction = 64;

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

// The YCbCr to RGB matrix, with its range, that libheif's own conversion reads for a decoded image: the
// image's nclx profile, full-range BT.601 without one. Following libheif rather than the file's colr box
// keeps a reduction in the colours of the whole decode, whichever libheif carries the box's profile over to
// the image; an unspecified matrix is read as BT.601 too. None for a matrix left to libheif (identity, the
// chromaticity-derived ones).
struct TYCbCrMatrix {
    double Kr = 0.299, Kb = 0.114;
    bool FullRange = true;
};
std::optional<TYCbCrMatrix> ImageMatrix(const heif_image* image) {
    TYCbCrMatrix matrix;
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_get_nclx_color_profile(image, &nclx).code != heif_error_Ok || !nclx) return matrix;
    const int coefficients = nclx->matrix_coefficients;
    matrix.FullRange = nclx->full_range_flag != 0;
    heif_nclx_color_profile_free(nclx);
    switch (coefficients) {
    case heif_matrix_coefficients_ITU_R_BT_709_5:
        matrix.Kr = 0.2126, matrix.Kb = 0.0722;
        return matrix;
    case heif_matrix_coefficients_unspecified:
    case heif_matrix_coefficients_ITU_R_BT_470_6_System_B_G:
    case heif_matrix_coefficients_ITU_R_BT_601_6:
        return matrix;
    case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
        matrix.Kr = 0.2627, matrix.Kb = 0.0593;
        return matrix;
    default:
        return std::nullopt;
    }
}

// An 8-bit plane of a decoded image, checked to hold width x height samples.
struct TPlane {
    const uint8_t* Data = nullptr;
    qsizetype Stride = 0;
    bool Valid(const heif_image* image, heif_channel channel, int width, int height) {
        int stride = 0;
        Data = heif_image_get_plane_readonly(image, channel, &stride);
        Stride = stride;
        return Data && heif_image_get_bits_per_pixel_range(image, channel) == 8 &&
               heif_image_get_width(image, channel) >= width &&
               heif_image_get_height(image, channel) >= height && Stride >= width;
    }
};

// Each block of factor x factor pixels of a 4:2:0 picture averaged into one RGB pixel (the blocks of the
// right and bottom edges may be cut short): averaging first and converting after gives what converting
// every pixel and averaging would, but converts a ninth of the pixels at a factor of three. The chroma
// sample of a pixel is the one its 2 x 2 square shares. A null image for planes that do not hold the picture.
QImage ReduceYCbCr420(const heif_image* image, int factor, const TYCbCrMatrix& matrix) {
    const int width = heif_image_get_width(image, heif_channel_Y);
    const int height = heif_image_get_height(image, heif_channel_Y);
    if (width <= 0 || height <= 0 || factor < 1 || factor > kMaxReduction) return {};
    TPlane y, cb, cr;
    const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
    if (!y.Valid(image, heif_channel_Y, width, height) ||
        !cb.Valid(image, heif_channel_Cb, chromaWidth, chromaHeight) ||
        !cr.Valid(image, heif_channel_Cr, chromaWidth, chromaHeight))
        return {};
    const int outWidth = (width + factor - 1) / factor, outHeight = (height + factor - 1) / factor;
    QImage out(outWidth, outHeight, QImage::Format_RGB32);
    if (out.isNull()) return {};

    // Per unit of Cb or Cr away from grey, scaled to the full range.
    const double kg = 1 - matrix.Kr - matrix.Kb;
    const double lumaScale = matrix.FullRange ? 1.0 : 255.0 / 219.0;
    const double chromaScale = matrix.FullRange ? 1.0 : 255.0 / 224.0;
    const double lumaOffset = matrix.FullRange ? 0.0 : 16.0;
    const double crToR = 2 * (1 - matrix.Kr) * chromaScale, cbToB = 2 * (1 - matrix.Kb) * chromaScale;
    const double cbToG = -2 * matrix.Kb * (1 - matrix.Kb) / kg * chromaScale;
    const double crToG = -2 * matrix.Kr * (1 - matrix.Kr) / kg * chromaScale;
    const auto clamp = [](double v) { return uint32_t(std::clamp(v + 0.5, 0.0, 255.0)); };

    // At most kMaxReduction^2 * 255 per sum: no overflow.
    std::vector<uint32_t> sumY(static_cast<size_t>(outWidth)), sumCb(sumY), sumCr(sumY);
    for (int oy = 0; oy < outHeight; ++oy) {
        std::fill(sumY.begin(), sumY.end(), 0u);
        std::fill(sumCb.begin(), sumCb.end(), 0u);
        std::fill(sumCr.begin(), sumCr.end(), 0u);
        const int top = oy * factor, bottom = std::min(height, top + factor);
        for (int row = top; row < bottom; ++row) {
            const uint8_t* yRow = y.Data + qsizetype(row) * y.Stride;
            const uint8_t* cbRow = cb.Data + qsizetype(row / 2) * cb.Stride;
            const uint8_t* crRow = cr.Data + qsizetype(row / 2) * cr.Stride;
            int x = 0;
            for (int ox = 0; ox < outWidth; ++ox) {
                const int right = std::min(width, x + factor);
                uint32_t sy = 0, sb = 0, sr = 0;
                for (; x < right; ++x) {
                    sy += yRow[x];
                    sb += cbRow[x / 2];
                    sr += crRow[x / 2];
                }
                sumY[size_t(ox)] += sy;
                sumCb[size_t(ox)] += sb;
                sumCr[size_t(ox)] += sr;
            }
        }
        const int rows = bottom - top;
        auto* line = reinterpret_cast<uint32_t*>(out.scanLine(oy));
        for (int ox = 0; ox < outWidth; ++ox) {
            const int count = rows * (std::min(width, (ox + 1) * factor) - ox * factor);
            const double luma = (double(sumY[size_t(ox)]) / count - lumaOffset) * lumaScale;
            const double blue = double(sumCb[size_t(ox)]) / count - 128.0;
            const double red = double(sumCr[size_t(ox)]) / count - 128.0;
            line[ox] = 0xff000000u | clamp(luma + crToR * red) << 16 |
                       clamp(luma + cbToG * blue + crToG * red) << 8 | clamp(luma + cbToB * blue);
        }
    }
    return out;
}

// libheif's own HEVC decoder, tried again when the one registered here fails: it stays the judge of what a
// file holds.
constexpr const char* kLibheifHevcDecoder = "libde265";

HeifPtr<heif_image> DecodeImage(heif_image_handle* handle, heif_colorspace space, heif_chroma chroma,
                                heif_decoding_options* options, heif_error& error) {
    heif_image* raw = nullptr;
    error = heif_decode_image(handle, &raw, space, chroma, options);
    HeifPtr<heif_image> image(raw);
    if (error.code == heif_error_Decoder_plugin_error) {
        raw = nullptr;
        options->decoder_id = kLibheifHevcDecoder;
        error = heif_decode_image(handle, &raw, space, chroma, options);
        options->decoder_id = nullptr;
        image.reset(raw);
    }
    if (error.code != heif_error_Ok) image.reset();
    return image;
}

// Decodes one image item, transformed as the file says, to display pixels reduced by factor in each
// direction (1: the whole picture). An opaque 8-bit picture with a matrix known here is reduced from its
// YCbCr samples before any colour work; anything else goes through libheif's own RGB conversion.
QImage DecodeHandle(heif_image_handle* handle, int factor, QString& reason, QSize* decoded = nullptr) {
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    const int w = heif_image_handle_get_width(handle), h = heif_image_handle_get_height(handle);
    if (w <= 0 || h <= 0 || w > kMaxHeifSide || h > kMaxHeifSide) {
        reason = QStringLiteral("The HEIF picture's size is out of range.");
        return {};
    }
    factor = std::clamp(factor, 1, kMaxReduction);
    HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    options->ignore_transformations = 0; // irot and imir are applied here, once
    options->convert_hdr_to_8bit = 1;
    const auto failed = [&reason](const heif_error& error) {
        reason =
            QStringLiteral("The HEIF picture cannot be decoded: %1.").arg(QString::fromUtf8(error.message));
        return QImage();
    };
    if (factor > 1 && !alpha && heif_image_handle_get_luma_bits_per_pixel(handle) == 8 &&
        heif_image_handle_get_chroma_bits_per_pixel(handle) == 8) {
        heif_error error;
        const HeifPtr<heif_image> image =
            DecodeImage(handle, heif_colorspace_YCbCr, heif_chroma_420, options.get(), error);
        if (!image) return failed(error);
        if (decoded)
            *decoded = QSize(heif_image_get_width(image.get(), heif_channel_Y),
                             heif_image_get_height(image.get(), heif_channel_Y));
        // A matrix not known here costs a second decode; no camera or phone writes one.
        if (const std::optional<TYCbCrMatrix> matrix = ImageMatrix(image.get())) {
            QImage reduced = ReduceYCbCr420(image.get(), factor, *matrix);
            if (!reduced.isNull()) return ToDisplayColors(std::move(reduced), HandleColorSpace(handle));
        }
    }
    heif_error error;
    const HeifPtr<heif_image> image =
        DecodeImage(handle, heif_colorspace_RGB,
                    alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get(), error);
    if (!image) return failed(error);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int iw = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int ih = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || iw <= 0 || ih <= 0 || stride < iw * (alpha ? 4 : 3)) {
        reason = QStringLiteral("The HEIF picture gave no pixels.");
        return {};
    }
    if (decoded) *decoded = QSize(iw, ih);
    const QImage view(plane, iw, ih, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    // Reduced before the colours are converted: a colour space conversion costs per pixel.
    QImage pixels = factor > 1 ? view.scaled((iw + factor - 1) / factor, (ih + factor - 1) / factor,
                                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               : view.copy();
    return ToDisplayColors(std::move(pixels), HandleColorSpace(handle));
}

// The largest whole factor by which a picture of size can be reduced while it still covers what a fitted
// view of bound shows of it.
int CoveringFactor(QSize size, QSize bound) {
    if (size.isEmpty() || bound.isEmpty()) return 1;
    const QSize shown = size.scaled(bound, Qt::KeepAspectRatio).boundedTo(size).expandedTo(QSize(1, 1));
    return std::clamp(std::min(size.width() / shown.width(), size.height() / shown.height()), 1,
                      kMaxReduction);
}

// libheif hands each HEVC picture to libde265 on one core. libde265 decodes the rows of a picture written
// in wavefronts (as x265 and phones write them) in parallel when it has worker threads; this decoder is
// that, registered above libheif's own so that libheif still reads the file, its grid and transformations
// and feeds the NAL units here. It serves the view's reductions and the whole decodes alike.
struct THevcDecoder {
    de265_decoder_context* Context = nullptr;
    size_t Units = 0; // NAL units pushed: they bound the decoding steps
    size_t Bytes = 0;
};

// A picture of fewer bytes than this is a grid's tile or a thumbnail: libheif already decodes tiles side by
// side, and worker threads would only cost their start.
constexpr size_t kThreadedBytes = 512 * 1024;

constexpr heif_error kHevcOk{heif_error_Ok, heif_suberror_Unspecified, "Success"};
heif_error HevcFailure(const char* text) {
    return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, text};
}

const char* HevcName() {
    return "libde265 with worker threads";
}
void HevcNothing() {}
int HevcSupports(heif_compression_format format) {
    return format == heif_compression_HEVC ? 120 : 0; // libheif's own decoders ask for 100
}

heif_error HevcNew(void** decoder) {
    auto* made = new (std::nothrow) THevcDecoder;
    if (made) made->Context = de265_new_decoder();
    if (!made || !made->Context) {
        delete made;
        return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, "Out of memory"};
    }
    // The hash of each picture is a check of the encoder's, not of the file's bytes: it only costs time.
    de265_set_parameter_bool(made->Context, DE265_DECODER_PARAM_BOOL_SEI_CHECK_HASH, 0);
    *decoder = made;
    return kHevcOk;
}

void HevcFree(void* decoder) {
    auto* d = static_cast<THevcDecoder*>(decoder);
    if (!d) return;
    de265_free_decoder(d->Context);
    delete d;
}

void HevcStrict(void*, int) {}

// NAL units, each after its size in four big-endian bytes, as libheif passes both the hvcC headers and
// the item's data.
heif_error HevcPush(void* decoder, const void* data, size_t size) {
    auto* d = static_cast<THevcDecoder*>(decoder);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t at = 0;
    while (size - at >= 4) {
        const uint32_t length = uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
                                uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
        at += 4;
        if (length > size - at || length > uint32_t(std::numeric_limits<int>::max()))
            return HevcFailure("A NAL unit's size runs past its data");
        if (de265_push_NAL(d->Context, bytes + at, int(length), 0, nullptr) != DE265_OK)
            return HevcFailure("libde265 took no more data");
        at += length;
        ++d->Units;
        d->Bytes += length;
    }
    if (at != size) return HevcFailure("A NAL unit's size runs past its data");
    return kHevcOk;
}

heif_error HevcDecode(void* decoder, heif_image** out) {
    auto* d = static_cast<THevcDecoder*>(decoder);
    *out = nullptr;
    const int threads = std::min(QThread::idealThreadCount(), 4);
    if (threads > 1 && d->Bytes >= kThreadedBytes) de265_start_worker_threads(d->Context, threads);
    de265_flush_data(d->Context);
    const de265_image* picture = nullptr;
    int more = 1;
    // Each step takes a NAL unit or a picture out; a stalled decoder is not waited for without end.
    for (size_t step = 0; more && !picture && step < 4 * d->Units + 64; ++step) {
        more = 0;
        const de265_error error = de265_decode(d->Context, &more);
        picture = de265_get_next_picture(d->Context);
        if (!de265_isOK(error) && error != DE265_ERROR_WAITING_FOR_INPUT_DATA) break;
    }
    if (!picture) picture = de265_get_next_picture(d->Context);
    if (!picture) return HevcFailure("The HEVC data gave no picture");

    const de265_chroma format = de265_get_chroma_format(picture);
    const bool mono = format == de265_chroma_mono;
    const heif_chroma chroma = mono                         ? heif_chroma_monochrome
                               : format == de265_chroma_420 ? heif_chroma_420
                               : format == de265_chroma_422 ? heif_chroma_422
                                                            : heif_chroma_444;
    heif_image* image = nullptr;
    heif_error error =
        heif_image_create(de265_get_image_width(picture, 0), de265_get_image_height(picture, 0),
                          mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr, chroma, &image);
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (int c = 0; c < (mono ? 1 : 3) && error.code == heif_error_Ok; ++c) {
        const int width = de265_get_image_width(picture, c), height = de265_get_image_height(picture, c);
        const int bits = de265_get_bits_per_pixel(picture, c);
        int fromStride = 0, toStride = 0;
        const uint8_t* from = de265_get_image_plane(picture, c, &fromStride);
        if (width <= 0 || height <= 0 || bits < 1 || bits > 16 || !from) {
            error = HevcFailure("The HEVC picture has a plane of no size");
            break;
        }
        error = heif_image_add_plane(image, channels[c], width, height, bits);
        if (error.code != heif_error_Ok) break;
        uint8_t* to = heif_image_get_plane(image, channels[c], &toStride);
        const size_t row = size_t(width) * (bits > 8 ? 2 : 1);
        if (!to || size_t(std::max(fromStride, 0)) < row || size_t(std::max(toStride, 0)) < row) {
            error = HevcFailure("The HEVC picture's planes do not hold their rows");
            break;
        }
        for (int y = 0; y < height; ++y)
            std::memcpy(to + qsizetype(y) * toStride, from + qsizetype(y) * fromStride, row);
    }
    de265_release_next_picture(d->Context);
    if (error.code != heif_error_Ok) {
        if (image) heif_image_release(image);
        return error;
    }
    *out = image;
    return kHevcOk;
}

// Filled field by field: libheif's later versions add fields this one leaves empty.
const heif_decoder_plugin* HevcPlugin() {
    static const heif_decoder_plugin plugin = [] {
        heif_decoder_plugin made{};
        made.plugin_api_version = 3;
        made.get_plugin_name = HevcName;
        made.init_plugin = HevcNothing;
        made.deinit_plugin = HevcNothing;
        made.does_support_format = HevcSupports;
        made.new_decoder = HevcNew;
        made.free_decoder = HevcFree;
        made.push_data = HevcPush;
        made.decode_image = HevcDecode;
        made.set_strict_decoding = HevcStrict;
        made.id_name = "quillmark-libde265";
        return made;
    }();
    return &plugin;
}

void RegisterHevcDecoder() {
    static std::once_flag once;
    std::call_once(once, [] {
        heif_init(nullptr);
        heif_register_decoder_plugin(HevcPlugin());
    });
}

} // namespace

TCodecPicture DecodeHeif(const QByteArray& data, QSize bound, THeifThumbnails thumbnails) {
    TCodecPicture result;
    RegisterHevcDecoder();
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
    if (!bound.isEmpty() && thumbnails != THeifThumbnails::Never) {
        const int count = heif_image_handle_get_number_of_thumbnails(primary.get());
        std::vector<heif_item_id> ids(size_t(std::clamp(count, 0, 64)));
        if (!ids.empty())
            heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), ids.data(), int(ids.size()));
        // A cell takes the first that fills it; a stand-in the largest there is.
        HeifPtr<heif_image_handle> chosen;
        for (const heif_item_id id : ids) {
            heif_image_handle* rawThumb = nullptr;
            if (heif_image_handle_get_thumbnail(primary.get(), id, &rawThumb).code != heif_error_Ok) continue;
            HeifPtr<heif_image_handle> thumb(rawThumb);
            const int tw = heif_image_handle_get_width(thumb.get()),
                      th = heif_image_handle_get_height(thumb.get());
            // Only a thumbnail of the photo's shape stands in for it.
            const bool sideways = (tw > th) != (result.Size.width() > result.Size.height()) && tw != th;
            const QSize fit = result.Size.scaled(bound, Qt::KeepAspectRatio).boundedTo(result.Size);
            if (sideways || tw <= 0 || th <= 0) continue;
            if (thumbnails == THeifThumbnails::Covering && (tw < fit.width() || th < fit.height())) continue;
            if (chosen && qint64(tw) * th <= qint64(heif_image_handle_get_width(chosen.get())) *
                                                 heif_image_handle_get_height(chosen.get()))
                continue;
            chosen = std::move(thumb);
            if (thumbnails == THeifThumbnails::Covering) break;
        }
        if (chosen) {
            QString ignored;
            QImage image = DecodeHandle(chosen.get(), 1, ignored);
            if (!image.isNull()) {
                result.Image = std::move(image);
                result.Embedded = true;
                return result;
            }
        }
    }
    const int factor = CoveringFactor(result.Size, bound);
    // The size of the pixels decoded is the size the full decode will have, should libheif's handle say
    // otherwise.
    QSize decoded;
    result.Image = DecodeHandle(primary.get(), factor, result.Reason, &decoded);
    if (!result.Image.isNull()) result.Size = factor == 1 ? result.Image.size() : decoded;
    return result;
}

} // namespace quillmark
