#include "Trash.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("Trash", text);
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray ParentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// The folder the freedesktop trash of the home lives in: $XDG_DATA_HOME, or ~/.local/share.
QByteArray DataHome() {
    const QByteArray set = qgetenv("XDG_DATA_HOME");
    if (set.startsWith('/')) return set;
    QByteArray home = qgetenv("HOME");
    if (!home.startsWith('/'))
        if (const passwd* user = ::getpwuid(::getuid())) home = user->pw_dir;
    return home + "/.local/share";
}

// Makes a folder and any of its missing parents, new ones readable by the user alone. 0 or an errno.
int MakeFolders(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (path != "/" && !path.isEmpty())
        if (const int error = MakeFolders(ParentOf(path))) return error;
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

// The device of a path that may not exist yet: that of its nearest existing folder.
dev_t DeviceOf(QByteArray path) {
    struct stat st {};
    while (::stat(path.constData(), &st) != 0 && path != "/")
        path = ParentOf(path);
    return st.st_dev;
}

// The top folder of the file system a folder lies on (its mount point).
QByteArray TopFolderOf(const QByteArray& folder, dev_t device) {
    QByteArray top = folder;
    while (top != "/") {
        struct stat st {};
        const QByteArray parent = ParentOf(top);
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != device) break;
        top = parent;
    }
    return top;
}

// A trash folder on a file system other than the home's, usable by this user: $top/.Trash/$uid when the
// administrator made $top/.Trash (a real folder with the sticky bit, not a link), else $top/.Trash-$uid.
QByteArray TopTrash(const QByteArray& top) {
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    const QByteArray base = top == "/" ? QByteArray() : top;
    struct stat st {};
    const QByteArray shared = base + "/.Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QByteArray mine = shared + '/' + uid;
        if (MakeFolders(mine) == 0 && ::lstat(mine.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == ::getuid())
            return mine;
    }
    const QByteArray own = base + "/.Trash-" + uid;
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST) return QByteArray();
    if (::lstat(own.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return QByteArray();
    return own;
}

} // namespace

bool MoveToDesktopTrash(const QByteArray& path, QString& error) {
    error.clear();
    struct stat file {};
    if (path.isEmpty() || ::lstat(path.constData(), &file) != 0) {
        error = SystemError(path.isEmpty() ? ENOENT : errno);
        return false;
    }
    // The folder the file is in, without links, so that the trash chosen is that of its file system.
    char resolved[PATH_MAX];
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const QByteArray folder = path.contains('/') ? ParentOf(path) : QByteArray(".");
    if (!::realpath(folder.constData(), resolved)) {
        error = SystemError(errno);
        return false;
    }
    const QByteArray realFolder(resolved);
    const QByteArray absolute = (realFolder == "/" ? QByteArray() : realFolder) + '/' + name;

    QByteArray trash;
    QByteArray recorded; // the path the info file records
    const QByteArray homeTrash = DataHome() + "/Trash";
    if (DeviceOf(homeTrash) == file.st_dev) {
        trash = homeTrash;
        recorded = absolute;
    } else {
        const QByteArray top = TopFolderOf(realFolder, file.st_dev);
        trash = TopTrash(top);
        recorded = top == "/" ? absolute.mid(1) : absolute.mid(top.size() + 1);
    }
    if (trash.isEmpty()) {
        error = Tr("there is no trash on the file system of this file");
        return false;
    }
    for (const char* part : {"/files", "/info"}) {
        if (const int failure = MakeFolders(trash + part)) {
            error = Tr("cannot make the trash folder %1: %2")
                        .arg(QString::fromLocal8Bit(trash + part), SystemError(failure));
            return false;
        }
    }

    // A name not yet taken in the trash, claimed by making its info file.
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray stem = dot > 0 ? name.left(dot) : name;
    const QByteArray suffix = dot > 0 ? name.mid(dot) : QByteArray();
    const QByteArray info =
        "[Trash Info]\nPath=" + recorded.toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + "\n";
    for (int n = 1; n < 10000; ++n) {
        const QByteArray trashed = n == 1 ? name : stem + '.' + QByteArray::number(n) + suffix;
        const QByteArray infoPath = trash + "/info/" + trashed + ".trashinfo";
        const QByteArray filesPath = trash + "/files/" + trashed;
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = SystemError(errno);
            return false;
        }
        struct stat taken {};
        const bool written = ::write(fd, info.constData(), size_t(info.size())) == ssize_t(info.size());
        const bool closed = ::close(fd) == 0;
        if (::lstat(filesPath.constData(), &taken) == 0) {
            ::unlink(infoPath.constData());
            continue;
        }
        if (!written || !closed) {
            const int failure = errno;
            ::unlink(infoPath.constData());
            error = SystemError(failure);
            return false;
        }
        if (::rename(path.constData(), filesPath.constData()) != 0) {
            const int failure = errno;
            ::unlink(infoPath.constData());
            error = SystemError(failure);
            return false;
        }
        return true;
    }
    error = Tr("the trash holds too many files of this name");
    return false;
}

} // namespace quillmark
