#include "PictureHolder.h"

#include "ControlErrors.h"
#include "GifFrames.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <new>

namespace quillmark {

namespace {

// The whole content of a regular file, empty when it cannot be read. Only regular files: a pipe or a
// device under a photo's name would block or never end.
QByteArray ReadWholeFile(const QString& fileName) {
    if (!QFileInfo(fileName).isFile()) return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return {};
    return bytes;
}

} // namespace

TPictureHolder::TPictureHolder(Variant variant) : variant_(variant) {}

TPictureHolder::~TPictureHolder() = default;

void TPictureHolder::Raise(const Event& event) {
    if (event) event(*this);
}

void TPictureHolder::SetDpi(int dpiX, int dpiY) {
    dpiX_ = dpiX;
    dpiY_ = dpiY;
}

void TPictureHolder::LoadFile(const QString& fileName) {
    try {
        QFile file(fileName);
        if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
            isEmpty_ = true;
            return;
        }
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            if (variant_ == Variant::View) heldBytes_ = bytes;
            isEmpty_ = true;
            return;
        }
        file.close();
        LoadBytes(bytes, fileName);
        if (variant_ == Variant::View) Raise(OnClear);
        Raise(OnPictureChange);
    } catch (const std::exception&) {
        isEmpty_ = true;
    }
}

void TPictureHolder::LoadStream(QIODevice* stream) {
    if (!stream) return;
    if (!stream->isSequential()) stream->seek(0);
    LoadBytes(stream->readAll(), QString());
    Raise(OnPictureChange);
}

void TPictureHolder::LoadBytes(const QByteArray& bytes, const QString& sourceFile) {
    if (variant_ == Variant::View) {
        heldBytes_ = bytes;
        isEmpty_ = false;
        frame_ = 1;
        screenWidth_ = screenHeight_ = 0;
        DecodeBytes(heldBytes_, IsGif(), FrameCount());
        return;
    }
    // The thumbnail reads what it needs from the bytes now and lets them go with the caller's copy.
    heldBytes_.clear();
    sourceIsGif_ = StartsAsGif(bytes);
    sourceFrameCount_ = sourceIsGif_ ? CountGifFrames(bytes) : -1;
    sourceFile_ = sourceFile;
    triedBound_ = decodeBound_;
    isEmpty_ = false;
    frame_ = 1;
    screenWidth_ = screenHeight_ = 0;
    DecodeBytes(bytes, sourceIsGif_, sourceFrameCount_);
}

void TPictureHolder::DecodeBytes(const QByteArray& bytes, bool gif, int frameCount) {
    frameLeft_ = frameTop_ = 0;
    screenWidth_ = screenHeight_ = 0;
    QByteArray block;
    try {
        if (gif && frameCount > 0) {
            GifCut cut = CutGifFrames(bytes, frame_);
            screenWidth_ = cut.screenWidth;
            screenHeight_ = cut.screenHeight;
            if (cut.matched) {
                frameLeft_ = cut.left;
                frameTop_ = cut.top;
                frameWidth_ = cut.width;
                frameHeight_ = cut.height;
            }
            block = std::move(cut.bytes);
        } else {
            block = bytes;
        }
    } catch (const std::bad_alloc&) {
        throw EPictureError(kNoMemoryForImage);
    }
    if (block.isEmpty()) throw EPictureError(kEmptyImageStream);

    decoded_.reset();
    const DecodeResult result =
        variant_ == Variant::View ? DecodePicture(block) : DecodePictureFitted(block, decodeBound_);
    switch (result.status) {
    case DecodeStatus::Decoded:
        break;
    case DecodeStatus::StreamFailed:
        throw EPictureError(kNoImageStream);
    case DecodeStatus::InvalidFormat:
        throw EPictureError(kInvalidImageFormat);
    case DecodeStatus::NoPicture:
        throw EPictureError(kNoImage);
    }
    decoded_ = result.picture;
}

