// Decoding and encoding JPEG pictures through libjpeg: the pictures behind thumbnails, the half-size
// copy, and the freshly encoded stream that TimgData::WriteJpegFile puts after the kept sections.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// A failure of libjpeg or a picture refused before decoding; the message says which and why.
class JpegCodecError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A complete JPEG byte stream (SOI first, EOI last) and the size of the picture it holds.
struct TEncodedJpeg {
    std::string Bytes;
    int Width = 0;
    int Height = 0;
};

// 8-bit RGB pixels, 3 bytes per pixel, rows top to bottom, no padding between rows.
struct TRgbImage {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Pixels;
    // Set when libjpeg warned while decoding: corrupt data it skipped, or data that ended before the
    // picture did (libjpeg then fills the rest, usually grey). The picture is still complete in size.
    bool Damaged = false;
    std::string Warning; // the first warning's text
};

// The size a header claims, read without decoding the picture.
struct TJpegSize {
    int Width = 0;
    int Height = 0;
    int Components = 0;
};

// Pictures whose decoded RGB pixels would need more than this many bytes are refused before any
// pixel memory is taken: a 40-byte header can claim 65500 x 65500 pixels.
inline constexpr uint64_t kMaxDecodedBytes = uint64_t{1} << 30;

// Decodes a JPEG stream to RGB. `scaleDenom` 1, 2, 4 or 8 lets libjpeg decode at that fraction of the
// size (each side rounded up), much faster than decoding in full and shrinking afterwards.
// Grey pictures come out grey in all three channels; CMYK and YCCK pictures are converted.
// Throws JpegCodecError for data libjpeg cannot decode, a picture over kMaxDecodedBytes, or a
// `scaleDenom` other than 1, 2, 4, 8.
TRgbImage DecodeJpeg(std::string_view bytes, int scaleDenom = 1);
// The same for a file; a file that cannot be read gives JpegCodecError naming it.
TRgbImage DecodeJpegFile(const std::string& fileName, int scaleDenom = 1);

// The header's picture size; JpegCodecError when there is no readable header.
TJpegSize ReadJpegSize(std::string_view bytes);

// The largest of 8, 4, 2, 1 that keeps a width x height picture at least wantWidth x wantHeight
// (1 when even the full size is smaller).
int ChooseScaleDenom(int width, int height, int wantWidth, int wantHeight);

// Encodes RGB pixels (Pixels holding at least Width * Height * 3 bytes, sides 1 to 65500) at a
// quality of 1 to 100 into a complete stream with libjpeg's own JFIF APP0 after the SOI.
TEncodedJpeg EncodeJpeg(const TRgbImage& image, int quality = 75);

// The eight ways a picture can lie: EXIF orientations 1 to 8 name the same transforms (Flip* mirror
// left-right and top-bottom; Transpose mirrors across the main diagonal, Transverse across the other;
// Rotate* turn clockwise).
enum class TJpegTransform { None, FlipH, FlipV, Transpose, Transverse, Rotate90, Rotate180, Rotate270 };

// Whether a transform moves the blocks of a width x height picture with `mcuWidth` x `mcuHeight` blocks
// whole: a partial block on an edge the transform moves cannot be moved without loss.
bool TransformIsWhole(TJpegTransform transform, int width, int height, int mcuWidth, int mcuHeight);

// A JPEG stream's picture transformed in its DCT blocks, without decoding: nothing is lost. With trim,
// partial blocks on the edges the transform moves are cut off (the picture loses up to 15 pixels on
// those edges); without it, such a picture throws JpegCodecError ("not whole"), as does data
// TurboJPEG cannot read. No marker section of the stream is copied: the result is SOI, tables, frame,
// scans and EOI; Width and Height are the transformed picture's.
TEncodedJpeg TransformJpeg(std::string_view jpeg, TJpegTransform transform, bool trim);
// Whether TransformJpeg can transform the stream without trimming.
bool JpegTransformIsWhole(std::string_view jpeg, TJpegTransform transform);

} // namespace quillmark
