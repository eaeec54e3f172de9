// TForm1: the viewer's main window. It shows one photo, a strip of thumbnails of a folder's photos and
// four lists of the photo's metadata ("Exif Properties", "Maker Data", "Summary", "XMP"), and runs every
// command of the menus, the toolbar and the keyboard.
//
// Every command is declared once, in the command table (MainCommands.cpp): its menu entry, its toolbar
// button and the keys the window runs it on are all made from that one row. The numbered names
// (ToolButton20Click, Saveas1Click, ...) are the window's prescribed names for its buttons and entries;
// each calls the private function named for what it does.
//
// The window's code is split by concern: MainView.cpp builds it, MainCommands.cpp holds the command table
// and the keys, MainShowPhoto.cpp shows a photo and fills the lists, MainStrip.cpp opens folders and moves
// through the strip, MainViewModes.cpp zooms, pans and turns the view, MainFileCommands.cpp holds the
// file commands, the dialogs and the links.
//
// Every command runs through RunCommand: a failure inside it ends that command where it happened, its
// message is shown in a message box, and the window goes on. Dialogs, message boxes, the clipboard, the
// trash and the browser are reached through the platform layer (platform/Platform.h).
#pragma once

#include "ImgData.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

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
class QTimer;
class QWheelEvent;

namespace quillmark {

class TAboutBox;
class TfrmComment;
class TPictureView;
class TPrefetch;
class TThumbnailList;
class TThumbnailScan;
struct TCommandRow;
struct TFolderEntry;

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

    // Folder browsing and navigation. ScanFolder puts a placeholder for every photo in the strip, shows the
    // first photo, and returns once every thumbnail has replaced its placeholder; the window goes on
    // handling its events meanwhile, and Close All or another Open Folder stops the scan. False when the
    // folder cannot be read or holds no photo (the user has been told).
    bool ScanFolder(QString folder);
    // Stops a folder scan that is running: no thumbnail of it is added after this.
    void CancelScan();
    bool IsScanning() const { return scan_ != nullptr; }
    static int32_t CountMatches(QString folder, const QString& pattern);
    // The strip's order of names: runs of digits by value, letters without their case (IMG_2 before
    // IMG_10, apple before Zebra). Negative, zero or positive.
    static int CompareNames(const QString& a, const QString& b);

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

    // The window's own keys; true when the key ran a command. A key the window ran a command on is not
    // passed on to the focused control, so that no key acts twice.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers, const QString& text);

    // Navigation keys (and the wheel) only move the strip's selection and count; the photo they lead to
    // is shown once the keys waiting have all been taken, so that held keys are never lost and the view
    // never lags behind them. True while such a photo waits to be shown.
    bool NavigationPending() const { return pendingIndex_ >= 0; }
    // Navigation keys taken since the window was made (a benchmark's count).
    int64_t NavigationPresses() const { return navigationPresses_; }

    // The zoom of the view: 0 while the photo is fitted, else its scale against the photo's own size.
    double ZoomFactor() const { return zoom_; }
    // Sets the zoom, keeping the photo's point under `anchor` (view-port coordinates; the middle when
    // none) where it is. Clamped to kMinZoom..kMaxZoom.
    void SetZoom(double factor, std::optional<QPoint> anchor = std::nullopt);
    static constexpr double kZoomStep = 1.25;
    static constexpr double kMinZoom = 0.01;
    static constexpr double kMaxZoom = 16.0;

    // The order of the strip's photos.
    enum class TSortOrder { Name, DateTaken, FileTime };
    TSortOrder SortOrder() const { return sortOrder_; }
    void SetSortOrder(TSortOrder order);
    // The slideshow: F5 starts and stops it, Escape ends it.
    bool SlideshowRunning() const;
    int SlideshowSeconds() const { return slideshowSeconds_; }
    void SetSlideshowSeconds(int seconds);
    // The dialog listing every key (Help > Keys); made when first asked for.
    QWidget* KeysDialog() const { return keysDialog_; }
    // The folder dialogs open in: the shown photo's, else the last opened one's, else the home folder.
    QString DialogFolder() const;

    // The text of the title bar: the shown photo's name and its place in the strip, "name.jpg (12/300)".
    QString TitleText() const;

    // State.
    // The shown photo's metadata; shared with the worker that reads it ahead.
    std::shared_ptr<TimgData> ImageData;
    QString CurrentFile;
    // The strip neighbours of the shown photo, decoded ahead for the view; made with the first photo shown.
    std::shared_ptr<TPrefetch> Prefetch;
    // The trace detail the metadata read ahead was read with.
    bool PrefetchVerbose = false;
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
    QTableWidget* ValueListEditor4 = nullptr; // "XMP"
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* btnAbout = nullptr;
    TAboutBox* AboutBox = nullptr;
    TfrmComment* frmComment = nullptr;

