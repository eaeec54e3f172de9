// TForm1: the viewer's main window. It shows one photo, a strip of thumbnails of a folder's photos and
// three lists of the photo's metadata ("Exif Properties", "Maker Data", "Summary"), and runs every
// command of the menus, the toolbar and the keyboard.
//
// Every command runs through RunCommand: a failure inside it ends that command where it happened, its
// message is shown in a message box, and the window goes on. Dialogs, message boxes, the clipboard, the
// trash and the browser are reached through the platform layer (platform/Platform.h).
#pragma once

#include "ImgData.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QToolBar;
class QToolButton;

namespace quillmark {

class TAboutBox;
class TfrmComment;
class TPictureView;
class TThumbnailList;
class TThumbnailScan;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // arguments: the command line without the program's name; the first one is a photo to show or a
    // folder to fill the strip from when the window is first shown.
    explicit TForm1(QStringList arguments = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The about box and the comment dialog, made after the main window.
    void SetDialogs(TAboutBox* aboutBox, TfrmComment* commentDialog);

    // Runs one command: any failure is shown in a message box and the window goes on. False after a
    // failure.
    bool RunCommand(const std::function<void()>& command);

    // Showing a photo and filling the lists.
    void ShowPhoto(const QString& fileName, bool addToStrip);
    void AddReportLine(const QString& text);
    void ClearPicture();

    // Folder browsing and navigation. ScanFolder returns once the strip is filled; the window goes on
    // handling its events meanwhile, and Close All or another Open Folder stops the scan.
    void ScanFolder(QString folder);
    // Stops a folder scan that is running: no thumbnail of it is added after this.
    void CancelScan();
    bool IsScanning() const { return scan_ != nullptr; }
    static int32_t CountMatches(QString folder, const QString& pattern);

    // Menu entries.
    void OpenImage1Click();
    void OpenFolder1Click();
    // What Open Image and Open Folder do once a file or folder is chosen; photos and folders dropped on
    // the window are opened the same way.
    void OpenImageFile(const QString& fileName);
    void OpenFolderPath(const QString& folder);
    void Saveas1Click();
    void CloseAll1Click();
    void Recyclephoto1Click();
    void Exit1Click();
    void Comment1Click();
    void WriteSmall1Click();
    void Copyimagetoclipboard1Click();
    void Fittoscreenwithaspect1Click();
    void Viewactualpixelsize1Click();
    void Zoom1Click();
    void ZoomOut1Click();
    void Refresh1Click();
    void RotateLeft1Click();
    void RotateRight1Click();
    void Flipphoto1Click();
    void Quillmarkhomepage1Click();
    void About1Click();

    // Toolbar buttons.
    void ToolButton1Click();  // "Open "
    void ToolButton3Click();  // " Folder"
    void ToolButton9Click();  // "To Clpbrd" (hidden)
    void ToolButton20Click(); // "Save as"
    void ToolButton22Click(); // "Recycle"
    void ToolButton10Click(); // "First"
    void ToolButton5Click();  // "Prior"
    void ToolButton6Click();  // "Next"
    void ToolButton26Click(); // "Last"
    void ToolButton16Click(); // "Rotate L"
    void ToolButton19Click(); // "Rotate R"
    void ToolButton21Click(); // "Flip"
    void ToolButton17Click(); // "Mirror" (hidden, no action)
    void ToolButton7Click();  // "Fit"
    void ToolButton13Click(); // "Actual"
    void ToolButton11Click(); // "Zoom In"
    void ToolButton12Click(); // "Zoom Out"
    void ToolButton25Click(); // "Comment"
    void ToolButton24Click(); // "Home"
    void ToolButton2Click();  // "Exit"

    void ThumbnailList1Click();
    void Label5Click();
    void btnAboutClick();

    // Turns the shown picture by 90, -90 or 180 degrees.
    void RotateView(int32_t degrees);

    // Mouse on the picture view, in view coordinates.
    void PictureView1MouseDown(int x, int y);
    void PictureView1MouseMove(Qt::MouseButtons buttons, int x, int y);

    // The window's own keys; true when the key ran a command. The key goes on to the focused control.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers, const QString& text);

    // State.
    std::unique_ptr<TimgData> ImageData;
    QString CurrentFile;
    QString LastOpenedImage;
    QString VersionText;
    bool Verbose = false;
    int32_t DragStartX = 0;
    int32_t DragStartY = 0;
    int32_t PanLimitX = 0;
    int32_t PanLimitY = 0;

    // Parts of the window.
    QToolBar* ToolBar1 = nullptr;
    QLabel* Label6 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QCheckBox* cbVerbose = nullptr;
    QCheckBox* cbDecode = nullptr;
    TThumbnailList* ThumbnailList1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TPictureView* PictureView1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QTableWidget* ValueListEditor1 = nullptr;
    QTableWidget* ValueListEditor2 = nullptr;
    QTableWidget* ValueListEditor3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* btnAbout = nullptr;
    TAboutBox* AboutBox = nullptr;
    TfrmComment* frmComment = nullptr;

    // The dialogs' settings.
    static constexpr const char* kFolderPickerTitle = "Select a folder of photos";

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void BuildMenus();
    void BuildToolBar();
    void BuildWindow();
    QAction* AddMenuEntry(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key,
                          void (TForm1::*handler)());
    QToolButton* AddToolButton(const char* name, const QString& caption, const QString& hint,
                               const char* themeIcon, const char* fallbackIcon, void (TForm1::*handler)());
    void Connect(QAction* action, void (TForm1::*handler)());
    // The scroll area's client size once its scroll bars have settled.
    QSize ScrollClientSize();
    void SetViewLeftTop(int left, int top);

    // The name last chosen in the Save as dialog, proposed the next time.
    QString LastSaveAsName;
    QStringList arguments_;
    bool shown_ = false;
    // The folder scan filling the strip, while one runs.
    TThumbnailScan* scan_ = nullptr;
};

// The program's three windows, made in this order and kept until the end: the main window, the about
// box, the comment dialog.
class TViewerWindows {
public:
    explicit TViewerWindows(QStringList arguments = {});
    ~TViewerWindows();
    TForm1& Form1() { return *form1_; }
    TAboutBox& AboutBox() { return *aboutBox_; }
    TfrmComment& frmComment() { return *comment_; }

private:
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TAboutBox> aboutBox_;
    std::unique_ptr<TfrmComment> comment_;
};

} // namespace quillmark
