// TPictureHolder: the picture container behind the picture view and each thumbnail.
//
// The view's picture keeps a loaded file's bytes unchanged (so Save as writes exactly what was read) and
// the picture decoded from them at full size; it can cut a GIF so that the decoder shows a chosen frame.
// A thumbnail's picture keeps only what its cell needs: a picture decoded no larger than the cell, the
// whole picture's sizes, and the name of the file it came from. A folder of thousands of camera photos
// therefore costs a few kilobytes per thumbnail instead of the files plus their full-size pixels. A camera
// photo whose EXIF thumbnail fills the cell is not even read whole: its first sections give the photo's
// size and the thumbnail, and the thumbnail is what gets decoded.
#pragma once

#include "GifFrames.h"
#include "PictureDecoder.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QIODevice;
class QPainter;

namespace quillmark {

// What loading a file into a thumbnail's picture finds. It is made without touching any picture, so that a
// strip can prepare its thumbnails on worker threads and hand them to their pictures on the GUI thread.
struct TThumbnailLoad {
    bool Read = false;              // the file could be read
    bool DecoderRan = false;        // its bytes reached the decoder
    bool Decoded = false;           // and gave a picture
    bool FromExifThumbnail = false; // the pixels are the photo's EXIF thumbnail's
    bool IsGif = false;
    int FrameCount = -1;
    QSize Bound; // the device pixels the picture was decoded for
    std::shared_ptr<const DecodedPicture> Picture;
    GifFrameFacts Frame; // the GIF frame shown, and the logical screen
};

// Why the view's last LoadFile left the picture empty.
enum class TLoadFailure {
    None,        // it did not fail
    Unreadable,  // the file could not be opened or read
    Undecodable, // no decoder takes the bytes, or they are damaged
    OutOfMemory,
};

// Reads what a thumbnail needs of a file for a cell of at most deviceBound device pixels, showing GIF frame
// `frame`. A JPEG whose EXIF thumbnail fills the cell is read only up to its frame header, and the thumbnail
// is decoded instead of the photo; any other file is read whole and decoded at the reduced size the cell
// needs. Either way the picture reports the photo's own size. Safe to run on any thread.
// Photos the EXIF thumbnail does not serve go through the desktop's shared thumbnail cache when a program
// has chosen to use it (UseThumbnailCache, ThumbnailCache.h).
TThumbnailLoad PrepareThumbnailLoad(const QString& fileName, QSize deviceBound, int frame = 1);
// The same, always from the file itself.
TThumbnailLoad DecodeThumbnailLoad(const QString& fileName, QSize deviceBound, int frame = 1);

// A rectangle given by its edges, right and bottom exclusive, as the drawing rules state them.
inline QRect RectLTRB(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

class TPictureHolder {
public:
    enum class Variant { View, Thumbnail };
    using Event = std::function<void(TPictureHolder& sender)>;

    explicit TPictureHolder(Variant variant = Variant::View);
    TPictureHolder(const TPictureHolder&) = delete;
    TPictureHolder& operator=(const TPictureHolder&) = delete;
    ~TPictureHolder();

    Variant Kind() const { return variant_; }

    // Loads a whole file. A picture is shown upright as its EXIF orientation says; the held bytes stay as
    // read. Never raises a failure: a file that cannot be read or decoded leaves the picture empty and
    // raises no change; the view's picture then records why (LoadFailure) and raises OnLoadFailure.
    void LoadFile(const QString& fileName);
    // Why the last LoadFile (or, for a thumbnail, LoadPrepared) failed; None after any load that
    // succeeded, and after a clear.
    TLoadFailure LoadFailure() const { return loadFailure_; }
    // What the decoder said of an Undecodable file of a kind it knows (a raw file without a preview);
    // empty when it said nothing more.
    const QString& LoadFailureReason() const { return failureReason_; }
    // View variant: shows picture, decoded ahead from bytes, the whole content of fileName: as LoadFile
    // would, without decoding again. Nothing happens for no picture or a thumbnail.
    void LoadDecoded(const QByteArray& bytes, std::shared_ptr<const DecodedPicture> picture);
    // Loads the whole content of stream, read from its start. Nothing happens for no stream; decoding
    // failures raise EPictureError.
    void LoadStream(QIODevice* stream);
    // View variant: shows picture (a turn of the one shown, say) and holds the bytes makeBytes makes of its
    // pixels, made only when something asks for them (HeldBytes, a save, a copy of the picture). Until then
    // the picture counts as holding bytes that are not a GIF, and a frame change decodes nothing. Nothing
    // happens for no picture, no maker, or a thumbnail.
    using BytesMaker = std::function<QByteArray(const QImage& pixels)>;
    void LoadPictureMakingBytes(std::shared_ptr<const DecodedPicture> picture, BytesMaker makeBytes);
    // Copies a picture of the same variant; none (or a picture holding nothing) empties this one; a picture
    // of the other variant leaves this one empty without an event. Decoding failures raise EPictureError.
    void AssignPicture(const TPictureHolder* source);
    // Writes the held bytes unchanged. A thumbnail holds no bytes: it writes its source file's content.
    void SaveStream(QIODevice* stream) const;
    // Writes the same bytes into a new file, whatever its name; false when the file cannot be written.
    bool SaveToFile(const QString& fileName) const;

    // GIF frame to show: 0 and 1 show the whole file, n >= 2 cuts frames 1 to n-1 out before decoding.
    int Frame() const { return frame_; }
    // Stores n and, when something is held, decodes again and raises OnFrameChange.
    void SetFrame(int n);

    bool IsEmpty() const { return isEmpty_; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch) { stretch_ = stretch; }
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }
    void SetDpi(int dpiX, int dpiY);

    // Size of the decoded picture converted with DpiX and DpiY; 0 without a decoded picture.
    int PixelWidth() const;
    int PixelHeight() const;
    // The GIF logical screen when the file has one, else the pixel size; 0 without a decoded picture.
    int DisplayWidth() const;
    int DisplayHeight() const;

    bool IsGif() const;
    // Graphic control extensions directly followed by an image descriptor; -1 for a file that is not a GIF.
    // The view's picture counts once and keeps the count until AssignPicture.
    int FrameCount() const;
    // Delay of the k-th frame (from 1) in hundredths of a second; records that frame's disposal method.
    // -1 for a file that is not a GIF or a frame that does not exist.
    int FrameDuration(int k);

    std::uint16_t FrameLeft() const { return gifFrame_.left; }
    std::uint16_t FrameTop() const { return gifFrame_.top; }
    std::uint16_t FrameWidth() const { return gifFrame_.width; }
    std::uint16_t FrameHeight() const { return gifFrame_.height; }
    std::uint16_t FrameDisposal() const { return frameDisposal_; }
    std::uint16_t ScreenWidth() const { return gifFrame_.screenWidth; }
    std::uint16_t ScreenHeight() const { return gifFrame_.screenHeight; }

    // Draws the whole decoded picture scaled into rect, moved by the shown frame's left and top.
    void DrawInto(QPainter& painter, const QRect& rect) const;
    // The same, never decoding on this thread (DecodedPicture::RenderWithoutDecoding): true when a reduced
    // decode stood in for full pixels still to be decoded.
    bool DrawIntoWithoutDecoding(QPainter& painter, const QRect& rect) const;
    // Draws the picture at its own size with its top-left corner at (x, y).
    void DrawAt(QPainter& painter, int x, int y) const;

    const QByteArray& HeldBytes() const;
    bool HasDecodedPicture() const { return decoded_ != nullptr; }
    // The decoded picture itself, shared; none without one.
    std::shared_ptr<const DecodedPicture> Decoded() const { return decoded_; }
    // The decoded pixels, for the clipboard; a null image without a decoded picture.
    QImage ToImage() const;

    // View variant: the device pixels of the fitted view the picture is shown in; none (the default) keeps
    // every decode whole. With a bound, a JPEG is decoded at the smallest libjpeg scale that still covers
    // what the view shows, and its full pixels are decoded when something needs them (DecodePictureForView):
    // ToImage, turns, saves and the clipboard always get the full pixels. Takes effect at the next decode.
    void SetViewBound(QSize deviceBound) { viewBound_ = deviceBound; }
    QSize ViewBound() const { return viewBound_; }
    // Thumbnail variant: the most device pixels a decode keeps in each direction.
    void SetDecodeBound(QSize deviceBound);
    QSize DecodeBound() const { return decodeBound_; }
    // Thumbnail variant: the file the picture was loaded from, empty after a stream load or a clear.
    const QString& SourceFile() const { return sourceFile_; }
    // Thumbnail variant: when a cell has grown past what the kept pixels can fill, decodes the source file
    // again for the larger bound. Silent: on any failure the picture keeps what it has.
    void EnsureResolution(QSize deviceBound);
    // Memory taken by the decoded pixels.
    qsizetype DecodedByteCount() const;
    // Thumbnail variant: takes what PrepareThumbnailLoad found for fileName, exactly as LoadFile(fileName)
    // does: the picture and OnPictureChange, or an empty picture and no event when the file could not be
    // read or decoded.
    void LoadPrepared(const QString& fileName, const TThumbnailLoad& load);
    // Thumbnail variant: the pixels kept are the photo's EXIF thumbnail's.
    bool FromExifThumbnail() const { return fromExifThumbnail_; }
    // Decodes this picture has run since it was made. Bytes that would reach the decoder unchanged since
    // the last decode are not decoded again, so a load of the view's picture, with the view's reaction to
    // it, costs one.
    int DecodeCount() const { return decodeCount_; }
    // Reductions made to draw the decoded picture into rectangles of new sizes (DecodedPicture::Render); a
    // repaint into the same rectangle makes none.
    int RenderReductions() const { return decoded_ ? decoded_->ReductionsMade() : 0; }

    Event OnPictureChange;
    Event OnFrameChange;
    Event OnClear;       // the view's picture only
    Event OnLoadFailure; // the view's picture only: a LoadFile failed, LoadFailure says why

private:
    void Raise(const Event& event);
    void LoadBytes(const QByteArray& bytes, const QString& sourceFile);
    void DecodeBytes(const QByteArray& bytes, bool gif, int frameCount);
    void ClearState();
    void TakeDecoded(const TThumbnailLoad& load);
    void TakeGifFrame(const GifFrameFacts& facts);
    void FailLoad(TLoadFailure failure);
    QByteArray ReadSource() const;

    // Makes the held bytes of LoadPictureMakingBytes when they are first asked for.
    void MakePendingBytes() const;

    Variant variant_;
    mutable QByteArray heldBytes_;
    mutable BytesMaker pendingBytes_;
    std::shared_ptr<const DecodedPicture> decoded_;
    // The bytes decoded_ was decoded from (the view's picture): shared with heldBytes_ unless a GIF was cut.
    mutable QByteArray decodedBlock_;
    int decodeCount_ = 0;
    bool isEmpty_ = true;
    bool stretch_ = false;
    int dpiX_ = kDecoderDpi;
    int dpiY_ = kDecoderDpi;
    int frame_ = 0;
    mutable int frameCountCache_ = -1;
    // The frame's rectangle and the logical screen; `matched` is not kept.
    GifFrameFacts gifFrame_;
    std::uint16_t frameDisposal_ = 0;
    TLoadFailure loadFailure_ = TLoadFailure::None;
    QString failureReason_;

    // A thumbnail answers IsGif and FrameCount from the bytes it has let go of.
    bool sourceIsGif_ = false;
    int sourceFrameCount_ = -1;
    QString sourceFile_;
    QSize decodeBound_{256, 256};
    QSize viewBound_;
    QSize triedBound_;
    bool fromExifThumbnail_ = false;
};

} // namespace quillmark
