// The platform picture decoder: the one place in the controls that touches Qt's image reading.
//
// The picture holder hands it a file's bytes and gets back a picture that reports its size in HIMETRIC
// units (hundredths of a millimetre, the pixels taken at 96 dots per inch) and renders itself scaled
// into any rectangle. Everything else in the controls sees only this interface.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include "PictureTurn.h"

#include <memory>

class QPainter;

namespace quillmark {

// Pixels per inch at which a picture's HIMETRIC size is reported.
inline constexpr int kDecoderDpi = 96;
inline constexpr int kHimetricPerInch = 2540;

// number * numerator / denominator with a 64-bit intermediate, rounded to the nearest integer (halves away
// from zero); -1 when the denominator is 0 or the result does not fit in 32 bits.
int MulDiv(int number, int numerator, int denominator);

// Fits a picture of pw x ph into an area of aw x ah with one factor for both directions: a picture larger
// than the area in either direction is reduced until it touches two sides, a smaller one keeps its size.
// Both sizes must be positive.
QSize FitWithin(int pw, int ph, int aw, int ah);

class DecodedPicture {
public:
    DecodedPicture(QImage image, QSize sourceSize);

    // picture turned clockwise by a multiple of 90 degrees (negative turns left). Pixels only move, as
    // RotateQuarterTurns moves them, but not yet: a turned picture that is only looked at is drawn from the
    // turned reduction of the original, and its own pixels are made when first asked for (Image, or a
    // drawing no reduction serves). Turning a turned picture adds up the turns; four quarter turns give the
    // original back. None for none; std::invalid_argument for any other angle.
    static std::shared_ptr<const DecodedPicture> Turned(const std::shared_ptr<const DecodedPicture>& picture,
                                                        int degrees);
    // picture mirrored and turned as `turn` says (an EXIF orientation brought upright), made as lazily as
    // Turned; a further Turned adds to it. None for none.
    static std::shared_ptr<const DecodedPicture>
    Transformed(const std::shared_ptr<const DecodedPicture>& picture, TPixelTurn turn);

    // A JPEG decoded at a reduced libjpeg scale for the screen (or a HEIF reduced from its decoded samples):
    // keeps the reduction, and decodes data (the same file, as stored) at its full size when the pixels
    // themselves are asked for (Image, or a drawing the reduction is too small for). Turns of it work on the
    // full pixels, as for any picture. The reduction stands in for the full pixels when data cannot be
    // decoded in full.
    static std::shared_ptr<const DecodedPicture> WithFullDecodePending(QImage reduction, QSize storedSize,
                                                                       QByteArray data);

    // A HEIF shown at once from its thumbnail item: as WithFullDecodePending, and the view first asks for
    // the pixels it shows (DecodeSharper, on a worker) before any full decode.
    static std::shared_ptr<const DecodedPicture> WithStandIn(QImage thumbnail, QSize storedSize,
                                                             QByteArray data);
    // Whether the kept pixels are such a stand-in, here or in the picture a pending turn is made from.
    bool IsStandIn() const { return base_ ? base_->IsStandIn() : standIn_; }

    // How these pixels lie against the pixels stored in the file they were decoded from: the EXIF
    // orientation's turn followed by every turn since (a JPEG's lossless Save as repeats it on the file's
    // own blocks). The identity for pictures decoded as stored.
    TPixelTurn TurnFromStored() const { return fromStored_; }

    // Size of the whole picture in HIMETRIC units.
    int HimetricWidth() const { return himetricWidth_; }
    int HimetricHeight() const { return himetricHeight_; }
    // Pixel size of the picture in the file; the pixels kept may be fewer (a reduced decode).
    QSize SourceSize() const { return sourceSize_; }
    // The kept pixels; a turned picture makes its own here, once.
    const QImage& Image() const;
    // Size of the kept pixels, without making them.
    QSize PixelSize() const;
    bool HasAlphaChannel() const;
    // Whether the pixels of a turn are still to be made.
    bool TurnPending() const { return base_ != nullptr; }
    // Whether the full pixels of a reduced decode (WithFullDecodePending) are still to be decoded, here
    // or in the picture a pending turn is made from.
    bool FullDecodePending() const { return base_ ? base_->FullDecodePending() : !fullData_.isEmpty(); }
    // Size of the pixels kept now: a reduction's while the full decode is pending.
    QSize KeptPixelSize() const;
    // Memory taken by the kept pixels, not counting a render cache; a pending turn counts what it will take.
    qsizetype ByteCount() const;

    // Draws the whole picture scaled into target with smooth filtering. Nothing is drawn into an empty
    // rectangle. A reduction is made once per device size and kept: repainting a fitted view draws the kept
    // reduction, and only a new size (a resize, another placement, another device pixel ratio) makes another.
    void Render(QPainter& painter, const QRect& target) const;
    // Draws as Render does, but never decodes on the caller's thread: while the full pixels of a reduced
    // decode are pending and the drawing needs more than the reduction has, the reduction is drawn stretched
    // into target, at the place and size the full pixels will take. True when it stood in that way.
    bool RenderWithoutDecoding(QPainter& painter, const QRect& target) const;
    // How many reductions Render has made so far.
    int ReductionsMade() const { return reductionsMade_; }

