#include "PictureHolder.h"

#include "ControlErrors.h"
#include "GifFrames.h"
#include "JpegHeader.h"
#include "PictureFormats.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <limits>
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

// The bytes handed to the decoder for a frame: a GIF with frame marks is cut, anything else goes whole.
// Raises the container's failures for a block that cannot be made or is empty.
QByteArray DecoderBlock(const QByteArray& bytes, bool gif, int frameCount, int frame, GifFrameFacts& facts) {
    QByteArray block;
    try {
        if (gif && frameCount > 0) {
            GifCut cut = CutGifFrames(bytes, frame);
            facts = cut.frame;
            block = std::move(cut.bytes);
        } else {
            block = bytes;
        }
    } catch (const std::bad_alloc&) {
        throw EPictureError(kNoMemoryForImage);
    }
    if (block.isEmpty()) throw EPictureError(kEmptyImageStream);
    return block;
}

bool SameBytes(const QByteArray& a, const QByteArray& b) {
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

// The head of a file, read in one go: the sections in front of a camera photo's frame header (EXIF with
// its thumbnail, colour profile, tables) nearly always fit.
constexpr qint64 kHeadBytes = 128 * 1024;

// Decodes whole file bytes at the reduced size a thumbnail needs; never throws.
void DecodeWhole(const QByteArray& bytes, QSize bound, int frame, TThumbnailLoad& load) {
    load.IsGif = StartsAsGif(bytes);
    load.FrameCount = load.IsGif ? CountGifFrames(bytes) : -1;
    QByteArray block;
    try {
        block = DecoderBlock(bytes, load.IsGif, load.FrameCount, frame, load.Frame);
    } catch (const std::exception&) {
        return;
    }
    load.DecoderRan = true;
    const DecodeResult result = DecodePictureFitted(block, bound);
    if (result.status != DecodeStatus::Decoded) return;
    load.Decoded = true;
    // A HEIF thumbnail item or a raw file's preview serves as an EXIF thumbnail does: from the file itself.
    load.FromExifThumbnail = result.embedded;
    load.Picture = result.picture;
}

} // namespace

