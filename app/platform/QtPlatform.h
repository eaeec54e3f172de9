// The platform on a Qt desktop: Qt's dialogs and message boxes, the clipboard, the freedesktop trash
// and the desktop's browser.
#pragma once

#include "Platform.h"

namespace quillmark {

class TQtPlatform : public TPlatform {
public:
    QString OpenFileName(QWidget* parent, const TFileDialogRequest& request) override;
    QString SaveFileName(QWidget* parent, const TFileDialogRequest& request) override;
    QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    QString InputBox(QWidget* parent, const QString& title, const QString& prompt,
                     const QString& preset) override;
    bool Confirm(QWidget* parent, const QString& title, const QString& question) override;
    bool MoveToTrash(const QString& fileName, QString& error) override;
    bool OpenUrl(const QString& address) override;
    void CopyImageToClipboard(const QImage& image) override;
    void BeginBusyCursor() override;
    void EndBusyCursor() override;
    void ProcessEvents() override;
};

// A type list in Qt's syntax. The caption is shown as it is; the patterns Qt matches follow it in a last
// pair of parentheses (which the dialog hides), each also in capitals, because the desktop's file names
// are case-sensitive and cameras write ".JPG".
QStringList QtNameFilters(const std::vector<TFileFilter>& filters);

} // namespace quillmark