    // The JPEG or HEIF whose full decode is pending, here or in the picture a pending turn is made from;
    // empty when none is.
    QByteArray PendingFullData() const;
    // Decodes a pending JPEG or HEIF whole, on any thread; a null image when it cannot be.
    static QImage DecodeFull(const QByteArray& data);
    // Takes the full pixels decoded from data (DecodeFull, elsewhere) in place of the reduction, when data
    // is still the pending JPEG; otherwise nothing happens. Pixels that are not the whole picture are not
    // taken, and the reduction stands for the picture from then on, as for a damaged file.
    void AcceptFullPixels(const QByteArray& data, const QImage& full) const;
    // The pixels a stand-in's view shows, decoded from data (the same file) for a fitted view of bound
    // device pixels, upright and in display colours, on any thread; a null image when they cannot be.
    static QImage DecodeSharper(const QByteArray& data, QSize bound);
    // Takes them in place of the stand-in, when data is still the pending file, keeping the full decode
    // pending; whole pixels are taken as AcceptFullPixels takes them. The picture is no stand-in from then
    // on, whatever came.
    void AcceptSharper(const QByteArray& data, const QImage& sharper) const;

private:
    DecodedPicture(std::shared_ptr<const DecodedPicture> base, TPixelTurn turn);
    // The whole picture reduced to deviceSize, made once per size.
    const QImage& Reduction(QSize deviceSize) const;

    mutable QImage image_;
    // The JPEG to decode in full, while image_ is only its reduction.
    mutable QByteArray fullData_;
    // image_ is a thumbnail item standing in for the pixels a view shows.
    mutable bool standIn_ = false;
    // A pending turn: the picture to turn, and how (the identity for a format change only). Released once
    // the pixels are made.
    mutable std::shared_ptr<const DecodedPicture> base_;
    TPixelTurn turn_;
    TPixelTurn fromStored_;
    QSize sourceSize_;
    int himetricWidth_;
    int himetricHeight_;
    // Reductions are computed once per target size: repainting a large photo into the same rectangle must
    // not rescale twelve million pixels every time.
    mutable QImage scaledCache_;
    mutable int reductionsMade_ = 0;
};

enum class DecodeStatus {
    Decoded,
    StreamFailed,  // the bytes could not be opened as a stream
    InvalidFormat, // no reader accepts the bytes, or reading them failed
    NoPicture,     // a reader accepted the bytes but produced no picture
};

struct DecodeResult {
    DecodeResult() = default;
    DecodeResult(DecodeStatus s, std::shared_ptr<const DecodedPicture> p, QString why = QString())
        : status(s), picture(std::move(p)), reason(std::move(why)) {}

    DecodeStatus status = DecodeStatus::InvalidFormat;
    std::shared_ptr<const DecodedPicture> picture;
    // The picture is a thumbnail or preview the file holds (a HEIF thumbnail item, a raw file's preview),
    // not a decode of the photo itself.
    bool embedded = false;
    // Why a picture of a known kind could not be drawn (a raw file without preview, a damaged HEIF); empty
    // when the failure says all.
    QString reason;
};

// The EXIF orientation (tag 0x0112 of the first directory) of JPEG, TIFF, PNG or WebP data, or the one a
// raw file records; 1 when there is none, and always for HEIF and JPEG XL, whose decoders turn them by the
// file's own transformations.
int PictureOrientation(const QByteArray& data);

// Decodes the first picture in data at its full size, upright as its EXIF orientation says (the turn is
// made lazily, as Turned makes it). A GIF yields its first frame at the frame's own size and position in
// the data, without the rest of the logical screen.
DecodeResult DecodePicture(const QByteArray& data);

// Decodes so that the pixels kept fit within bound (device pixels; never enlarged), while the result still
// reports the whole picture's size; upright as its EXIF orientation says, like DecodePicture. JPEG data is
// decoded at a reduced libjpeg scale, so the full picture is never expanded in memory; a JPEG that claims
// more than a gigapixel gives NoPicture without decoding.
DecodeResult DecodePictureFitted(const QByteArray& data, QSize bound);

// The libjpeg scale (2, 4 or 8; 1 for none) at which a stored width x height picture, turned as turn says,
// still covers what a fitted view of bound device pixels shows of it.
int ViewScaleDenom(QSize stored, TPixelTurn turn, QSize bound);

// Decodes for a fitted view of bound device pixels: a JPEG at the smallest libjpeg scale that still covers
// what the view shows, its full pixels decoded when they are asked for (WithFullDecodePending); a HEIF or
// AVIF reduced from its own decoded pixels by the largest whole factor that covers the view, the same way;
// anything else, or a picture the view needs whole, as DecodePicture decodes it. Upright as its EXIF
// orientation says.
// With standInFirst, a HEIF or AVIF that has a thumbnail item is not decoded here at all: the thumbnail
// stands in (WithStandIn) and the view decodes its pixels on a worker, so showing it never waits for HEVC.
DecodeResult DecodePictureForView(const QByteArray& data, QSize bound, bool standInFirst = false);

// A camera raw file's picture for a strip cell of bound device pixels, from the largest JPEG preview the
// metadata reader locates in the file at path, turned by the orientation the reader's EXIF records: only the
// file's directories and that preview are read, never its sensor data. Not decoded (no picture) when the
// reader locates no JPEG preview, or the preview cannot be decoded; the picture is then to come from the
// whole file.
DecodeResult DecodeRawPreviewFromFile(const QString& path, QSize bound);

// A photo's EXIF thumbnail as the picture of a photo of photoSize pixels, for a cell of at most bound device
// pixels: the result reports the photo's size and keeps the thumbnail's pixels fitted into the bound, shown
// upright by the photo's EXIF orientation, the way DecodePictureFitted shows the photo itself (photoSize is
// the stored size, from the frame header). Flat bars that the camera added to fit the photo's shape into
// the thumbnail's are cut off first. None when the thumbnail cannot be decoded, holds
// fewer pixels than the cell needs, or is of a shape the photo's cannot be drawn from.
std::shared_ptr<const DecodedPicture> DecodeExifThumbnail(const QByteArray& thumbnail, QSize photoSize,
                                                          QSize bound, int orientation = 1);

} // namespace quillmark