TThumbnailLoad DecodeThumbnailLoad(const QString& fileName, QSize deviceBound, int frame) {
    TThumbnailLoad load;
    load.Bound = deviceBound.expandedTo(QSize(1, 1));
    try {
        if (!QFileInfo(fileName).isFile()) return load;
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) return load;
        QByteArray bytes = file.read(kHeadBytes);
        if (file.error() != QFileDevice::NoError) return load;

        if (bytes.startsWith("\xFF\xD8")) {
            // Sections past the head are read where they lie; only their lengths are needed.
            const TReadAt readAt = [&](std::uint64_t offset, char* into, std::size_t n) -> std::size_t {
                if (offset + n <= std::uint64_t(bytes.size())) {
                    std::memcpy(into, bytes.constData() + offset, n);
                    return n;
                }
                if (offset > std::uint64_t(std::numeric_limits<qint64>::max()) || !file.seek(qint64(offset)))
                    return 0;
                const qint64 got = file.read(into, qint64(n));
                return got > 0 ? std::size_t(got) : 0;
            };
            const TJpegHeaderFacts facts = ScanJpegHeader(readAt);
            if (facts.Width > 0 && facts.Height > 0 && !facts.Thumbnail.empty()) {
                const QByteArray thumbnail(facts.Thumbnail.data(), qsizetype(facts.Thumbnail.size()));
                if (auto picture = DecodeExifThumbnail(thumbnail, QSize(facts.Width, facts.Height),
                                                       load.Bound, facts.Orientation)) {
                    load.Read = load.DecoderRan = load.Decoded = load.FromExifThumbnail = true;
                    load.Picture = std::move(picture);
                    return load;
                }
            }
        }
        if (SniffPicture(bytes, fileName) == TPictureKind::Raw) {
            // A raw file's cell comes from the preview the reader locates, without reading the sensor data.
            DecodeResult preview = DecodeRawPreviewFromFile(fileName, load.Bound);
            if (preview.status == DecodeStatus::Decoded && preview.picture) {
                load.Read = load.DecoderRan = load.Decoded = load.FromExifThumbnail = true;
                load.Picture = std::move(preview.picture);
                return load;
            }
        }
        if (bytes.size() == kHeadBytes) {
            // The rest is read straight behind the head, in one piece when the size holds.
            const qsizetype had = bytes.size();
            const qint64 size = file.size();
            if (!file.seek(had)) return load;
            if (size > had && size - had < std::numeric_limits<qsizetype>::max() - had) {
                bytes.resize(qsizetype(size));
                const qint64 got = file.read(bytes.data() + had, size - had);
                if (got < 0) return load;
                bytes.resize(had + qsizetype(got));
            }
            bytes += file.readAll(); // anything the file has grown by since
            if (file.error() != QFileDevice::NoError) return load;
        }
        file.close();
        load.Read = true;
        DecodeWhole(bytes, load.Bound, frame, load);
    } catch (...) {
        // Out of memory on the way: the file counts as unreadable, as a failed read does. Nothing leaves
        // this function, which runs on the scan's worker threads.
        load = TThumbnailLoad();
        load.Bound = deviceBound.expandedTo(QSize(1, 1));
    }
    return load;
}

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
    if (variant_ == Variant::Thumbnail) {
        try {
            LoadPrepared(fileName, PrepareThumbnailLoad(fileName, decodeBound_));
        } catch (const std::exception&) {
            isEmpty_ = true;
            loadFailure_ = TLoadFailure::Undecodable;
        }
        return;
    }
    TLoadFailure failure = TLoadFailure::Undecodable;
    failureReason_.clear();
    try {
        QFile file(fileName);
        if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
            FailLoad(TLoadFailure::Unreadable);
            return;
        }
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            heldBytes_ = bytes;
            pendingBytes_ = nullptr;
            FailLoad(TLoadFailure::Unreadable);
            return;
        }
        file.close();
        LoadBytes(bytes, fileName);
        loadFailure_ = TLoadFailure::None;
        Raise(OnClear);
        Raise(OnPictureChange);
        return;
    } catch (const EPictureError& error) {
        if (std::strcmp(error.what(), kNoMemoryForImage) == 0) failure = TLoadFailure::OutOfMemory;
    } catch (const std::bad_alloc&) {
        failure = TLoadFailure::OutOfMemory;
    } catch (const std::exception&) {
    }
    FailLoad(failure);
}

void TPictureHolder::LoadDecoded(const QByteArray& bytes, std::shared_ptr<const DecodedPicture> picture) {
    if (variant_ != Variant::View || !picture || bytes.isEmpty()) return;
    heldBytes_ = bytes;
    pendingBytes_ = nullptr;
    isEmpty_ = false;
    frame_ = 1;
    frameCountCache_ = -1;
    TakeGifFrame({});
    decoded_ = std::move(picture);
    // The view's reaction sets frame 0, which for these bytes is the picture in hand: nothing to decode.
    decodedBlock_ = heldBytes_;
    loadFailure_ = TLoadFailure::None;
    Raise(OnClear);
    Raise(OnPictureChange);
}

void TPictureHolder::FailLoad(TLoadFailure failure) {
    isEmpty_ = true;
    loadFailure_ = failure;
    Raise(OnLoadFailure);
}

void TPictureHolder::LoadStream(QIODevice* stream) {
    if (!stream) return;
    if (!stream->isSequential()) stream->seek(0);
    LoadBytes(stream->readAll(), QString());
    loadFailure_ = TLoadFailure::None;
    Raise(OnPictureChange);
}

void TPictureHolder::LoadPictureMakingBytes(std::shared_ptr<const DecodedPicture> picture,
                                            BytesMaker makeBytes) {
    if (variant_ != Variant::View || !picture || !makeBytes) return;
    heldBytes_.clear();
    pendingBytes_ = std::move(makeBytes);
    isEmpty_ = false;
    loadFailure_ = TLoadFailure::None;
    frame_ = 1;
    TakeGifFrame({});
    decoded_ = std::move(picture);
    decodedBlock_ = QByteArray();
    Raise(OnPictureChange);
}

const QByteArray& TPictureHolder::HeldBytes() const {
    MakePendingBytes();
    return heldBytes_;
}

void TPictureHolder::MakePendingBytes() const {
    if (!pendingBytes_) return;
    const BytesMaker make = std::move(pendingBytes_);
    pendingBytes_ = nullptr;
    // The bytes are what the picture in hand came from, as after any load: a frame change does not
    // decode them again.
    heldBytes_ = make(decoded_->Image());
    decodedBlock_ = heldBytes_;
}

