#include "JpegCodec.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include <jpeglib.h>
#include <turbojpeg.h>

namespace quillmark {

namespace {

// How libjpeg failures come back to C++.
//
// libjpeg reports a fatal error by calling the error manager's error_exit, which must not return.
// The default one calls exit(), which a viewer cannot allow. Throwing a C++ exception from it is not
// safe either: the exception would unwind through libjpeg's C frames, which are compiled without any
// promise of unwind information and hold no cleanup for such an exit.
//
// So error_exit records libjpeg's message and longjmps to a setjmp in RunDecode or RunEncode. Those
// two are written in C style on purpose: everything they touch lives in a job record owned by their
// caller, and they declare no local with a destructor, so the jump skips nothing that needs cleaning
// up (the frames it crosses are libjpeg's own and our callbacks, which hold only plain data). They
// report success or failure with a boolean; their C++ callers then free libjpeg's object and the
// buffers through the job's destructor and throw JpegCodecError with the recorded message.
// Allocations that may throw std::bad_alloc are made only by functions RunDecode calls directly,
// never from inside a libjpeg call, so such an exception never crosses a C frame either.

struct ErrorManager {
    jpeg_error_mgr pub; // first member: libjpeg knows only this part
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
    char firstWarning[JMSG_LENGTH_MAX];
};

ErrorManager* ErrorsOf(j_common_ptr cinfo) {
    return reinterpret_cast<ErrorManager*>(cinfo->err);
}

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
    ErrorManager* err = ErrorsOf(cinfo);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

[[noreturn]] void FailWith(j_common_ptr cinfo, const char* message) {
    ErrorManager* err = ErrorsOf(cinfo);
    std::snprintf(err->message, sizeof err->message, "%s", message);
    std::longjmp(err->jump, 1);
}

// Warnings (level -1) are counted and the first one kept; trace messages are dropped. Nothing is
// ever printed: a viewer has no console to print to.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    ErrorManager* err = ErrorsOf(cinfo);
    if (err->warnings == 0) (*cinfo->err->format_message)(cinfo, err->firstWarning);
    if (err->warnings < std::numeric_limits<int>::max()) err->warnings += 1;
    cinfo->err->num_warnings += 1;
}

void OnJpegOutput(j_common_ptr) {}

// A progressive stream may hold any number of scans, each costing a pass over the whole picture;
// real encoders write about ten. A stream with thousands of tiny scans is an attack on the time a
// thumbnail takes, so it is refused.
constexpr int kMaxScans = 500;

void OnJpegProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        FailWith(cinfo, "Too many scans in the JPEG stream");
}

void InstallErrorManager(j_common_ptr cinfo, ErrorManager* err) {
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = OnJpegError;
    err->pub.emit_message = OnJpegMessage;
    err->pub.output_message = OnJpegOutput;
    err->message[0] = '\0';
    err->firstWarning[0] = '\0';
    err->warnings = 0;
}

// ---------------------------------------------------------------------------------------------
// Decoding

struct DecodeJob {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    bool created = false;

    const unsigned char* input = nullptr;
    size_t inputSize = 0;
    int scaleDenom = 1;
    bool headerOnly = false;

    TJpegSize header;
    int outWidth = 0, outHeight = 0;
    bool cmyk = false;
    std::vector<uint8_t> pixels; // outWidth * outHeight * 3
    std::vector<uint8_t> row;    // one CMYK row when converting

