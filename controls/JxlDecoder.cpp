// JPEG XL through libjxl.
#include "PictureFormats.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/version.h>

#include <memory>

namespace quillmark {

namespace {

// The most pixels a JPEG XL picture may claim before it is refused undecoded (a gigabyte of RGBA).
constexpr quint64 kMaxJxlPixels = 256ull * 1024 * 1024;

// libjxl 0.9 dropped the pixel format argument of the ICC profile calls (Debian 13 has 0.11, 12 has 0.7).
#if JPEGXL_NUMERIC_VERSION >= JPEGXL_COMPUTE_NUMERIC_VERSION(0, 9, 0)
#define QUILLMARK_JXL_ICC_ARGS(decoder) decoder
#else
#define QUILLMARK_JXL_ICC_ARGS(decoder) decoder, nullptr
#endif

struct JxlDeleter {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};

struct RunnerDeleter {
    void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};

} // namespace

TCodecPicture DecodeJxl(const QByteArray& data) {
    TCodecPicture result;
    std::unique_ptr<JxlDecoder, JxlDeleter> decoder(JxlDecoderCreate(nullptr));
    // The strip decodes on one worker per core already: each picture uses two threads at most.
    std::unique_ptr<void, RunnerDeleter> runner(JxlThreadParallelRunnerCreate(nullptr, 2));
    if (!decoder || !runner ||
        JxlDecoderSetParallelRunner(decoder.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                     JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                           size_t(data.size())) != JXL_DEC_SUCCESS) {
        result.Reason = QStringLiteral("The JPEG XL decoder cannot be started.");
        return result;
    }
    JxlDecoderCloseInput(decoder.get());
    // Pixels come out oriented by the codestream (the decoder's default), so the EXIF tag is never applied.
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlBasicInfo info{};
    QImage image;
    QColorSpace space;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        if (status == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) break;
            const bool sideways = info.orientation >= JXL_ORIENT_TRANSPOSE;
            const quint64 w = sideways ? info.ysize : info.xsize, h = sideways ? info.xsize : info.ysize;
            if (w == 0 || h == 0 || w > 65535 || h > 65535 || w * h > kMaxJxlPixels) {
                result.Reason = QStringLiteral("The JPEG XL picture's size is out of range.");
                return result;
            }
            result.Size = QSize(int(w), int(h));
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            size_t size = 0;
            if (JxlDecoderGetICCProfileSize(QUILLMARK_JXL_ICC_ARGS(decoder.get()),
                                            JXL_COLOR_PROFILE_TARGET_DATA, &size) == JXL_DEC_SUCCESS &&
                size > 0 && size < 4 * 1024 * 1024) {
                QByteArray icc(qsizetype(size), Qt::Uninitialized);
                if (JxlDecoderGetColorAsICCProfile(
                        QUILLMARK_JXL_ICC_ARGS(decoder.get()), JXL_COLOR_PROFILE_TARGET_DATA,
                        reinterpret_cast<uint8_t*>(icc.data()), size) == JXL_DEC_SUCCESS)
                    space = QColorSpace::fromIccProfile(icc);
            }
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t size = 0;
            if (result.Size.isEmpty() ||
                JxlDecoderImageOutBufferSize(decoder.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size != size_t(result.Size.width()) * size_t(result.Size.height()) * 4)
                break;
            image = QImage(result.Size, QImage::Format_RGBA8888);
            if (image.isNull() || image.bytesPerLine() != result.Size.width() * 4) {
                result.Reason = QStringLiteral("Out of memory.");
                return result;
            }
            if (JxlDecoderSetImageOutBuffer(decoder.get(), &format, image.bits(), size) != JXL_DEC_SUCCESS)
                break;
        } else if (status == JXL_DEC_FULL_IMAGE) {
            // The first frame is the picture; animations show their first frame.
            if (!image.isNull()) {
                if (!info.alpha_bits) image = image.convertToFormat(QImage::Format_RGBX8888);
                result.Image = ToDisplayColors(std::move(image), space);
                return result;
            }
        } else if (status == JXL_DEC_SUCCESS || status == JXL_DEC_ERROR ||
                   status == JXL_DEC_NEED_MORE_INPUT) {
            break;
        }
    }
    result.Reason = QStringLiteral("The JPEG XL file is damaged or cut short.");
    return result;
}

} // namespace quillmark