void TPictureHolder::LoadBytes(const QByteArray& bytes, const QString& sourceFile) {
    if (variant_ == Variant::View) {
        heldBytes_ = bytes;
        pendingBytes_ = nullptr;
        isEmpty_ = false;
        frame_ = 1;
        DecodeBytes(heldBytes_, IsGif(), FrameCount());
        return;
    }
    // The thumbnail reads what it needs from the bytes now and lets them go with the caller's copy.
    heldBytes_.clear();
    pendingBytes_ = nullptr;
    sourceIsGif_ = StartsAsGif(bytes);
    sourceFrameCount_ = sourceIsGif_ ? CountGifFrames(bytes) : -1;
    sourceFile_ = sourceFile;
    triedBound_ = decodeBound_;
    fromExifThumbnail_ = false;
    isEmpty_ = false;
    frame_ = 1;
    DecodeBytes(bytes, sourceIsGif_, sourceFrameCount_);
}

void TPictureHolder::LoadPrepared(const QString& fileName, const TThumbnailLoad& load) {
    if (variant_ != Variant::Thumbnail) return;
    // A thumbnail keeps why its load failed as well, so that its cell stops waiting for a picture.
    if (!load.Read) {
        isEmpty_ = true;
        loadFailure_ = TLoadFailure::Unreadable;
        return;
    }
    loadFailure_ = TLoadFailure::None;
    heldBytes_.clear();
    pendingBytes_ = nullptr;
    sourceIsGif_ = load.IsGif;
    sourceFrameCount_ = load.FrameCount;
    sourceFile_ = fileName;
    triedBound_ = load.Bound;
    isEmpty_ = false;
    frame_ = 1;
    TakeDecoded(load);
    if (!load.Decoded) {
        isEmpty_ = true;
        loadFailure_ = TLoadFailure::Undecodable;
        return;
    }
    Raise(OnPictureChange);
}

// The frame fields and the picture of a prepared load, as DecodeBytes would have set them; a load that
// never reached the decoder keeps the picture in hand.
void TPictureHolder::TakeDecoded(const TThumbnailLoad& load) {
    TakeGifFrame(load.Frame);
    if (!load.DecoderRan) return;
    ++decodeCount_;
    decoded_ = load.Decoded ? load.Picture : nullptr;
    fromExifThumbnail_ = load.Decoded && load.FromExifThumbnail;
}

// A frame's place and the screen are those of the latest cut; its size stays that of the latest cut that
// matched a frame.
void TPictureHolder::TakeGifFrame(const GifFrameFacts& facts) {
    const std::uint16_t width = gifFrame_.width, height = gifFrame_.height;
    gifFrame_ = facts;
    gifFrame_.matched = false;
    if (!facts.matched) {
        gifFrame_.left = gifFrame_.top = 0;
        gifFrame_.width = width;
        gifFrame_.height = height;
    }
}

void TPictureHolder::DecodeBytes(const QByteArray& bytes, bool gif, int frameCount) {
    TakeGifFrame({});
    GifFrameFacts facts;
    const QByteArray block = DecoderBlock(bytes, gif, frameCount, frame_, facts);
    TakeGifFrame(facts);
    // The decoder would get the very bytes the picture in hand came from: after each load the view sets
    // frame 0, which for anything but a later GIF frame is the whole file again, and a 24-megapixel photo
    // is not decoded twice for that.
    if (variant_ == Variant::View && decoded_ && SameBytes(block, decodedBlock_)) return;

    decoded_.reset();
    decodedBlock_ = QByteArray();
    fromExifThumbnail_ = false;
    ++decodeCount_;
    const DecodeResult result = variant_ == Variant::Thumbnail ? DecodePictureFitted(block, decodeBound_)
                                : viewBound_.isEmpty()         ? DecodePicture(block)
                                                               : DecodePictureForView(block, viewBound_, true);
    switch (result.status) {
    case DecodeStatus::Decoded:
        break;
    case DecodeStatus::StreamFailed:
        throw EPictureError(kNoImageStream);
    case DecodeStatus::InvalidFormat:
        throw EPictureError(kInvalidImageFormat);
    case DecodeStatus::NoPicture:
        failureReason_ = result.reason;
        throw EPictureError(kNoImage);
    }
    decoded_ = result.picture;
    if (variant_ == Variant::View) decodedBlock_ = block;
}

