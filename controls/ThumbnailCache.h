// TThumbnailCache: the desktop's shared thumbnail cache, as every file manager and viewer on a Linux desktop
// reads and writes it (the freedesktop Thumbnail Managing Standard).
//
// A thumbnail is a PNG named by the MD5 of the file's URI, in `normal` (at most 128 pixels a side) or `large`
// (at most 256) under $XDG_CACHE_HOME/thumbnails. Its text chunks Thumb::URI and Thumb::MTime say which file
// and which version of it the thumbnail shows; one whose file changed since is stale and is replaced. Files a
// thumbnailer could not read are remembered under fail/quillmark-VERSION/, so a folder's broken files are not
// decoded again on every visit. Thumbnails are stored upright, as the photo is shown.
//
// It is a cache the desktop shares, not a setting: writing to it is what the other programs do too.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace quillmark {

struct TCachedThumbnail {
    QImage Image;
    QSize SourceSize; // the photo's own size when the thumbnail records it (Thumb::Image::Width/Height)
};

class TThumbnailCache {
public:
    enum class Flavour { Normal, Large };

    // root: the thumbnails folder; empty takes $XDG_CACHE_HOME/thumbnails, else ~/.cache/thumbnails.
    explicit TThumbnailCache(QString root = {});

    const QString& Root() const { return root_; }

    // The flavour whose thumbnails fill a cell of deviceBound device pixels without enlarging them.
    static Flavour FlavourFor(QSize deviceBound);
    static int EdgeOf(Flavour flavour) { return flavour == Flavour::Normal ? 128 : 256; }
    // Whether a thumbnail of this size serves a cell of deviceBound device pixels: the photo fitted into the
    // cell is drawn from it without enlarging it.
    static bool Covers(QSize thumbnail, QSize deviceBound);
    // picture reduced to fit the flavour's edge, as it is stored.
    static QImage Reduced(const QImage& picture, Flavour flavour);

    // The file's URI as the standard names it: "file://" and the absolute path, with every byte outside
    // the characters a path may hold unescaped written as %XX.
    static QByteArray FileUri(const QString& path);
    // The MD5 of the URI in lower-case hexadecimal, with ".png": the thumbnail's file name.
    static QString ThumbnailName(const QByteArray& uri);

    // Whether the file may have a thumbnail in this cache: a local regular file outside the cache itself.
    bool MayCache(const QString& path) const;

    // A current thumbnail of the file: one of this flavour made by any program (or a larger flavour, which
    // is as good), or one in a shared repository beside the file (.sh_thumbnails, as on removable media).
    // None when there is none, it is stale, or it cannot be read.
    std::optional<TCachedThumbnail> Find(const QString& path, Flavour flavour) const;
    // Stores picture, reduced to fit the flavour's edge, as the file's thumbnail: written to a temporary file
    // of mode 0600 and renamed into place, in folders of mode 0700. False when it could not be written.
    bool Store(const QString& path, const QImage& picture, QSize sourceSize, Flavour flavour) const;

    // Whether this program failed on the file as it is now, and the record that it did.
    bool HasFailed(const QString& path) const;
    bool StoreFailure(const QString& path) const;

    QString FolderOf(Flavour flavour) const;
    QString FailFolder() const;

private:
    bool WriteAtomically(const QString& folder, const QString& name, const QImage& image) const;

    QString root_;
};

// The cache every thumbnail of this program goes through; none (the default) reads every thumbnail from its
// file. The viewer uses the desktop's; a program that makes thumbnails of files it made itself, such as a
// test, need not share them.
void UseThumbnailCache(std::shared_ptr<const TThumbnailCache> cache);
std::shared_ptr<const TThumbnailCache> ThumbnailCacheInUse();

} // namespace quillmark