    DecodeJob() = default;
    DecodeJob(const DecodeJob&) = delete;
    DecodeJob& operator=(const DecodeJob&) = delete;
    ~DecodeJob() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// Called from RunDecode between libjpeg calls; may throw std::bad_alloc.
void AllocateOutput(DecodeJob* job) {
    job->pixels.resize(static_cast<size_t>(job->outWidth) * static_cast<size_t>(job->outHeight) * 3);
    if (job->cmyk) job->row.resize(static_cast<size_t>(job->outWidth) * 4);
}

uint8_t Scale255(unsigned a, unsigned b) {
    return static_cast<uint8_t>((a * b + 127) / 255);
}

// CMYK to RGB. Adobe's encoders (the only common source of CMYK JPEGs, marked by their APP14)
// store the channels inverted, so 255 means no ink there.
void CmykRowToRgb(const uint8_t* in, uint8_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x) {
        unsigned c = in[4 * x], m = in[4 * x + 1], y = in[4 * x + 2], k = in[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[3 * x] = Scale255(c, k);
        out[3 * x + 1] = Scale255(m, k);
        out[3 * x + 2] = Scale255(y, k);
    }
}

// The setjmp frame for decoding. No local here has a destructor (see the note at the top).
bool RunDecode(DecodeJob* job) {
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&job->cinfo), &job->err);
    if (setjmp(job->err.jump)) return false;

    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    job->progress.progress_monitor = OnJpegProgress;
    job->cinfo.progress = &job->progress;
    // Multi-scan pictures keep their coefficients for the whole picture; with no backing store,
    // libjpeg refuses with an error when they would need more than this.
    job->cinfo.mem->max_memory_to_use = static_cast<long>(kMaxDecodedBytes);
    jpeg_mem_src(&job->cinfo, job->input, static_cast<unsigned long>(job->inputSize));
    jpeg_read_header(&job->cinfo, TRUE);

    job->header.Width = static_cast<int>(job->cinfo.image_width);
    job->header.Height = static_cast<int>(job->cinfo.image_height);
    job->header.Components = job->cinfo.num_components;
    if (job->headerOnly) return true;

    const uint64_t fullBytes =
        uint64_t{job->cinfo.image_width} * uint64_t{job->cinfo.image_height} * uint64_t{3};
    if (fullBytes > kMaxDecodedBytes) {
        std::snprintf(job->err.message, sizeof job->err.message,
                      "Picture too large: %u x %u pixels (more than %llu MiB as RGB)",
                      static_cast<unsigned>(job->cinfo.image_width),
                      static_cast<unsigned>(job->cinfo.image_height),
                      static_cast<unsigned long long>(kMaxDecodedBytes >> 20));
        return false;
    }

    job->cmyk = job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK;
    job->cinfo.out_color_space = job->cmyk ? JCS_CMYK : JCS_RGB;
    job->cinfo.scale_num = 1;
    job->cinfo.scale_denom = static_cast<unsigned>(job->scaleDenom);
    jpeg_calc_output_dimensions(&job->cinfo);
    if (job->cinfo.output_components != (job->cmyk ? 4 : 3))
        FailWith(reinterpret_cast<j_common_ptr>(&job->cinfo), "Unsupported colour layout in the JPEG stream");
    job->outWidth = static_cast<int>(job->cinfo.output_width);
    job->outHeight = static_cast<int>(job->cinfo.output_height);
    AllocateOutput(job);

    jpeg_start_decompress(&job->cinfo);
    const size_t stride = static_cast<size_t>(job->outWidth) * 3;
    while (job->cinfo.output_scanline < job->cinfo.output_height) {
        uint8_t* target = job->pixels.data() + stride * job->cinfo.output_scanline;
        JSAMPROW row = job->cmyk ? job->row.data() : target;
        if (jpeg_read_scanlines(&job->cinfo, &row, 1) != 1)
            FailWith(reinterpret_cast<j_common_ptr>(&job->cinfo), "libjpeg stopped before the last row");
        if (job->cmyk) CmykRowToRgb(job->row.data(), target, job->outWidth, job->cinfo.saw_Adobe_marker);
    }
    // No jpeg_finish_decompress: every row is read, and what follows the last scan (markers, junk
    // before EOI) is of no use to us; an error there must not cost the picture. Destroying the
    // object frees everything.
    return true;
}

