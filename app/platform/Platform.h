// The viewer's window onto the desktop: file and folder dialogs, message and input boxes, the busy
// cursor, pumping events, the clipboard, the trash and the web browser.
//
// Everything the window asks of the desktop goes through one TPlatform, so that a test can install its
// own that answers every dialog from a queue without showing anything. No code outside this folder
// talks to Qt's dialogs, the clipboard, the trash or the desktop services directly.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QWidget;

namespace quillmark {

// One entry of a file dialog's type list: its caption as shown and the patterns it stands for.
struct TFileFilter {
    QString Caption;
    QStringList Patterns;
};

// What a file dialog is opened with.
struct TFileDialogRequest {
    QString Title;
    QString Folder;   // where the dialog starts
    QString FileName; // the name it proposes (save dialogs)
    std::vector<TFileFilter> Filters;
};

enum class TTrashResult { Moved, Declined, Failed, NothingToDo };

class TPlatform {
public:
    virtual ~TPlatform() = default;

    // File dialogs: the chosen path, or an empty string when the user cancels.
    virtual QString OpenFileName(QWidget* parent, const TFileDialogRequest& request) = 0;
    virtual QString SaveFileName(QWidget* parent, const TFileDialogRequest& request) = 0;
    // A folder picker with a title that starts on (and preselects) startFolder; files are listed beside
    // the folders. The chosen folder, or an empty string when the user cancels.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;

    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // The typed text on OK, the preset text on Cancel.
    virtual QString InputBox(QWidget* parent, const QString& title, const QString& prompt,
                             const QString& preset) = 0;
    // A yes/no question; true for yes.
    virtual bool Confirm(QWidget* parent, const QString& title, const QString& question) = 0;

    // Moves a file to the desktop's trash without asking; on failure, error tells why.
    virtual bool MoveToTrash(const QString& fileName, QString& error) = 0;
    // Opens an address in the user's browser; false when no browser took it.
    virtual bool OpenUrl(const QString& address) = 0;
    virtual void CopyImageToClipboard(const QImage& image) = 0;

    // The busy cursor nests: each Begin is matched by one End.
    virtual void BeginBusyCursor() = 0;
    virtual void EndBusyCursor() = 0;
    // Runs the window events already waiting, once.
    virtual void ProcessEvents() = 0;
};

// The platform in use: the one installed last, or the Qt desktop.
TPlatform& Platform();
// Makes platform the one in use and hands back the one it replaces (empty when that was the built-in Qt
// platform). Installing nothing brings back the Qt platform.
std::unique_ptr<TPlatform> InstallPlatform(std::unique_ptr<TPlatform> platform);

// Asks the user to confirm, naming the file, and then moves it to the trash. An empty name does nothing.
// On failure, error tells why.
TTrashResult RecycleFile(QWidget* parent, const QString& fileName, QString& error);

// Shows the busy cursor for its lifetime, so that every way out of a long operation restores it.
class TBusyCursor {
public:
    TBusyCursor() { Platform().BeginBusyCursor(); }
    ~TBusyCursor() { Platform().EndBusyCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

} // namespace quillmark
