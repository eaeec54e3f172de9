#include "FileNames.h"

#include "PictureFormats.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

struct TStandIns {
    std::unique_ptr<QTemporaryDir> Folder; // made when the first stand-in is needed
    QHash<QString, QByteArray> RealNames;
    int Made = 0;
};

TStandIns& StandIns() {
    static TStandIns standIns;
    return standIns;
}

bool RoundTrips(const QByteArray& bytes) {
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

// A path Qt can hold for the file of real path `bytes`, or an empty text when no link can be made.
QString StandInFor(const QByteArray& bytes, const QString& caption) {
    TStandIns& standIns = StandIns();
    if (!standIns.Folder) {
        standIns.Folder =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmark-XXXXXX"));
        if (!standIns.Folder->isValid()) {
            standIns.Folder.reset();
            return QString();
        }
    }
    QString name = caption;
    name.replace(QChar::ReplacementCharacter, QLatin1Char('_'));
    const QString path =
        standIns.Folder->filePath(QString::number(++standIns.Made) + QLatin1Char('-') + name);
    if (::symlink(bytes.constData(), QFile::encodeName(path).constData()) != 0) return QString();
    standIns.RealNames.insert(path, bytes);
    return path;
}

// Whether the regular file at path holds a picture by its first bytes. Opened without waiting, so a pipe
// under a photo's name cannot hold the listing up.
bool HoldsPicture(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    QByteArray head;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        head.resize(kPictureSniffBytes);
        const ssize_t got = ::read(fd, head.data(), size_t(head.size()));
        head.resize(got > 0 ? qsizetype(got) : 0);
    }
    ::close(fd);
    return IsPictureKind(SniffPicture(head, QFile::decodeName(path)));
}

} // namespace

QByteArray FileNameBytes(const QString& path) {
    const auto found = StandIns().RealNames.constFind(path);
    return found != StandIns().RealNames.constEnd() ? *found : QFile::encodeName(path);
}

QString DisplayPath(const QString& path) {
    return QFile::decodeName(FileNameBytes(path));
}

QString DisplayFileName(const QString& path) {
    const QString shown = DisplayPath(path);
    return shown.mid(shown.lastIndexOf(QLatin1Char('/')) + 1);
}

QString PathForNameBytes(const QByteArray& bytes) {
    if (bytes.isEmpty() || RoundTrips(bytes)) return QFile::decodeName(bytes);
    QByteArray path = bytes;
    if (!path.startsWith('/')) {
        char here[4096];
        if (!::getcwd(here, sizeof here)) return QFile::decodeName(bytes);
        path = QByteArray(here) + '/' + path;
    }
    const QString standIn = StandInFor(path, QFile::decodeName(path.mid(path.lastIndexOf('/') + 1)));
    // Without a stand-in the garbled name stays, and opening it says the file is not found.
    return standIn.isEmpty() ? QFile::decodeName(bytes) : standIn;
}

QStringList ArgumentPaths(const QStringList& decoded, int argc, const char* const* argv) {
    QStringList paths;
    std::vector<bool> used(size_t(std::max(argc, 0)), false);
    for (const QString& argument : decoded) {
        QString path = argument;
        for (int i = 1; i < argc; ++i) {
            if (used[size_t(i)] || QFile::decodeName(argv[i]) != argument) continue;
            used[size_t(i)] = true;
            path = PathForNameBytes(QByteArray(argv[i]));
            break;
        }
        paths << path;
    }
    return paths;
}

std::vector<TFolderEntry> ListPictureEntries(const QString& folder) {
    std::vector<TFolderEntry> entries;
    const QByteArray folderBytes = FileNameBytes(folder);
    DIR* dir = ::opendir(folderBytes.constData());
    if (!dir) return entries;
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") continue;
        if (HasPictureExtension(QFile::decodeName(name))) {
            names.push_back(name);
            continue;
        }
        if (entry->d_type == DT_DIR) continue;
        if (HoldsPicture(folderBytes + name)) names.push_back(name);
    }
    ::closedir(dir);
    struct TNamed {
        QString Caption;
        QByteArray Bytes;
    };
    std::vector<TNamed> named;
    named.reserve(names.size());
    for (const QByteArray& name : names)
        named.push_back({QFile::decodeName(name), name});
    // By name as Qt's listing sorts them, so a folder always fills the strip in the same order.
    std::sort(named.begin(), named.end(), [](const TNamed& a, const TNamed& b) {
        const int byText = a.Caption.compare(b.Caption);
        return byText != 0 ? byText < 0 : a.Bytes < b.Bytes;
    });
    for (const TNamed& n : named) {
        const QByteArray path = folderBytes + n.Bytes;
        if (RoundTrips(path)) {
            entries.push_back({QFile::decodeName(path), n.Caption});
            continue;
        }
        const QString standIn = StandInFor(path, n.Caption);
        if (!standIn.isEmpty()) entries.push_back({standIn, n.Caption});
    }
    return entries;
}

} // namespace quillmark