void TPictureHolder::ClearState() {
    loadFailure_ = TLoadFailure::None;
    heldBytes_.clear();
    pendingBytes_ = nullptr;
    decodedBlock_ = QByteArray();
    fromExifThumbnail_ = false;
    sourceFile_.clear();
    sourceIsGif_ = false;
    sourceFrameCount_ = -1;
    triedBound_ = QSize();
}

void TPictureHolder::AssignPicture(const TPictureHolder* source) {
    // Taken before anything is released, so that a picture can be assigned to itself.
    if (source) source->MakePendingBytes();
    const std::shared_ptr<const DecodedPicture> sourceDecoded = source ? source->decoded_ : nullptr;
    const bool sourceEmpty = !source || source->isEmpty_;
    const TLoadFailure sourceFailure = source ? source->loadFailure_ : TLoadFailure::None;
    isEmpty_ = true;
    frameCountCache_ = -1;
    decoded_.reset();
    decodedBlock_ = QByteArray();

    if (source && source->variant_ != variant_) return;
    // A picture that holds nothing has nothing to decode: copying it empties this one, as none does.
    const bool holdsNothing = !source || (variant_ == Variant::View ? source->HeldBytes().isEmpty()
                                                                    : sourceEmpty || !sourceDecoded);
    if (holdsNothing) {
        ClearState();
        // A copy of a thumbnail that could not be made waits for no picture either.
        if (variant_ == Variant::Thumbnail && source && source->variant_ == variant_)
            loadFailure_ = sourceFailure;
        Raise(OnPictureChange);
        if (variant_ == Variant::View) Raise(OnClear);
        return;
    }

    if (variant_ == Variant::View) {
        heldBytes_ = source->HeldBytes();
        pendingBytes_ = nullptr;
        isEmpty_ = false;
        DecodeBytes(heldBytes_, IsGif(), FrameCount());
    } else {
        // A thumbnail's decoded pixels are shared, not copied: both items show the same small picture.
        sourceFile_ = source->sourceFile_;
        sourceIsGif_ = source->sourceIsGif_;
        sourceFrameCount_ = source->sourceFrameCount_;
        triedBound_ = source->triedBound_;
        gifFrame_ = source->gifFrame_;
        isEmpty_ = false;
        decoded_ = sourceDecoded;
        fromExifThumbnail_ = source->fromExifThumbnail_;
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
    stream->write(variant_ == Variant::View ? HeldBytes() : ReadSource());
}

bool TPictureHolder::SaveToFile(const QString& fileName) const {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray bytes = variant_ == Variant::View ? HeldBytes() : ReadSource();
    return file.write(bytes) == bytes.size() && file.flush();
}

void TPictureHolder::SetFrame(int n) {
    frame_ = n;
    if (variant_ == Variant::View && pendingBytes_) {
        // The bytes still to be made are the picture in hand's, and not a GIF: nothing to decode.
        TakeGifFrame({});
        Raise(OnFrameChange);
        return;
    }
    if (variant_ == Variant::View) {
        if (heldBytes_.isEmpty()) return;
        DecodeBytes(heldBytes_, IsGif(), FrameCount());
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
    return gifFrame_.screenWidth != 0 ? gifFrame_.screenWidth : PixelWidth();
}

int TPictureHolder::DisplayHeight() const {
    if (!decoded_) return 0;
    return gifFrame_.screenHeight != 0 ? gifFrame_.screenHeight : PixelHeight();
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
    decoded_->Render(painter, rect.translated(gifFrame_.left, gifFrame_.top));
}

bool TPictureHolder::DrawIntoWithoutDecoding(QPainter& painter, const QRect& rect) const {
    if (isEmpty_ || !decoded_) return false;
    return decoded_->RenderWithoutDecoding(painter, rect.translated(gifFrame_.left, gifFrame_.top));
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
    const TThumbnailLoad load = PrepareThumbnailLoad(sourceFile_, deviceBound, frame_);
    // On any failure the picture keeps what it has.
    if (!load.Read || !load.Decoded) return;
    TakeDecoded(load);
}

} // namespace quillmark