void TPictureHolder::ClearState() {
    heldBytes_.clear();
    sourceFile_.clear();
    sourceIsGif_ = false;
    sourceFrameCount_ = -1;
    triedBound_ = QSize();
}

void TPictureHolder::AssignPicture(const TPictureHolder* source) {
    // Taken before anything is released, so that a picture can be assigned to itself.
    const std::shared_ptr<const DecodedPicture> sourceDecoded = source ? source->decoded_ : nullptr;
    const bool sourceEmpty = !source || source->isEmpty_;
    isEmpty_ = true;
    frameCountCache_ = -1;
    decoded_.reset();

    if (source && source->variant_ != variant_) return;
    // A picture that holds nothing has nothing to decode: copying it empties this one, as none does.
    const bool holdsNothing =
        !source || (variant_ == Variant::View ? source->heldBytes_.isEmpty() : sourceEmpty || !sourceDecoded);
    if (holdsNothing) {
        ClearState();
        Raise(OnPictureChange);
        if (variant_ == Variant::View) Raise(OnClear);
        return;
    }

    if (variant_ == Variant::View) {
        heldBytes_ = source->heldBytes_;
        isEmpty_ = false;
        DecodeBytes(heldBytes_, IsGif(), FrameCount());
    } else {
        // A thumbnail's decoded pixels are shared, not copied: both items show the same small picture.
        sourceFile_ = source->sourceFile_;
        sourceIsGif_ = source->sourceIsGif_;
        sourceFrameCount_ = source->sourceFrameCount_;
        triedBound_ = source->triedBound_;
        frameLeft_ = source->frameLeft_;
        frameTop_ = source->frameTop_;
        frameWidth_ = source->frameWidth_;
        frameHeight_ = source->frameHeight_;
        screenWidth_ = source->screenWidth_;
        screenHeight_ = source->screenHeight_;
        isEmpty_ = false;
        decoded_ = sourceDecoded;
        const bool otherFrame =
            sourceIsGif_ && sourceFrameCount_ > 0 && std::max(frame_, 1) != std::max(source->frame_, 1);
        if (otherFrame && !sourceFile_.isEmpty()) {
            // This picture shows another GIF frame than the source: decode its own from the file.
            decoded_.reset();
            DecodeBytes(ReadSource(), sourceIsGif_, sourceFrameCount_);
        }
    }
    Raise(OnPictureChange);
}

QByteArray TPictureHolder::ReadSource() const {
    if (sourceFile_.isEmpty()) return {};
    return ReadWholeFile(sourceFile_);
}

void TPictureHolder::SaveStream(QIODevice* stream) const {
    if (!stream) return;
    stream->write(variant_ == Variant::View ? heldBytes_ : ReadSource());
}

bool TPictureHolder::SaveToFile(const QString& fileName) const {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = variant_ == Variant::View ? heldBytes_ : ReadSource();
    return file.write(bytes) == bytes.size() && file.flush();
}

void TPictureHolder::SetFrame(int n) {
    frame_ = n;
    if (variant_ == Variant::View) {
        if (heldBytes_.isEmpty()) return;
        if (decoded_ && !(IsGif() && FrameCount() > 0)) {
            // Without frame marks every frame number decodes the same whole file: the picture in hand is
            // that decode, and a twelve-megapixel photo is not decoded a second time after each load.
            frameLeft_ = frameTop_ = 0;
            screenWidth_ = screenHeight_ = 0;
        } else {
            DecodeBytes(heldBytes_, IsGif(), FrameCount());
        }
    } else {
        if (isEmpty_ || sourceFile_.isEmpty()) return;
        const QByteArray bytes = ReadSource();
        if (bytes.isEmpty()) throw EPictureError(kNoImageStream);
        DecodeBytes(bytes, sourceIsGif_, sourceFrameCount_);
    }
    Raise(OnFrameChange);
}

