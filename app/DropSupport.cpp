#include "DropSupport.h"

#include "FileNames.h"
#include "MainView.h"
#include "PictureFormats.h"
#include "ThumbnailList.h"
#include "platform/Platform.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace quillmark {

namespace {

// Adds photos to the end of the strip without showing them, as a folder scan adds its files.
void AddToStrip(TForm1& form, const QStringList& photos) {
    if (photos.isEmpty()) return;
    TBusyCursor busy;
    TThumbnailList* strip = form.ThumbnailList1;
    strip->BeginFill();
    struct FillGuard {
        TThumbnailList* list;
        ~FillGuard() { list->EndFill(); }
    } guard{strip};
    for (const QString& photo : photos) {
        TThumbnail* thumbnail = strip->Thumbnails().AddThumbnail();
        thumbnail->Picture().LoadFile(photo);
        thumbnail->SetCaption(QFileInfo(photo).fileName());
        thumbnail->SetFilename(photo);
    }
}

// Takes drag and drop events meant for the window.
class TDropFilter : public QObject {
public:
    explicit TDropFilter(TForm1& form) : QObject(&form), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &form_) return false;
        switch (event->type()) {
        case QEvent::DragEnter: {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            // Looked at once per drag: a drag of a thousand files is not checked again on every move.
            acceptable_ = !ReadDrop(enter->mimeData()).IsEmpty();
            Answer(enter);
            return true;
        }
        case QEvent::DragMove:
            Answer(static_cast<QDragMoveEvent*>(event));
            return true;
        case QEvent::DragLeave:
            acceptable_ = false;
            return true;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const TDroppedItems items = ReadDrop(drop->mimeData());
            acceptable_ = false;
            if (items.IsEmpty()) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // The file manager waits until the drop is answered; a folder of photos takes a while to
            // scan, so the scan runs after the answer, from the event loop.
            QTimer::singleShot(0, &form_, [form = &form_, items] { OpenDropped(*form, items); });
            return true;
        }
        default:
            return false;
        }
    }

private:
    void Answer(QDragMoveEvent* event) const {
        if (acceptable_ && (event->possibleActions() & Qt::CopyAction)) {
            // The files are opened where they are: nothing is moved or copied.
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }

    TForm1& form_;
    bool acceptable_ = false;
};

} // namespace

bool IsPictureFileName(const QString& fileName) {
    return HasPictureExtension(QFileInfo(fileName).fileName());
}

namespace {

// The local files of a drop. Their addresses are read from the raw URI list where there is one: Qt decodes
// an address's escaped bytes as UTF-8, and a name that is not would reach us garbled.
QStringList DroppedPaths(const QMimeData& data) {
    QStringList paths;
    const QByteArray list = data.data(QStringLiteral("text/uri-list"));
    if (list.isEmpty()) {
        for (const QUrl& url : data.urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
        return paths;
    }
    for (QByteArray line : list.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QUrl url = QUrl::fromEncoded(line);
        if (!url.isLocalFile()) continue;
        if (!url.host().isEmpty() && url.host() != QLatin1String("localhost")) {
            paths << url.toLocalFile();
            continue;
        }
        // file:///path, file://localhost/path or file:/path: the bytes of the path, unescaped.
        const qsizetype slash = line.startsWith("file://") ? line.indexOf('/', 7) : line.indexOf('/');
        if (slash < 0) continue;
        paths << PathForNameBytes(QByteArray::fromPercentEncoding(line.mid(slash)));
    }
    return paths;
}

} // namespace

TDroppedItems ReadDrop(const QMimeData* data) {
    TDroppedItems items;
    if (!data || !data->hasUrls()) return items;
    for (const QString& dropped : DroppedPaths(*data)) {
        const QString path = QDir::cleanPath(dropped);
        if (path.isEmpty()) continue;
        const QFileInfo info(path);
        if (info.isDir()) {
            if (items.Folder.isEmpty()) items.Folder = info.absoluteFilePath();
        } else if (info.isFile() && (IsPictureFileName(path) || FileHoldsPicture(path))) {
            items.Photos << info.absoluteFilePath();
        }
    }
    return items;
}

void OpenDropped(TForm1& form, const TDroppedItems& items) {
    if (!items.Photos.isEmpty()) {
        if (!form.RunCommand([&] { form.OpenImageFile(items.Photos.first()); })) return;
        form.RunCommand([&] { AddToStrip(form, items.Photos.mid(1)); });
    } else if (!items.Folder.isEmpty()) {
        form.RunCommand([&] { form.OpenFolderPath(items.Folder); });
    }
}

void AcceptDroppedFiles(TForm1& form) {
    form.setAcceptDrops(true);
    form.installEventFilter(new TDropFilter(form));
}

} // namespace quillmark