void RunDecodeOrThrow(DecodeJob& job, std::string_view bytes) {
    job.input = reinterpret_cast<const unsigned char*>(bytes.data());
    job.inputSize = bytes.size();
    if (!RunDecode(&job)) throw JpegCodecError(std::string("Cannot decode JPEG picture: ") + job.err.message);
}

// ---------------------------------------------------------------------------------------------
// Encoding

// A destination that grows a malloc'd buffer owned by the job, so that the bytes are freed whether
// or not the encoding gets to its end.
struct GrowingDestination {
    jpeg_destination_mgr pub; // first member
    unsigned char* buffer;
    size_t capacity;
    size_t size;
};

GrowingDestination* DestinationOf(j_compress_ptr cinfo) {
    return reinterpret_cast<GrowingDestination*>(cinfo->dest);
}

void OnInitDestination(j_compress_ptr cinfo) {
    GrowingDestination* d = DestinationOf(cinfo);
    if (!d->buffer) {
        d->capacity = 64 * 1024;
        d->buffer = static_cast<unsigned char*>(std::malloc(d->capacity));
        if (!d->buffer) FailWith(reinterpret_cast<j_common_ptr>(cinfo), "Out of memory");
    }
    d->size = 0;
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = d->capacity;
}

// Called when the buffer is full: double it.
boolean OnEmptyOutputBuffer(j_compress_ptr cinfo) {
    GrowingDestination* d = DestinationOf(cinfo);
    const size_t used = d->capacity;
    if (used > std::numeric_limits<size_t>::max() / 2)
        FailWith(reinterpret_cast<j_common_ptr>(cinfo), "Out of memory");
    auto* grown = static_cast<unsigned char*>(std::realloc(d->buffer, used * 2));
    if (!grown) FailWith(reinterpret_cast<j_common_ptr>(cinfo), "Out of memory");
    d->buffer = grown;
    d->capacity = used * 2;
    d->pub.next_output_byte = d->buffer + used;
    d->pub.free_in_buffer = d->capacity - used;
    return TRUE;
}

void OnTermDestination(j_compress_ptr cinfo) {
    GrowingDestination* d = DestinationOf(cinfo);
    d->size = d->capacity - d->pub.free_in_buffer;
}

struct EncodeJob {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    GrowingDestination dest{};
    bool created = false;

    const uint8_t* pixels = nullptr;
    int width = 0, height = 0, quality = 75;

    EncodeJob() = default;
    EncodeJob(const EncodeJob&) = delete;
    EncodeJob& operator=(const EncodeJob&) = delete;
    ~EncodeJob() {
        if (created) jpeg_destroy_compress(&cinfo);
        std::free(dest.buffer);
    }
};

// The setjmp frame for encoding. No local here has a destructor (see the note at the top).
bool RunEncode(EncodeJob* job) {
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&job->cinfo), &job->err);
    if (setjmp(job->err.jump)) return false;

    jpeg_create_compress(&job->cinfo);
    job->created = true;
    job->dest.pub.init_destination = OnInitDestination;
    job->dest.pub.empty_output_buffer = OnEmptyOutputBuffer;
    job->dest.pub.term_destination = OnTermDestination;
    job->cinfo.dest = &job->dest.pub;

    job->cinfo.image_width = static_cast<JDIMENSION>(job->width);
    job->cinfo.image_height = static_cast<JDIMENSION>(job->height);
    job->cinfo.input_components = 3;
    job->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job->cinfo); // includes the JFIF APP0
    jpeg_set_quality(&job->cinfo, job->quality, TRUE);
    jpeg_start_compress(&job->cinfo, TRUE);
    const size_t stride = static_cast<size_t>(job->width) * 3;
    while (job->cinfo.next_scanline < job->cinfo.image_height) {
        // libjpeg's row type is not const, but compression only reads the rows.
        JSAMPROW row = const_cast<JSAMPROW>(job->pixels + stride * job->cinfo.next_scanline);
        jpeg_write_scanlines(&job->cinfo, &row, 1);
    }
    jpeg_finish_compress(&job->cinfo);
    return true;
}

} // namespace

