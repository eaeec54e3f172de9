#include "QtPlatform.h"

#include "FileNames.h"
#include "Trash.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace quillmark {

namespace {

QString MessageTitle() {
    const QString name = QApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Quillmark") : name;
}

QString RunFileDialog(QWidget* parent, const TFileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, request.Title, request.Folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = QtNameFilters(request.Filters);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.FileName.isEmpty()) dialog.selectFile(request.FileName);
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

} // namespace

QStringList QtNameFilters(const std::vector<TFileFilter>& filters) {
    QStringList result;
    for (const TFileFilter& filter : filters) {
        QStringList patterns;
        for (const QString& pattern : filter.Patterns) {
            patterns << pattern;
            if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
        }
        result << filter.Caption + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

QString TQtPlatform::OpenFileName(QWidget* parent, const TFileDialogRequest& request) {
    return RunFileDialog(parent, request, QFileDialog::AcceptOpen);
}

QString TQtPlatform::SaveFileName(QWidget* parent, const TFileDialogRequest& request) {
    return RunFileDialog(parent, request, QFileDialog::AcceptSave);
}

QString TQtPlatform::ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) {
    // Files are listed beside the folders, as a guide to which folder holds the photos.
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    if (QFileInfo(startFolder).isDir()) dialog.setDirectory(startFolder);
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

void TQtPlatform::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, MessageTitle(), text);
}

QString TQtPlatform::InputBox(QWidget* parent, const QString& title, const QString& prompt,
                              const QString& preset) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, preset, &ok);
    return ok ? text : preset;
}

bool TQtPlatform::Confirm(QWidget* parent, const QString& title, const QString& question) {
    return QMessageBox::question(parent, title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool TQtPlatform::MoveToTrash(const QString& fileName, QString& error) {
    // Not QFile::moveToTrash: without a data home it puts the file into a "files" folder of the working
    // folder and calls that success.
    return MoveToDesktopTrash(FileNameBytes(fileName), error);
}

bool TQtPlatform::OpenUrl(const QString& address) {
    return QDesktopServices::openUrl(QUrl(address));
}

void TQtPlatform::CopyImageToClipboard(const QImage& image) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(image);
}

void TQtPlatform::BeginBusyCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void TQtPlatform::EndBusyCursor() {
    QApplication::restoreOverrideCursor();
}

void TQtPlatform::ProcessEvents() {
    QCoreApplication::processEvents();
}

} // namespace quillmark