    // The dialogs' settings.
    static constexpr const char* kFolderPickerTitle = QT_TR_NOOP("Select a folder of photos");

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The command table: every command of the menus, the toolbar and the keys, one row each.
    static std::span<const TCommandRow> CommandTable();
    // Runs the command of a row when it may run now (a command on the shown photo needs one).
    void RunRow(const TCommandRow& row);
    bool RowEnabled(const TCommandRow& row) const;

    // What the commands do; the numbered names above call these.
    void OpenPhoto();
    void OpenFolder();
    void SaveAs();
    void CloseAll();
    void RecyclePhoto();
    void ExitProgram();
    void EditExifComment();
    void WriteSmallCopy();
    void CopyToClipboard();
    void FitToWindow();
    void ShowActualSize();
    void ZoomIn();
    void ZoomOut();
    void Redraw();
    void TurnLeft();
    void TurnRight();
    void TurnHalf();
    void MirrorNothing();
    void FirstPhoto();
    void PriorPhoto();
    void NextPhoto();
    void LastPhoto();
    void ShowCommentDialog();
    void OpenHomePage();
    void OpenAuthorSite();
    void ShowAboutBox();
    void ShowProductAboutBox();
    void ToggleFullScreen();
    void ToggleSlideshow();
    void ShowKeys();
    void SortByName();
    void SortByDateTaken();
    void SortByFileTime();
    void AskSlideshowInterval();
    // Escape: leaves full screen first; otherwise quits.
    void EscapeKey();

    // Shows the strip's photo at index and selects it.
    void ShowStripPhoto(int index);
    // Where First, Prior, Next and Last (0..3) lead from the photo shown or waiting to be shown; -1 for
    // nowhere.
    int NavigationTarget(int which) const;
    // A navigation key: moves the selection now and shows the photo once the waiting keys are taken.
    void QueueNavigation(int which);
    void ShowPendingPhoto();
    // Empties the view, the lists, the report and the bottom bar: no photo is shown.
    void ClearShownPhoto();
    // Puts the folder's entries in the chosen order.
    void SortEntries(std::vector<TFolderEntry>& entries) const;
    // Fit and zoom.
    void ApplyZoom(std::optional<QPoint> anchor);
    void StepZoom(double by, std::optional<QPoint> anchor = std::nullopt);
    // Wheel and pinch over the picture; true when taken.
    bool PictureWheel(QWheelEvent* event);
    // The nearest strip entry from `from` in `step`'s direction (+1 or -1) that is a readable file, or -1.
    int NextReadable(int from, int step) const;
    // The strip entry of a file, or -1.
    int StripIndexOf(const QString& fileName) const;
    // The device pixels a fitted photo can take: the whole scrolling area, scroll bars or not.
    QSize FittedViewBound() const;
    // Has the strip neighbours of the shown photo decoded ahead, as Next and Prior would find them.
    void PrefetchNeighbours();
    // Enables the commands that need a shown photo, and sets the title.
    void UpdateCommandStates();

    void FormCreate();
    void FormShow();
    void BuildMenus();
    void BuildToolBar();
    void BuildWindow();
    QToolButton* AddToolButton(const TCommandRow& row);
    // The scroll area's client size once its scroll bars have settled.
    QSize ScrollClientSize();
    void SetViewLeftTop(int left, int top);
    void SetPanLimits();

    // The name last chosen in the Save as dialog, proposed the next time.
    QString LastSaveAsName;
    QStringList arguments_;
    bool shown_ = false;
    // The folder scan filling the strip, while one runs.
    TThumbnailScan* scan_ = nullptr;
    // The strip index a navigation key leads to, not shown yet; -1 for none.
    int pendingIndex_ = -1;
    bool pendingShowPosted_ = false;
    int64_t navigationPresses_ = 0;
    // After Recycle nothing is shown: Next and Prior count from the gap the photo left, at this index.
    int gapAt_ = -1;
    // The wheel's turn not yet a whole step.
    int wheelRest_ = 0;
    double zoom_ = 0;
    TSortOrder sortOrder_ = TSortOrder::Name;
    int slideshowSeconds_ = 5;
    QTimer* slideshow_ = nullptr;
    QWidget* keysDialog_ = nullptr;
    // What full screen hid, to be shown again.
    std::vector<QWidget*> hiddenForFullScreen_;
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