TRgbImage DecodeJpeg(std::string_view bytes, int scaleDenom) {
    if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8)
        throw JpegCodecError("Unsupported JPEG decoding scale 1/" + std::to_string(scaleDenom));
    auto job = std::make_unique<DecodeJob>();
    job->scaleDenom = scaleDenom;
    RunDecodeOrThrow(*job, bytes);
    TRgbImage image;
    image.Width = job->outWidth;
    image.Height = job->outHeight;
    image.Pixels = std::move(job->pixels);
    image.Damaged = job->err.warnings > 0;
    image.Warning = job->err.firstWarning;
    return image;
}

TRgbImage DecodeJpegFile(const std::string& fileName, int scaleDenom) {
    const auto fail = [&](const std::string& why) {
        return JpegCodecError("Cannot read " + fileName + ": " + why);
    };
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
    if (!file) throw fail(std::strerror(errno));
    std::string bytes;
    char chunk[64 * 1024];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.append(chunk, got);
        // The compressed data of a picture we would decode is far smaller than its pixels.
        if (bytes.size() > kMaxDecodedBytes) throw fail("file too large");
        if (got < sizeof chunk) break;
    }
    if (std::ferror(file.get())) throw fail(std::strerror(errno));
    return DecodeJpeg(bytes, scaleDenom);
}

TJpegSize ReadJpegSize(std::string_view bytes) {
    auto job = std::make_unique<DecodeJob>();
    job->headerOnly = true;
    RunDecodeOrThrow(*job, bytes);
    return job->header;
}

int ChooseScaleDenom(int width, int height, int wantWidth, int wantHeight) {
    for (int d : {8, 4, 2}) {
        const int64_t w = (int64_t{width} + d - 1) / d;
        const int64_t h = (int64_t{height} + d - 1) / d;
        if (w >= wantWidth && h >= wantHeight) return d;
    }
    return 1;
}

TEncodedJpeg EncodeJpeg(const TRgbImage& image, int quality) {
    if (image.Width < 1 || image.Height < 1 || image.Width > JPEG_MAX_DIMENSION ||
        image.Height > JPEG_MAX_DIMENSION)
        throw JpegCodecError("Cannot encode a picture of " + std::to_string(image.Width) + " x " +
                             std::to_string(image.Height) + " pixels");
    const size_t need = static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) * 3;
    if (image.Pixels.size() < need)
        throw JpegCodecError("Cannot encode: the picture holds " + std::to_string(image.Pixels.size()) +
                             " bytes of pixels, " + std::to_string(need) + " needed");
    if (quality < 1 || quality > 100)
        throw JpegCodecError("JPEG quality must be 1 to 100, not " + std::to_string(quality));

    auto job = std::make_unique<EncodeJob>();
    job->pixels = image.Pixels.data();
    job->width = image.Width;
    job->height = image.Height;
    job->quality = quality;
    if (!RunEncode(job.get()))
        throw JpegCodecError(std::string("Cannot encode JPEG picture: ") + job->err.message);
    TEncodedJpeg out;
    out.Bytes.assign(reinterpret_cast<const char*>(job->dest.buffer), job->dest.size);
    out.Width = image.Width;
    out.Height = image.Height;
    return out;
}