int TPictureHolder::PixelWidth() const {
    return decoded_ ? MulDiv(decoded_->HimetricWidth(), dpiX_, kHimetricPerInch) : 0;
}

int TPictureHolder::PixelHeight() const {
    return decoded_ ? MulDiv(decoded_->HimetricHeight(), dpiY_, kHimetricPerInch) : 0;
}

int TPictureHolder::DisplayWidth() const {
    if (!decoded_) return 0;
    return screenWidth_ != 0 ? screenWidth_ : PixelWidth();
}

int TPictureHolder::DisplayHeight() const {
    if (!decoded_) return 0;
    return screenHeight_ != 0 ? screenHeight_ : PixelHeight();
}

bool TPictureHolder::IsGif() const {
    return variant_ == Variant::View ? StartsAsGif(heldBytes_) : sourceIsGif_;
}

int TPictureHolder::FrameCount() const {
    if (variant_ == Variant::Thumbnail) return sourceIsGif_ ? sourceFrameCount_ : -1;
    // The animation asks every 10 ms: the view's picture counts once per assigned picture.
    if (frameCountCache_ != -1) return frameCountCache_;
    if (!IsGif()) return -1;
    frameCountCache_ = CountGifFrames(heldBytes_);
    return frameCountCache_;
}

int TPictureHolder::FrameDuration(int k) {
    if (!IsGif()) return -1;
    const GifFrameTiming timing = GifFrameTimingAt(heldBytes_, k);
    if (timing.delay >= 0) frameDisposal_ = timing.disposal;
    return timing.delay;
}

void TPictureHolder::DrawInto(QPainter& painter, const QRect& rect) const {
    if (isEmpty_ || !decoded_) return;
    decoded_->Render(painter, rect.translated(frameLeft_, frameTop_));
}

void TPictureHolder::DrawAt(QPainter& painter, int x, int y) const {
    DrawInto(painter, RectLTRB(x, y, x + PixelWidth(), y + PixelHeight()));
}

QImage TPictureHolder::ToImage() const {
    return decoded_ ? decoded_->Image() : QImage();
}

void TPictureHolder::SetDecodeBound(QSize deviceBound) {
    decodeBound_ = deviceBound.expandedTo(QSize(1, 1));
}

qsizetype TPictureHolder::DecodedByteCount() const {
    return decoded_ ? decoded_->ByteCount() : 0;
}

void TPictureHolder::EnsureResolution(QSize deviceBound) {
    if (variant_ != Variant::Thumbnail || isEmpty_ || !decoded_ || sourceFile_.isEmpty()) return;
    deviceBound = deviceBound.expandedTo(QSize(1, 1));
    if (deviceBound == triedBound_) return;
    const QSize full = decoded_->SourceSize();
    const QSize kept = decoded_->Image().size();
    if (full.isEmpty()) return;
    const QSize wanted = FitWithin(full.width(), full.height(), deviceBound.width(), deviceBound.height())
                             .expandedTo(QSize(1, 1));
    if (kept.width() >= wanted.width() && kept.height() >= wanted.height()) return;

    // One attempt per bound: a file that has gone away is not read again at every repaint.
    triedBound_ = deviceBound;
    decodeBound_ = deviceBound;
    const std::shared_ptr<const DecodedPicture> previous = decoded_;
    const std::uint16_t left = frameLeft_, top = frameTop_, width = frameWidth_, height = frameHeight_;
    const std::uint16_t screenWidth = screenWidth_, screenHeight = screenHeight_;
    try {
        const QByteArray bytes = ReadSource();
        if (bytes.isEmpty()) return;
        DecodeBytes(bytes, sourceIsGif_, sourceFrameCount_);
    } catch (const std::exception&) {
        decoded_ = previous;
        frameLeft_ = left;
        frameTop_ = top;
        frameWidth_ = width;
        frameHeight_ = height;
        screenWidth_ = screenWidth;
        screenHeight_ = screenHeight;
    }
}

} // namespace quillmark
