#include "ThumbnailCache.h"
#include "PictureFormats.h"
#include "PictureHolder.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUILLMARK_VERSION
#define QUILLMARK_VERSION "0"
#endif

namespace quillmark {

namespace {

const char* const kUriKey = "Thumb::URI";
const char* const kMTimeKey = "Thumb::MTime";

// The file's modification time in whole seconds, as the thumbnails record it; none for anything that is not
// a regular file.
std::optional<qint64> ModificationTime(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<qint64>(st.st_mtime);
}

// Makes a folder and the folders above it that are missing, each of mode 0700: thumbnails show what the
// user's files hold, so nobody else may read them.
bool MakePrivateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(QDir::cleanPath(folder));
    for (qsizetype end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/') continue;
        const QByteArray part = path.left(end);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QImage ReadPng(const QString& file) {
    QImage image;
    if (!QFileInfo(file).isFile() || !image.load(file, "PNG")) return {};
    return image;
}

bool IsCurrent(const QImage& image, const QByteArray& uri, qint64 mtime) {
    return !image.isNull() && image.text(kUriKey).toUtf8() == uri &&
           image.text(kMTimeKey) == QString::number(mtime);
}

} // namespace

TThumbnailCache::TThumbnailCache(QString root) : root_(std::move(root)) {
    if (root_.isEmpty()) {
        QString base = QFile::decodeName(qgetenv("XDG_CACHE_HOME"));
        // The standard ignores a relative XDG_CACHE_HOME, as every other XDG variable.
        if (base.isEmpty() || !QDir::isAbsolutePath(base))
            base = QDir::homePath() + QStringLiteral("/.cache");
        root_ = base + QStringLiteral("/thumbnails");
    }
    root_ = QDir::cleanPath(root_);
}

TThumbnailCache::Flavour TThumbnailCache::FlavourFor(QSize deviceBound) {
    return std::max(deviceBound.width(), deviceBound.height()) <= EdgeOf(Flavour::Normal) ? Flavour::Normal
                                                                                          : Flavour::Large;
}

bool TThumbnailCache::Covers(QSize thumbnail, QSize deviceBound) {
    if (thumbnail.isEmpty()) return false;
    const QSize fitted = thumbnail.scaled(deviceBound.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
    return fitted.width() <= thumbnail.width() && fitted.height() <= thumbnail.height();
}

QImage TThumbnailCache::Reduced(const QImage& picture, Flavour flavour) {
    const int edge = EdgeOf(flavour);
    if (picture.width() <= edge && picture.height() <= edge) return picture;
    return picture.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QByteArray TThumbnailCache::FileUri(const QString& path) {
    const QByteArray local = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    QByteArray uri("file://");
    uri.reserve(uri.size() + local.size() * 3);
    static const char* const kHex = "0123456789ABCDEF";
    for (const char c : local) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                           std::strchr("-._~!$&'()*+,;=:@/", b) != nullptr;
        if (plain && b != 0) {
            uri.append(c);
        } else {
            uri.append('%');
            uri.append(kHex[b >> 4]);
            uri.append(kHex[b & 15]);
        }
    }
    return uri;
}

QString TThumbnailCache::ThumbnailName(const QByteArray& uri) {
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

QString TThumbnailCache::FolderOf(Flavour flavour) const {
    return root_ + (flavour == Flavour::Normal ? QStringLiteral("/normal") : QStringLiteral("/large"));
}

QString TThumbnailCache::FailFolder() const {
    return root_ + QStringLiteral("/fail/quillmark-") + QStringLiteral(QUILLMARK_VERSION);
}

bool TThumbnailCache::MayCache(const QString& path) const {
    const QFileInfo info(path);
    if (!info.isFile()) return false;
    // Thumbnails of the thumbnails themselves would only ever grow the cache.
    const QString folder = QDir::cleanPath(info.absolutePath());
    return folder != root_ && !folder.startsWith(root_ + QLatin1Char('/'));
}

std::optional<TCachedThumbnail> TThumbnailCache::Find(const QString& path, Flavour flavour) const {
    const std::optional<qint64> mtime = ModificationTime(path);
    if (!mtime || !MayCache(path)) return std::nullopt;
    const QByteArray uri = FileUri(path);
    const QString name = ThumbnailName(uri);
    auto found = [](QImage image) {
        TCachedThumbnail thumb;
        const int width = image.text(QStringLiteral("Thumb::Image::Width")).toInt();
        const int height = image.text(QStringLiteral("Thumb::Image::Height")).toInt();
        if (width > 0 && height > 0) thumb.SourceSize = QSize(width, height);
        thumb.Image = std::move(image);
        return thumb;
    };
    // A large thumbnail serves a normal cell too, reduced when drawn.
    for (const Flavour f : {flavour, Flavour::Large}) {
        QImage image = ReadPng(FolderOf(f) + QLatin1Char('/') + name);
        if (IsCurrent(image, uri, *mtime)) return found(std::move(image));
        if (f == Flavour::Large) break;
    }
    // A shared repository beside the file (removable media carry their own): named by the MD5 of the bare
    // file name, which its URI is too.
    const QFileInfo info(path);
    const QByteArray bare = QFile::encodeName(info.fileName());
    const QString shared =
        info.absolutePath() + QStringLiteral("/.sh_thumbnails/") +
        (flavour == Flavour::Normal ? QStringLiteral("normal/") : QStringLiteral("large/")) +
        ThumbnailName(bare);
    QImage image = ReadPng(shared);
    if (!image.isNull() && image.text(kMTimeKey) == QString::number(*mtime)) return found(std::move(image));
    return std::nullopt;
}

bool TThumbnailCache::WriteAtomically(const QString& folder, const QString& name, const QImage& image) const {
    if (!MakePrivateFolder(folder)) return false;
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) return false;
    }
    // Another program may read the cache at any moment: it sees the old thumbnail or the new one, never half.
    const QByteArray target = QFile::encodeName(folder + QLatin1Char('/') + name);
    QByteArray temporary = target + ".quillmark-XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // mode 0600
    if (fd < 0) return false;
    qsizetype written = 0;
    while (written < png.size()) {
        const ssize_t n = ::write(fd, png.constData() + written, static_cast<size_t>(png.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += n;
    }
    const bool ok =
        ::close(fd) == 0 && written == png.size() && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) ::unlink(temporary.constData());
    return ok;
}

bool TThumbnailCache::Store(const QString& path, const QImage& picture, QSize sourceSize,
                            Flavour flavour) const {
    const std::optional<qint64> mtime = ModificationTime(path);
    if (!mtime || picture.isNull() || !MayCache(path)) return false;
    QImage image = Reduced(picture, flavour);
    const QByteArray uri = FileUri(path);
    image.setText(QString::fromLatin1(kUriKey), QString::fromUtf8(uri));
    image.setText(QString::fromLatin1(kMTimeKey), QString::number(*mtime));
    image.setText(QStringLiteral("Thumb::Size"), QString::number(QFileInfo(path).size()));
    if (sourceSize.isValid() && !sourceSize.isEmpty()) {
        image.setText(QStringLiteral("Thumb::Image::Width"), QString::number(sourceSize.width()));
        image.setText(QStringLiteral("Thumb::Image::Height"), QString::number(sourceSize.height()));
    }
    image.setText(QStringLiteral("Software"), QStringLiteral("Quillmark " QUILLMARK_VERSION));
    return WriteAtomically(FolderOf(flavour), ThumbnailName(uri), image);
}

bool TThumbnailCache::HasFailed(const QString& path) const {
    const std::optional<qint64> mtime = ModificationTime(path);
    if (!mtime) return false;
    const QByteArray uri = FileUri(path);
    return IsCurrent(ReadPng(FailFolder() + QLatin1Char('/') + ThumbnailName(uri)), uri, *mtime);
}

bool TThumbnailCache::StoreFailure(const QString& path) const {
    const std::optional<qint64> mtime = ModificationTime(path);
    if (!mtime || !MayCache(path)) return false;
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    const QByteArray uri = FileUri(path);
    mark.setText(QString::fromLatin1(kUriKey), QString::fromUtf8(uri));
    mark.setText(QString::fromLatin1(kMTimeKey), QString::number(*mtime));
    return WriteAtomically(FailFolder(), ThumbnailName(uri), mark);
}

namespace {

std::mutex cacheMutex;
std::shared_ptr<const TThumbnailCache> cacheInUse; // guarded by cacheMutex

// The picture a cell shows of a thumbnail: reduced to the cell's device pixels, as a decode for the cell
// would be, so that a strip filled from the cache holds no more pixels than one decoded for it.
std::shared_ptr<const DecodedPicture> CellPicture(const QImage& thumbnail, QSize source, QSize bound) {
    const QSize fitted = FitWithin(source.width(), source.height(), bound.width(), bound.height())
                             .expandedTo(QSize(1, 1))
                             .boundedTo(thumbnail.size());
    QImage image = fitted == thumbnail.size()
                       ? thumbnail
                       : thumbnail.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return std::make_shared<const DecodedPicture>(std::move(image), source);
}

// GIFs show a frame of their own and need their frame count; raw files carry their previews. Both are
// read from the file, never from the cache.
bool BypassesCache(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(kPictureSniffBytes);
    return head.startsWith("GIF8") || SniffPicture(head, path) == TPictureKind::Raw;
}

} // namespace

void UseThumbnailCache(std::shared_ptr<const TThumbnailCache> cache) {
    const std::lock_guard<std::mutex> lock(cacheMutex);
    cacheInUse = std::move(cache);
}

std::shared_ptr<const TThumbnailCache> ThumbnailCacheInUse() {
    const std::lock_guard<std::mutex> lock(cacheMutex);
    return cacheInUse;
}

TThumbnailLoad PrepareThumbnailLoad(const QString& fileName, QSize deviceBound, int frame) {
    const std::shared_ptr<const TThumbnailCache> cache = ThumbnailCacheInUse();
    if (!cache || frame != 1 || !cache->MayCache(fileName) || BypassesCache(fileName))
        return DecodeThumbnailLoad(fileName, deviceBound, frame);
    const QSize bound = deviceBound.expandedTo(QSize(1, 1));
    TThumbnailLoad load;
    load.Bound = bound;
    // A normal thumbnail serves most cells; a large one the cells it does not cover.
    std::optional<TCachedThumbnail> hit = cache->Find(fileName, TThumbnailCache::Flavour::Normal);
    if (hit && !TThumbnailCache::Covers(hit->Image.size(), bound))
        hit = cache->Find(fileName, TThumbnailCache::Flavour::Large);
    if (hit && TThumbnailCache::Covers(hit->Image.size(), bound)) {
        load.Read = load.DecoderRan = load.Decoded = true;
        const QSize source = hit->SourceSize.isValid() ? hit->SourceSize : hit->Image.size();
        load.Picture = CellPicture(hit->Image, source, bound);
        return load;
    }
    if (cache->HasFailed(fileName)) {
        load.Read = load.DecoderRan = true;
        return load;
    }
    // Decoded once, for a normal thumbnail: libjpeg's reduced scales make that no dearer than a decode for
    // the cell. A photo whose EXIF thumbnail fills it needs no cache: its cell is made from the file's own.
    const TThumbnailCache::Flavour flavour = TThumbnailCache::Flavour::Normal;
    const int edge = TThumbnailCache::EdgeOf(flavour);
    TThumbnailLoad made = DecodeThumbnailLoad(fileName, QSize(edge, edge));
    if (made.FromExifThumbnail || made.IsGif) return DecodeThumbnailLoad(fileName, deviceBound, frame);
    if (!made.Decoded || !made.Picture) {
        if (made.Read && made.DecoderRan) cache->StoreFailure(fileName);
        made.Bound = bound;
        return made;
    }
    const QSize source = made.Picture->SourceSize();
    const QImage stored = TThumbnailCache::Reduced(made.Picture->Image(), flavour);
    cache->Store(fileName, stored, source, flavour);
    // A cell the normal thumbnail does not cover (a wide strip, a panorama) is decoded for itself.
    if (!TThumbnailCache::Covers(stored.size(), bound))
        return DecodeThumbnailLoad(fileName, deviceBound, frame);
    // The cell is made from the thumbnail as stored, exactly as it will be made from the cache next time.
    made.Bound = bound;
    made.Picture = CellPicture(stored, source, bound);
    return made;
}

} // namespace quillmark
