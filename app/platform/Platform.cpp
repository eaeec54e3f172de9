#include "Platform.h"

#include "FileNames.h"
#include "QtPlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace quillmark {

namespace {

std::unique_ptr<TPlatform>& Installed() {
    static std::unique_ptr<TPlatform> installed;
    return installed;
}

} // namespace

TPlatform& Platform() {
    static TQtPlatform desktop;
    TPlatform* installed = Installed().get();
    return installed ? *installed : desktop;
}

std::unique_ptr<TPlatform> InstallPlatform(std::unique_ptr<TPlatform> platform) {
    std::unique_ptr<TPlatform> previous = std::move(Installed());
    Installed() = std::move(platform);
    return previous;
}

TTrashResult RecycleFile(QWidget* parent, const QString& fileName, QString& error) {
    error.clear();
    // An empty list of names: there is nothing to ask about and nothing to move.
    if (fileName.isEmpty()) return TTrashResult::NothingToDo;
    const QString question = QCoreApplication::translate("Platform", "Move \"%1\" to the trash?")
                                 .arg(DisplayPath(QFileInfo(fileName).absoluteFilePath()));
    if (!Platform().Confirm(parent, QCoreApplication::translate("Platform", "Recycle photo"), question))
        return TTrashResult::Declined;
    return Platform().MoveToTrash(fileName, error) ? TTrashResult::Moved : TTrashResult::Failed;
}

} // namespace quillmark