namespace {

int TurboOp(TJpegTransform transform) {
    switch (transform) {
    case TJpegTransform::None:
        return TJXOP_NONE;
    case TJpegTransform::FlipH:
        return TJXOP_HFLIP;
    case TJpegTransform::FlipV:
        return TJXOP_VFLIP;
    case TJpegTransform::Transpose:
        return TJXOP_TRANSPOSE;
    case TJpegTransform::Transverse:
        return TJXOP_TRANSVERSE;
    case TJpegTransform::Rotate90:
        return TJXOP_ROT90;
    case TJpegTransform::Rotate180:
        return TJXOP_ROT180;
    case TJpegTransform::Rotate270:
        return TJXOP_ROT270;
    }
    return TJXOP_NONE;
}

struct TurboHandle {
    tjhandle Handle = tjInitTransform();
    ~TurboHandle() {
        if (Handle) tjDestroy(Handle);
    }
};

struct Header {
    int Width = 0, Height = 0, McuWidth = 0, McuHeight = 0;
};

Header ReadHeader(tjhandle handle, std::string_view jpeg) {
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(jpeg.data()),
                            static_cast<unsigned long>(jpeg.size()), &width, &height, &subsampling,
                            &colorspace) != 0 ||
        subsampling < 0 || subsampling >= TJ_NUMSAMP)
        throw JpegCodecError(std::string("Cannot read the JPEG header: ") + tjGetErrorStr2(handle));
    return {width, height, tjMCUWidth[subsampling], tjMCUHeight[subsampling]};
}

} // namespace

bool TransformIsWhole(TJpegTransform transform, int width, int height, int mcuWidth, int mcuHeight) {
    if (mcuWidth <= 0 || mcuHeight <= 0) return false;
    const bool wholeWidth = width % mcuWidth == 0, wholeHeight = height % mcuHeight == 0;
    switch (transform) {
    case TJpegTransform::None:
    case TJpegTransform::Transpose:
        return true;
    case TJpegTransform::FlipH:
    case TJpegTransform::Rotate90:
        // The right edge moves (to the left, or to the top and back to the left after the turn).
        return transform == TJpegTransform::FlipH ? wholeWidth : wholeHeight;
    case TJpegTransform::FlipV:
    case TJpegTransform::Rotate270:
        return transform == TJpegTransform::FlipV ? wholeHeight : wholeWidth;
    case TJpegTransform::Transverse:
    case TJpegTransform::Rotate180:
        return wholeWidth && wholeHeight;
    }
    return false;
}

bool JpegTransformIsWhole(std::string_view jpeg, TJpegTransform transform) {
    TurboHandle turbo;
    if (!turbo.Handle) throw JpegCodecError("Cannot start TurboJPEG");
    const Header header = ReadHeader(turbo.Handle, jpeg);
    return TransformIsWhole(transform, header.Width, header.Height, header.McuWidth, header.McuHeight);
}

TEncodedJpeg TransformJpeg(std::string_view jpeg, TJpegTransform transform, bool trim) {
    TurboHandle turbo;
    if (!turbo.Handle) throw JpegCodecError("Cannot start TurboJPEG");
    const Header header = ReadHeader(turbo.Handle, jpeg);
    if (uint64_t(header.Width) * uint64_t(header.Height) * 3 > kMaxDecodedBytes)
        throw JpegCodecError("The picture is too large");
    const bool whole =
        TransformIsWhole(transform, header.Width, header.Height, header.McuWidth, header.McuHeight);
    if (!whole && !trim) throw JpegCodecError("The picture is not whole blocks on the edges the turn moves");
    tjtransform options{};
    options.op = TurboOp(transform);
    options.options = TJXOPT_COPYNONE | (whole ? TJXOPT_PERFECT : TJXOPT_TRIM);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int failed = tjTransform(turbo.Handle, reinterpret_cast<const unsigned char*>(jpeg.data()),
                                   static_cast<unsigned long>(jpeg.size()), 1, &out, &outSize, &options, 0);
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(out, [](unsigned char* p) { tjFree(p); });
    if (failed != 0 || !out)
        throw JpegCodecError(std::string("Cannot turn the JPEG: ") + tjGetErrorStr2(turbo.Handle));
    TEncodedJpeg result;
    result.Bytes.assign(reinterpret_cast<const char*>(out), outSize);
    const Header turned = ReadHeader(turbo.Handle, result.Bytes);
    result.Width = turned.Width;
    result.Height = turned.Height;
    return result;
}

} // namespace quillmark
