#include "MainView.h"

#include "About.h"
#include "CommentDialog.h"
#include "DropSupport.h"
#include "JpegCodec.h"
#include "JpegWriter.h"
#include "Links.h"
#include "PhotoReport.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "ReaderSettings.h"
#include "TextEncoding.h"
#include "ThumbnailList.h"
#include "ThumbnailScan.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <exception>
#include <utility>

// The toolbar icons are compiled into the library; a static library needs them registered by hand.
static void InitQuillmarkResources() {
    Q_INIT_RESOURCE(quillmark);
}

namespace quillmark {

namespace {

// Reader texts are 8-bit; they become Unicode only here, at the window's edge.
QString ToDisplay(std::string_view text, TControls keep = TControls::None) {
    const std::string utf8 = DisplayUtf8(text, keep);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// File names for the reader, which opens files by their bytes.
std::string ToFileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString FromFileName(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

// The fixed type list of the Open Image dialog, the first entry selected.
std::vector<TFileFilter> OpenImageFilters() {
    const auto split = [](const char* patterns) {
        return QString::fromLatin1(patterns).split(QLatin1Char(';'));
    };
    return {
        {QStringLiteral("All (*.gif;*.ani;*.pcx;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.tif;*.nef)"),
         split("*.gif;*.ani;*.pcx;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.tif;*.nef")},
        {QStringLiteral("CompuServe GIF Image (*.gif)"), split("*.gif")},
        {QStringLiteral("ANI Image (*.ani)"), split("*.ani")},
        {QStringLiteral("PCX Image (*.pcx)"), split("*.pcx")},
        {QStringLiteral("JPEG Image File (*.jpg)"), split("*.jpg")},
        {QStringLiteral("JPEG Image File (*.jpeg)"), split("*.jpeg")},
        {QStringLiteral("Bitmaps (*.bmp)"), split("*.bmp")},
        {QStringLiteral("Icons (*.ico)"), split("*.ico")},
        {QStringLiteral("Enhanced Metafiles (*.emf)"), split("*.emf")},
        {QStringLiteral("Metafiles (*.wmf)"), split("*.wmf")},
        {QStringLiteral("TIFF Image File (*.tif)"), split("*.tif")},
        {QStringLiteral("Nikon Image File (*.nef)"), split("*.nef")},
    };
}

// The types Save as can write: any of these names gets a file of that type.
std::vector<TFileFilter> SaveAsFilters() {
    return {
        {QStringLiteral("Pictures (*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff)"),
         {"*.jpg", "*.jpeg", "*.png", "*.bmp", "*.tif", "*.tiff"}},
        {QStringLiteral("JPEG Image File (*.jpg;*.jpeg)"), {"*.jpg", "*.jpeg"}},
        {QStringLiteral("PNG Image File (*.png)"), {"*.png"}},
        {QStringLiteral("Bitmaps (*.bmp)"), {"*.bmp"}},
        {QStringLiteral("TIFF Image File (*.tif;*.tiff)"), {"*.tif", "*.tiff"}},
        {QStringLiteral("All files (*)"), {"*"}},
    };
}

QTableWidget* MakeValueList(QWidget* parent, const char* name) {
    auto* list = new QTableWidget(0, 2, parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setHorizontalHeaderLabels({QStringLiteral("Item"), QStringLiteral("Details")});
    list->setColumnWidth(0, 150);
    list->setColumnWidth(1, 141);
    list->horizontalHeader()->setStretchLastSection(false);
    list->verticalHeader()->setVisible(false);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setWordWrap(false);
    return list;
}

void ClearRows(QTableWidget* list) {
    list->setRowCount(0);
}

void AppendRows(QTableWidget* list, const std::vector<TReportRow>& rows) {
    if (rows.empty()) return;
    int row = list->rowCount();
    list->setRowCount(row + int(rows.size()));
    for (const TReportRow& r : rows) {
        auto* item = new QTableWidgetItem(ToDisplay(r.Item));
        auto* details = new QTableWidgetItem(ToDisplay(r.Details));
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        details->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        list->setItem(row, 0, item);
        list->setItem(row, 1, details);
        ++row;
    }
}

// One of our own icons with both its drawings, so that it stays sharp on a high-density screen even when
// the window was first shown on an ordinary one.
QIcon ResourceIcon(const char* name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(QString::fromLatin1(name)));
    icon.addFile(QStringLiteral(":/icons/%1@2x.png").arg(QString::fromLatin1(name)));
    return icon;
}

// An icon from the desktop's theme, or our own when the theme has none that can be drawn.
QIcon ToolbarIcon(const char* themeName, const char* fallback) {
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!themed.isNull() && !themed.pixmap(32, 32).isNull()) return themed;
    return ResourceIcon(fallback);
}

// Names for screen readers. Each holds the words its button shows, so that a user of voice control can
// say what is on the screen; captions alone ("Rotate L", " Folder") read badly. (The hidden "To Clpbrd"
// shows nothing.)
constexpr std::pair<const char*, const char*> kAccessibleNames[] = {
    {"ToolButton1", "Open photo"},   {"ToolButton3", "Open folder"},    {"ToolButton9", "Copy to clipboard"},
    {"ToolButton20", "Save as"},     {"ToolButton22", "Recycle photo"}, {"ToolButton10", "First photo"},
    {"ToolButton5", "Prior photo"},  {"ToolButton6", "Next photo"},     {"ToolButton26", "Last photo"},
    {"ToolButton16", "Rotate left"}, {"ToolButton19", "Rotate right"},  {"ToolButton21", "Flip photo"},
    {"ToolButton17", "Mirror"},      {"ToolButton7", "Fit to window"},  {"ToolButton13", "Actual pixel size"},
    {"ToolButton11", "Zoom in"},     {"ToolButton12", "Zoom out"},      {"ToolButton25", "Comment"},
    {"ToolButton24", "Home page"},   {"ToolButton2", "Exit"},
};

void SetAccessibleNames(TForm1& form) {
    for (const auto& [objectName, name] : kAccessibleNames)
        if (auto* button = form.findChild<QToolButton*>(QString::fromLatin1(objectName)))
            button->setAccessibleName(QString::fromLatin1(name));
    form.ThumbnailList1->setAccessibleName(QStringLiteral("Thumbnails"));
    form.PictureView1->setAccessibleName(QStringLiteral("Photo"));
    form.PageControl2->setAccessibleName(QStringLiteral("Metadata"));
    form.ValueListEditor1->setAccessibleName(QStringLiteral("Exif Properties"));
    form.ValueListEditor2->setAccessibleName(QStringLiteral("Maker Data"));
    form.ValueListEditor3->setAccessibleName(QStringLiteral("Summary"));
    form.Memo1->setAccessibleName(QStringLiteral("Report"));
    form.ProgressBar1->setAccessibleName(QStringLiteral("Folder scan"));
}

// Runs a function when a window is asked to close, for as long as it lives.
class TCloseWatcher : public QObject {
public:
    TCloseWatcher(QObject* window, std::function<void()> onClose)
        : window_(window), onClose_(std::move(onClose)) {
        window_->installEventFilter(this);
    }
    ~TCloseWatcher() override { window_->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Close) onClose_();
        return false;
    }

private:
    QObject* window_;
    std::function<void()> onClose_;
};

bool AnyWindowVisible() {
    for (const QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) return true;
    return false;
}

// A text with any kind of line break, as plain-text lines.
QString PlainLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

// ---- Creating the window

TForm1::TForm1(QStringList arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)) {
    InitQuillmarkResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillmark"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("quillmark"), ResourceIcon("quillmark")));
    BuildMenus();
    BuildToolBar();
    BuildWindow();
    SetAccessibleNames(*this);
    AcceptDroppedFiles(*this);
    FormCreate();

    resize(1164, 690);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // The window sees every key before the focused control does (and lets the control have it too),
    // and watches the picture view's mouse and the link label's clicks.
    qApp->installEventFilter(this);
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
}

void TForm1::SetDialogs(TAboutBox* aboutBox, TfrmComment* commentDialog) {
    AboutBox = aboutBox;
    frmComment = commentDialog;
}

void TForm1::FormCreate() {
    ImageData = std::make_unique<TimgData>(255);
    Verbose = false;
    PageControl2->setCurrentIndex(0);
    VersionText = QStringLiteral("1.02 beta");
    LastOpenedImage.clear();
}

void TForm1::Connect(QAction* action, void (TForm1::*handler)()) {
    connect(action, &QAction::triggered, this,
            [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
}

QAction* TForm1::AddMenuEntry(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key,
                              void (TForm1::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) action->setShortcut(key);
    if (handler) Connect(action, handler);
    return action;
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File1"));
    AddMenuEntry(file, "OpenImage1", QStringLiteral("Open Image"), QKeySequence(Qt::Key_F2),
                 &TForm1::OpenImage1Click);
    AddMenuEntry(file, "OpenFolder1", QStringLiteral("Open Folder"), QKeySequence(Qt::Key_F3),
                 &TForm1::OpenFolder1Click);
    file->addSeparator();
    AddMenuEntry(file, "Saveas1", QStringLiteral("Save as ..."), QKeySequence(Qt::CTRL | Qt::Key_S),
                 &TForm1::Saveas1Click);
    AddMenuEntry(file, "CloseAll1", QStringLiteral("Close All"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_X),
                 &TForm1::CloseAll1Click);
    file->addSeparator();
    AddMenuEntry(file, "Recyclephoto1", QStringLiteral("Recycle photo"),
                 QKeySequence(Qt::CTRL | Qt::Key_Delete), &TForm1::Recyclephoto1Click);
    file->addSeparator();
    AddMenuEntry(file, "Exit1", QStringLiteral("Exit"), QKeySequence(Qt::Key_F10), &TForm1::Exit1Click);

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    AddMenuEntry(edit, "Clear1", QStringLiteral("Clear"), QKeySequence(), nullptr)->setVisible(false);
    AddMenuEntry(edit, "Comment1", QStringLiteral("Comment"), QKeySequence(), &TForm1::Comment1Click)
        ->setVisible(false);
    AddMenuEntry(edit, "WriteSmall1", QStringLiteral("Write Small"), QKeySequence(),
                 &TForm1::WriteSmall1Click)
        ->setVisible(false);
    AddMenuEntry(edit, "Copyimagetoclipboard1", QStringLiteral("Copy image to clipboard"),
                 QKeySequence(Qt::CTRL | Qt::Key_C), &TForm1::Copyimagetoclipboard1Click);

    QMenu* view = bar->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("View1"));
    // These four name the keys that navigate; choosing them from the menu does nothing.
    AddMenuEntry(view, "Firstphoto1", QStringLiteral("First photo     (Home)"), QKeySequence(), nullptr);
    AddMenuEntry(view, "Priorphoto1", QStringLiteral("Prior photo    (Page Up)"), QKeySequence(), nullptr);
    AddMenuEntry(view, "Nextphoto1", QStringLiteral("Next photo    (Page Down)"), QKeySequence(), nullptr);
    AddMenuEntry(view, "Lastphoto1", QStringLiteral("Last photo     (End)"), QKeySequence(), nullptr);
    view->addSeparator();
    AddMenuEntry(view, "Fittoscreenwithaspect1", QStringLiteral("Fit to screen with aspect"),
                 QKeySequence(Qt::Key_F5), &TForm1::Fittoscreenwithaspect1Click);
    AddMenuEntry(view, "Viewactualpixelsize1", QStringLiteral("View actual pixel size"),
                 QKeySequence(Qt::Key_F6), &TForm1::Viewactualpixelsize1Click);
    AddMenuEntry(view, "Zoom1", QStringLiteral("Zoom In       (+)"), QKeySequence(), &TForm1::Zoom1Click);
    AddMenuEntry(view, "ZoomOut1", QStringLiteral("Zoom Out   (-)"), QKeySequence(), &TForm1::ZoomOut1Click);
    view->addSeparator();
    AddMenuEntry(view, "Refresh1", QStringLiteral("Refresh"), QKeySequence(Qt::Key_F4),
                 &TForm1::Refresh1Click);

    QMenu* photo = bar->addMenu(QStringLiteral("Photo"));
    photo->setObjectName(QStringLiteral("Photo1"));
    AddMenuEntry(photo, "RotateLeft1", QStringLiteral("Rotate Left"), QKeySequence(Qt::CTRL | Qt::Key_L),
                 &TForm1::RotateLeft1Click);
    AddMenuEntry(photo, "RotateRight1", QStringLiteral("Rotate Right"), QKeySequence(Qt::CTRL | Qt::Key_R),
                 &TForm1::RotateRight1Click);
    AddMenuEntry(photo, "Flipphoto1", QStringLiteral("Flip photo"), QKeySequence(Qt::CTRL | Qt::Key_F),
                 &TForm1::Flipphoto1Click);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help1"));
    AddMenuEntry(help, "Quillmarkhomepage1", QStringLiteral("Quillmark - homepage"), QKeySequence(),
                 &TForm1::Quillmarkhomepage1Click);
    AddMenuEntry(help, "About1", QStringLiteral("About"), QKeySequence(), &TForm1::About1Click);
}

QToolButton* TForm1::AddToolButton(const char* name, const QString& caption, const QString& hint,
                                   const char* themeIcon, const char* fallbackIcon,
                                   void (TForm1::*handler)()) {
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    if (!hint.isEmpty()) button->setToolTip(hint);
    button->setIcon(ToolbarIcon(themeIcon, fallbackIcon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this,
            [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    QAction* place = ToolBar1->addWidget(button);
    place->setObjectName(QString::fromLatin1(name) + QStringLiteral("Place"));
    return button;
}

void TForm1::BuildToolBar() {
    ToolBar1 = new QToolBar(QStringLiteral("Toolbar"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    const auto hide = [this](QToolButton* button) {
        for (QAction* action : ToolBar1->actions())
            if (ToolBar1->widgetForAction(action) == button) action->setVisible(false);
    };

    AddToolButton("ToolButton1", QStringLiteral("Open "), QStringLiteral("Open Photo"), "document-open",
                  "open", &TForm1::ToolButton1Click);
    AddToolButton("ToolButton3", QStringLiteral(" Folder"), QStringLiteral("Open photo folder"),
                  "folder-open", "folder", &TForm1::ToolButton3Click);
    hide(AddToolButton("ToolButton9", QStringLiteral("To Clpbrd"), QStringLiteral("Copy photo to clipboard"),
                       "edit-copy", "copy", &TForm1::ToolButton9Click));
    AddToolButton("ToolButton20", QStringLiteral("Save as"), QStringLiteral("Save photo as ..."),
                  "document-save-as", "save", &TForm1::ToolButton20Click);
    AddToolButton("ToolButton22", QStringLiteral("Recycle"), QStringLiteral("Delete to recycle bin"),
                  "user-trash", "recycle", &TForm1::ToolButton22Click);
    ToolBar1->addSeparator();
    AddToolButton("ToolButton10", QStringLiteral("First"),
                  QStringLiteral("Go to first photo in thumb nail list"), "go-first", "first",
                  &TForm1::ToolButton10Click);
    AddToolButton("ToolButton5", QStringLiteral("Prior"),
                  QStringLiteral("Go to previous photo in thumb nail list"), "go-previous", "prior",
                  &TForm1::ToolButton5Click);
    AddToolButton("ToolButton6", QStringLiteral("Next"),
                  QStringLiteral("Go to next photo in thumb nail list"), "go-next", "next",
                  &TForm1::ToolButton6Click);
    AddToolButton("ToolButton26", QStringLiteral("Last"),
                  QStringLiteral("Go to last photo in thumb nail list"), "go-last", "last",
                  &TForm1::ToolButton26Click);
    ToolBar1->addSeparator();
    AddToolButton("ToolButton16", QStringLiteral("Rotate L"), QStringLiteral("Rotate photo left 90 degrees"),
                  "object-rotate-left", "rotate-left", &TForm1::ToolButton16Click);
    AddToolButton("ToolButton19", QStringLiteral("Rotate R"), QStringLiteral("Rotate photo right 90 degrees"),
                  "object-rotate-right", "rotate-right", &TForm1::ToolButton19Click);
    AddToolButton("ToolButton21", QStringLiteral("Flip"), QStringLiteral("Flip photo 180 degrees"),
                  "object-flip-vertical", "flip", &TForm1::ToolButton21Click);
    hide(AddToolButton("ToolButton17", QStringLiteral("Mirror"), QString(), "object-flip-horizontal",
                       "mirror", &TForm1::ToolButton17Click));
    ToolBar1->addSeparator();
    AddToolButton("ToolButton7", QStringLiteral("Fit"),
                  QStringLiteral("Fit to window with aspect ratio maintained."), "zoom-fit-best", "fit",
                  &TForm1::ToolButton7Click);
    AddToolButton("ToolButton13", QStringLiteral("Actual"),
                  QStringLiteral("Show actuall pixel size and pan photo"), "zoom-original", "actual",
                  &TForm1::ToolButton13Click);
    AddToolButton("ToolButton11", QStringLiteral("Zoom In"), QStringLiteral("Zoom photo"), "zoom-in",
                  "zoom-in", &TForm1::ToolButton11Click);
    AddToolButton("ToolButton12", QStringLiteral("Zoom Out"), QString(), "zoom-out", "zoom-out",
                  &TForm1::ToolButton12Click);
    ToolBar1->addSeparator();
    AddToolButton("ToolButton25", QStringLiteral("Comment"), QStringLiteral("Show photo comments"),
                  "insert-text", "comment", &TForm1::ToolButton25Click);
    AddToolButton("ToolButton24", QStringLiteral("Home"), QStringLiteral("Quillmark - Home page"), "go-home",
                  "home", &TForm1::ToolButton24Click);
    ToolBar1->addSeparator();
    AddToolButton("ToolButton2", QStringLiteral("Exit"), QStringLiteral("Exit"), "application-exit", "exit",
                  &TForm1::ToolButton2Click);
}

void TForm1::BuildWindow() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Panel1"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The banner under the toolbar.
    auto* banner = new QWidget(central);
    banner->setObjectName(QStringLiteral("Panel3"));
    auto* bannerLayout = new QHBoxLayout(banner);
    bannerLayout->setContentsMargins(8, 2, 8, 2);
    Label6 = new QLabel(QStringLiteral("Quillmark"), banner);
    Label6->setObjectName(QStringLiteral("Label6"));
    QFont bold = Label6->font();
    bold.setBold(true);
    Label6->setFont(bold);
    bannerLayout->addWidget(Label6);
    bannerLayout->addStretch(1);
    ProgressBar1 = new QProgressBar(banner);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFixedWidth(240);
    ProgressBar1->setVisible(false);
    bannerLayout->addWidget(ProgressBar1);
    cbVerbose = new QCheckBox(QStringLiteral("Verbose"), banner);
    cbVerbose->setObjectName(QStringLiteral("cbVerbose"));
    cbVerbose->setVisible(false);
    bannerLayout->addWidget(cbVerbose);
    cbDecode = new QCheckBox(QStringLiteral("Decode"), banner);
    cbDecode->setObjectName(QStringLiteral("cbDecode"));
    cbDecode->setVisible(false);
    bannerLayout->addWidget(cbDecode);
    layout->addWidget(banner);

    // Strip, picture and the three lists, between splitters.
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);

    ThumbnailList1 = new TThumbnailList(Splitter1);
    ThumbnailList1->setObjectName(QStringLiteral("ThumbnailList1"));
    ThumbnailList1->SetColor(QColor(240, 240, 240));
    ThumbnailList1->SetThumbnailSize(64);
    ThumbnailList1->SetOrientation(toVertical);
    ThumbnailList1->SetShowCaption(true);
    ThumbnailList1->SetShowSelection(false);
    ThumbnailList1->SetBuffered(true);
    ThumbnailList1->SetScrollStyle(ssNormal);
    ThumbnailList1->SetScrollColor(QColor(0, 0, 0));
    ThumbnailList1->SetScrollWidth(16);
    ThumbnailList1->SetColumns(0);
    ThumbnailList1->setMinimumWidth(80);
    connect(ThumbnailList1, &TThumbnailList::OnClick, this,
            [this] { RunCommand([this] { ThumbnailList1Click(); }); });

    ScrollBox1 = new QScrollArea(Splitter1);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PictureView1 = new TPictureView;
    PictureView1->setObjectName(QStringLiteral("PictureView1"));
    PictureView1->SetPicturePosition(bpStretchedWithAspect);
    PictureView1->SetAnimate(false);
    PictureView1->SetAutoSize(false);
    PictureView1->SetStretchMode(smNever);
    PictureView1->Picture().SetStretch(false);
    PictureView1->Picture().SetFrame(0);
    ScrollBox1->setWidget(PictureView1);
    ScrollBox1->setWidgetResizable(true);

    PageControl2 = new QTabWidget(Splitter1);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    ValueListEditor1 = MakeValueList(PageControl2, "ValueListEditor1");
    PageControl2->addTab(ValueListEditor1, QStringLiteral("Exif Properties"));
    ValueListEditor2 = MakeValueList(PageControl2, "ValueListEditor2");
    PageControl2->addTab(ValueListEditor2, QStringLiteral("Maker Data"));
    auto* summary = new QWidget(PageControl2);
    summary->setObjectName(QStringLiteral("TabSheet3"));
    auto* summaryLayout = new QVBoxLayout(summary);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    ValueListEditor3 = MakeValueList(summary, "ValueListEditor3");
    summaryLayout->addWidget(ValueListEditor3, 1);
    Memo1 = new QPlainTextEdit(summary);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVisible(false);
    summaryLayout->addWidget(Memo1);
    PageControl2->addTab(summary, QStringLiteral("Summary"));

    Splitter1->addWidget(ThumbnailList1);
    Splitter1->addWidget(ScrollBox1);
    Splitter1->addWidget(PageControl2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setStretchFactor(2, 0);
    Splitter1->setSizes({144, 1164 - 144 - 305, 305});
    layout->addWidget(Splitter1, 1);

    // The bottom bar.
    auto* bottom = new QWidget(central);
    bottom->setObjectName(QStringLiteral("Panel2"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(6, 2, 8, 2);
    btnAbout = new QPushButton(QStringLiteral("About..."), bottom);
    btnAbout->setObjectName(QStringLiteral("btnAbout"));
    connect(btnAbout, &QPushButton::clicked, this, [this] { RunCommand([this] { btnAboutClick(); }); });
    bottomLayout->addWidget(btnAbout);
    Label2 = new QLabel(QStringLiteral("Filename:"), bottom);
    Label2->setObjectName(QStringLiteral("Label2"));
    bottomLayout->addWidget(Label2);
    bottomLayout->addSpacing(16);
    Label1 = new QLabel(QStringLiteral("Folder:"), bottom);
    Label1->setObjectName(QStringLiteral("Label1"));
    bottomLayout->addWidget(Label1);
    bottomLayout->addStretch(1);
    Label5 = new QLabel(QString::fromLatin1(kHomePageUrl), bottom);
    Label5->setObjectName(QStringLiteral("Label5"));
    QFont link = Label5->font();
    link.setBold(true);
    link.setUnderline(true);
    Label5->setFont(link);
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bottomLayout->addWidget(Label5);
    layout->addWidget(bottom);

    setCentralWidget(central);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    RunCommand([this] { FormShow(); });
}

void TForm1::FormShow() {
    if (arguments_.isEmpty()) return;
    const QFileInfo argument(arguments_.first());
    // Further arguments are ignored.
    if (argument.isFile()) {
        TBusyCursor busy;
        ShowPhoto(argument.absoluteFilePath(), true);
    }
    if (argument.isDir()) {
        TBusyCursor busy;
        ThumbnailList1->Thumbnails().ClearThumbnails();
        ScanFolder(argument.absoluteFilePath());
    }
}

bool TForm1::RunCommand(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        Platform().ShowMessage(this, QString::fromUtf8(error.what()));
    } catch (...) {
        Platform().ShowMessage(this, QStringLiteral("An unknown failure ended the command."));
    }
    return false;
}

// ---- Keys and mouse

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        // Keys come to the window first and are then passed on to the focused control; acting here, on
        // the window's way, runs each key once whichever control has the focus, and never takes it away.
        if (watched == windowHandle() && watched) {
            const auto* key = static_cast<QKeyEvent*>(event);
            FormKeyDown(key->key(), key->modifiers(), key->text());
        }
        break;
    case QEvent::MouseButtonPress:
        if (watched == PictureView1) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            PictureView1MouseDown(at.x(), at.y());
        }
        break;
    case QEvent::MouseMove:
        if (watched == PictureView1) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = mouse->position().toPoint();
            PictureView1MouseMove(mouse->buttons(), at.x(), at.y());
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == Label5 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            Label5->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            RunCommand([this] { Label5Click(); });
        break;
    default:
        break;
    }
    return false;
}

bool TForm1::FormKeyDown(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool plain = held == Qt::NoModifier;
    const bool control = held == Qt::ControlModifier;
    bool ran = false;
    const auto run = [this, &ran](void (TForm1::*handler)()) {
        ran = true;
        RunCommand([this, handler] { (this->*handler)(); });
    };
    // Each test stands on its own, in this order.
    if (plain && key == Qt::Key_Home) run(&TForm1::ToolButton10Click);
    if (plain && key == Qt::Key_PageUp) run(&TForm1::ToolButton5Click);
    if (plain && key == Qt::Key_PageDown) run(&TForm1::ToolButton6Click);
    if (plain && key == Qt::Key_End) run(&TForm1::ToolButton26Click);
    if (plain && key == Qt::Key_F1) run(&TForm1::ToolButton24Click);
    if (plain && key == Qt::Key_F2) run(&TForm1::OpenImage1Click);
    if (plain && key == Qt::Key_F3) run(&TForm1::OpenFolder1Click);
    if (plain && key == Qt::Key_F5) run(&TForm1::ToolButton7Click);
    if (plain && key == Qt::Key_F6) run(&TForm1::ToolButton13Click);
    if (plain && key == Qt::Key_F10) run(&TForm1::Exit1Click);
    if (plain && key == Qt::Key_Escape) run(&TForm1::Exit1Click);
    if (control && key == Qt::Key_S) run(&TForm1::ToolButton20Click);
    if (control && key == Qt::Key_Delete) run(&TForm1::ToolButton22Click);
    if (text == QStringLiteral("+")) run(&TForm1::ToolButton11Click);
    if (text == QStringLiteral("-")) run(&TForm1::ToolButton12Click);
    if (text == QStringLiteral(" ")) run(&TForm1::ToolButton13Click);
    return ran;
}

void TForm1::PictureView1MouseDown(int x, int y) {
    DragStartX = x;
    DragStartY = y;
}

void TForm1::PictureView1MouseMove(Qt::MouseButtons buttons, int x, int y) {
    if (!(buttons & Qt::LeftButton)) return;
    int left = PictureView1->x();
    int top = PictureView1->y();
    // Both bounds are strict: a drag never brings an edge exactly to 0 or to the limit.
    const int newLeft = left + x - DragStartX;
    if (newLeft < 0 && newLeft > PanLimitX) left = newLeft;
    const int newTop = top + y - DragStartY;
    if (newTop < 0 && newTop > PanLimitY) top = newTop;
    SetViewLeftTop(left, top);
}

// The view's offset in the scrolling area is what its scroll bars say: moving it is scrolling.
void TForm1::SetViewLeftTop(int left, int top) {
    ScrollBox1->horizontalScrollBar()->setValue(-left);
    ScrollBox1->verticalScrollBar()->setValue(-top);
}

QSize TForm1::ScrollClientSize() {
    // The scroll area shows or hides its bars a moment after the view's size changes; let it do so now.
    QCoreApplication::sendPostedEvents(ScrollBox1, QEvent::MetaCall);
    return ScrollBox1->viewport()->size();
}

// ---- Showing a photo

void TForm1::AddReportLine(const QString& text) {
    Memo1->appendPlainText(PlainLines(text));
}

void TForm1::ClearPicture() {
    if (!PictureView1->Picture().IsEmpty()) PictureView1->SetPicture(nullptr);
}

void TForm1::ShowPhoto(const QString& fileName, bool addToStrip) {
    if (!QFileInfo(fileName).isFile()) {
        Platform().ShowMessage(this, QStringLiteral("File does not exists: ") + fileName);
        return;
    }
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const QString folderPart = fileName.left(slash + 1);
    const QString namePart = fileName.mid(slash + 1);
    TBusyCursor busy;

    ClearRows(ValueListEditor1);
    ClearRows(ValueListEditor2);
    ClearRows(ValueListEditor3);
    ClearPicture();
    ReaderSettings().TraceDetail = Verbose ? 1 : 0;
    Memo1->clear();

    PictureView1->SetPicture(nullptr);
    PictureView1->Picture().LoadFile(fileName);
    ImageData->BuildMode = 255;
    ImageData->ProcessFile(ToFileName(fileName));
    // The view repaints with the new picture before the lists are filled.
    Platform().ProcessEvents();

    Label1->setText(QStringLiteral("Folder: ") + folderPart);
    Label2->setText(QStringLiteral("Filename: ") + namePart);
    ToolButton7Click();
    if (addToStrip) {
        TThumbnail* thumbnail = ThumbnailList1->Thumbnails().AddThumbnail();
        thumbnail->Picture().LoadFile(fileName);
        thumbnail->SetCaption(namePart);
        thumbnail->SetFilename(fileName);
    }
    CurrentFile = fileName;

    // The lists and the report, read once from what the container has just read.
    const TPhotoReport report = BuildPhotoReport(*ImageData);
    AppendRows(ValueListEditor1, report.ExifRows);
    if (!ImageData->HasMetadata()) return;
    AppendRows(ValueListEditor2, report.MakerRows);
    if (!report.MemoLines.empty()) {
        QStringList lines;
        lines.reserve(qsizetype(report.MemoLines.size()));
        for (const std::string& line : report.MemoLines)
            lines << ToDisplay(line);
        Memo1->appendPlainText(lines.join(QLatin1Char('\n')));
    }
    if (ImageData->CommentSection && frmComment)
        frmComment->Memo1->setPlainText(
            PlainLines(ToDisplay(ImageData->CommentText(), TControls::LineBreaks)));
    if (!ImageData->HasExif()) return;
    AppendRows(ValueListEditor3, report.SummaryRows);
    Memo1->moveCursor(QTextCursor::Start);
    Memo1->verticalScrollBar()->setValue(0);
}

// ---- Folder browsing and navigation

void TForm1::OpenImage1Click() {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Open Image");
    request.Folder = QStringLiteral(".");
    request.Filters = OpenImageFilters();
    const QString chosen = Platform().OpenFileName(this, request);
    if (chosen.isEmpty()) return;
    OpenImageFile(chosen);
}

void TForm1::OpenImageFile(const QString& chosen) {
    LastOpenedImage = chosen;
    TBusyCursor busy;
    ShowPhoto(chosen, true);
    const QSize client = ScrollClientSize();
    PanLimitX = client.width() - PictureView1->width();
    PanLimitY = client.height() - PictureView1->height();
}

void TForm1::OpenFolder1Click() {
    const QString last = LastOpenedImage.trimmed();
    QString start = last.isEmpty() ? QDir::homePath() : QFileInfo(last).path();
    if (!QFileInfo(start).isDir()) start.clear();
    const QString chosen = Platform().ChooseFolder(this, QString::fromLatin1(kFolderPickerTitle), start);
    if (chosen.isEmpty()) return;
    OpenFolderPath(chosen);
}

void TForm1::OpenFolderPath(const QString& chosen) {
    CancelScan();
    PictureView1->SetPicture(nullptr);
    Platform().ProcessEvents();
    ThumbnailList1->Thumbnails().ClearThumbnails();
    ScanFolder(chosen);
}

int32_t TForm1::CountMatches(QString folder, const QString& pattern) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    return int32_t(dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System).size());
}

void TForm1::ScanFolder(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    // One scan fills the strip at a time: one still running adds nothing more from here on.
    CancelScan();
    TBusyCursor busy;
    ThumbnailList1->BeginFill();
    // The strip shows its rows again however the scan ends.
    struct FillGuard {
        TThumbnailList* list;
        QProgressBar* bar;
        ~FillGuard() {
            list->EndFill();
            bar->setValue(0);
            bar->setVisible(false);
        }
    } guard{ThumbnailList1, ProgressBar1};

    const QString pattern = QStringLiteral("*.jpg");
    const int32_t count = CountMatches(folder, pattern);
    ProgressBar1->setRange(0, count);
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(true);

    // Name patterns match in any letter case (cameras write ".JPG"); entries come sorted by name, so a
    // folder always fills the strip in the same order. Folders whose names match are listed too.
    const QStringList entries = QDir(folder).entryList(
        {pattern}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList paths;
    paths.reserve(entries.size());
    for (const QString& name : entries)
        paths << folder + name;

    // The files are read and decoded on worker threads, one per core, while this thread adds their
    // thumbnails in the listing's order, moves the progress bar and goes on handling the window's events.
    // Each thumbnail is what loading its file here would make, so the strip is the same either way.
    TThumbnailScan scan(paths, ThumbnailList1->PictureDecodeBound());
    TThumbnails& strip = ThumbnailList1->Thumbnails();
    // Photos opened while the scan runs are appended behind the folder's, as they would have been had the
    // scan held the window until it was done.
    int insertAt = strip.ThumbnailCount();
    int32_t k = 0;
    QEventLoop loop;
    std::exception_ptr failure;
    scan.OnReady = [&](int index, const TThumbnailLoad& load) {
        try {
            insertAt = std::min(insertAt, strip.ThumbnailCount());
            TThumbnail* thumbnail = strip.InsertThumbnail(insertAt++);
            thumbnail->Picture().LoadPrepared(paths.at(index), load);
            thumbnail->SetCaption(entries.at(index));
            thumbnail->SetFilename(paths.at(index));
            ProgressBar1->setValue(++k); // repaints the bar whenever what it shows changes
        } catch (...) {
            failure = std::current_exception();
            scan.Cancel();
        }
    };
    scan.OnDone = [&loop] { loop.quit(); };
    // Closing the window stops the scan: nobody waits for the strip any more.
    bool closed = false;
    TCloseWatcher watcher(this, [&] {
        closed = true;
        scan.Cancel();
    });
    scan_ = &scan;
    scan.Start();
    // The loop ends when the scan is done or cancelled, and when the application quits, which cancels it.
    if (!scan.IsDone()) loop.exec();
    scan.Cancel();
    if (scan_ == &scan) scan_ = nullptr;
    // A scan of the folder given on the command line runs before the application's own loop, and a window
    // closed then would not end the application: its loop, once begun, would wait for a window that is gone.
    if (closed && QThread::currentThread()->loopLevel() == 0 && QGuiApplication::quitOnLastWindowClosed() &&
        !AnyWindowVisible())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    if (failure) std::rethrow_exception(failure);
}

void TForm1::CancelScan() {
    if (scan_) scan_->Cancel();
    scan_ = nullptr;
}

void TForm1::ThumbnailList1Click() {
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(ThumbnailList1->SelectedIndex())->Filename(), false);
}

void TForm1::ToolButton10Click() {
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(0)->Filename(), false);
    ThumbnailList1->SetSelectedIndex(0);
}

void TForm1::ToolButton5Click() {
    const int i = ThumbnailList1->SelectedIndex();
    if (i <= 0) return;
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(i - 1)->Filename(), false);
    ThumbnailList1->SetSelectedIndex(i - 1);
}

void TForm1::ToolButton6Click() {
    const int i = ThumbnailList1->SelectedIndex();
    const int n = ThumbnailList1->Thumbnails().ThumbnailCount();
    if (i >= n - 1) return;
    const QString next = ThumbnailList1->Thumbnails().ThumbnailAt(i + 1)->Filename();
    if (QFileInfo(next).isFile()) {
        ThumbnailList1->SetSelectedIndex(i + 1);
        ShowPhoto(next, false);
    } else {
        Platform().ShowMessage(this, QStringLiteral("File \"%1\" does not exists").arg(next));
    }
}

void TForm1::ToolButton26Click() {
    const int last = ThumbnailList1->Thumbnails().ThumbnailCount() - 1;
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(last)->Filename(), false);
    ThumbnailList1->SetSelectedIndex(last);
}

void TForm1::CloseAll1Click() {
    CancelScan();
    PictureView1->SetPicture(nullptr);
    ThumbnailList1->Thumbnails().ClearThumbnails();
}

// ---- View modes and turns

void TForm1::ToolButton7Click() {
    PictureView1->SetAutoSize(false);
    ScrollBox1->setWidgetResizable(true);
    PictureView1->SetPicturePosition(bpStretchedWithAspect);
    PictureView1->update();
    PictureView1->setCursor(Qt::ArrowCursor);
}

void TForm1::ToolButton13Click() {
    ScrollBox1->setWidgetResizable(false);
    PictureView1->SetAutoSize(true);
    SetViewLeftTop(0, 0);
    const QSize client = ScrollClientSize();
    PanLimitX = client.width() - PictureView1->width();
    PanLimitY = client.height() - PictureView1->height();
    PictureView1->setCursor(Qt::OpenHandCursor);
}

void TForm1::ToolButton11Click() {
    ScrollBox1->setWidgetResizable(false);
    PictureView1->resize(PictureView1->width() + 100, PictureView1->height() + 100);
    PictureView1->SetPicturePosition(bpStretchedWithAspect);
}

void TForm1::ToolButton12Click() {
    ScrollBox1->setWidgetResizable(false);
    PictureView1->resize(PictureView1->width() - 100, PictureView1->height() - 100);
}

void TForm1::Refresh1Click() {
    PictureView1->repaint();
}

void TForm1::RotateView(int32_t degrees) {
    TBusyCursor busy;
    // The decoded pixels themselves are turned, whole: nothing is redrawn, so nothing shifts or blurs.
    const std::shared_ptr<const DecodedPicture> shown = PictureView1->Picture().Decoded();
    if (!shown) return; // nothing shown, nothing to turn
    if (shown->HasAlphaChannel()) {
        // A picture with transparency goes the long way: it is shown as its bitmap shows it, and the
        // bitmap does not keep transparency.
        QByteArray bitmap = EncodeBmp(RotateQuarterTurns(shown->Image(), degrees));
        PictureView1->SetPicture(nullptr);
        QBuffer stream(&bitmap);
        stream.open(QIODevice::ReadOnly);
        PictureView1->Picture().LoadStream(&stream);
        PictureView1->update();
        return;
    }
    // The view keeps the turned picture and a bitmap of it, as Save as expects. Both are made only when
    // something asks for them: the screen shows a turned reduction of the photo, so a turn costs about
    // as much as a repaint, and a few turns in a row cost nothing more.
    const std::shared_ptr<const DecodedPicture> turned = DecodedPicture::Turned(shown, degrees);
    PictureView1->SetPicture(nullptr);
    PictureView1->Picture().LoadPictureMakingBytes(turned,
                                                   [](const QImage& pixels) { return EncodeBmp(pixels); });
    PictureView1->update();
}

void TForm1::ToolButton16Click() {
    RotateView(-90);
}

void TForm1::ToolButton19Click() {
    RotateView(90);
}

void TForm1::ToolButton21Click() {
    RotateView(180);
}

void TForm1::ToolButton17Click() {
    // The hidden "Mirror" button has no action.
}

// ---- File commands

void TForm1::ToolButton20Click() {
    const TPictureHolder& picture = PictureView1->Picture();
    // An empty view has nothing to write; asking for a name and then truncating that file would only
    // destroy whatever had the name.
    if (picture.HeldBytes().isEmpty()) {
        Platform().ShowMessage(this, QStringLiteral("There is no picture to save."));
        return;
    }
    TFileDialogRequest request;
    request.Title = QStringLiteral("Save photo as");
    request.FileName = LastSaveAsName;
    if (!LastSaveAsName.isEmpty()) request.Folder = QFileInfo(LastSaveAsName).absolutePath();
    request.Filters = SaveAsFilters();
    const QString chosen = Platform().SaveFileName(this, request);
    if (chosen.isEmpty()) return;
    LastSaveAsName = chosen;
    TBusyCursor busy;
    // A turned picture is held as a bitmap: written under a ".jpg" name it would be a BMP in disguise, so
    // it is encoded in the type the name asks for. Bytes already of that type are written unchanged.
    WriteFileAtomically(chosen, BytesToSave(picture.HeldBytes(), picture.ToImage(), chosen));
}

void TForm1::ToolButton22Click() {
    PictureView1->SetPicture(nullptr);
    const int selected = ThumbnailList1->SelectedIndex();
    const QString selectedFile = ThumbnailList1->Thumbnails().ThumbnailAt(selected)->Filename();
    const int remembered = selectedFile == CurrentFile ? selected : -1;
    QString error;
    switch (RecycleFile(this, CurrentFile, error)) {
    case TTrashResult::Declined:
        // The photo stays where it is, and so do its thumbnail and its picture.
        PictureView1->Picture().LoadFile(CurrentFile);
        return;
    case TTrashResult::Failed:
        // Said out loud: the photo is still there, and so are its thumbnail and its picture.
        Platform().ShowMessage(this,
                               QStringLiteral("Could not move %1 to the trash: %2").arg(CurrentFile, error));
        PictureView1->Picture().LoadFile(CurrentFile);
        return;
    case TTrashResult::Moved:
    case TTrashResult::NothingToDo:
        break;
    }
    if (remembered >= 0) ThumbnailList1->Thumbnails().DeleteThumbnail(remembered);
    CurrentFile.clear();
    Label1->setText(QStringLiteral("Folder: "));
    Label2->setText(QStringLiteral("File: "));
}

void TForm1::ToolButton9Click() {
    const QImage image = PictureView1->Picture().ToImage();
    Platform().ProcessEvents();
    if (!image.isNull()) Platform().CopyImageToClipboard(image);
}

void TForm1::ToolButton25Click() {
    if (frmComment) frmComment->ShowComment();
}

void TForm1::Comment1Click() {
    TImageInfo* reader = ImageData->ExifReader.get();
    if (!reader || reader->UserCommentPos == 0) {
        Platform().ShowMessage(this, QStringLiteral("No EXIF comment field detected"));
        return;
    }
    const QString prompt =
        QStringLiteral("Enter a new comment (limited to %1 characters )").arg(reader->UserCommentLength);
    const QString current = ToDisplay(reader->UserCommentText);
    const QString typed = Platform().InputBox(this, QStringLiteral("Enter EXIF comment:"), prompt, current);
    if (typed == current) return;
    const QByteArray bytes = typed.toUtf8();
    const std::string text(bytes.constData(), size_t(bytes.size()));
    reader->SetExifComment(text);
    AddReportLine(QStringLiteral("Comment set to: ") + typed);
    reader->UserCommentText = text;
}

void TForm1::WriteSmall1Click() {
    QString proposed = FromFileName(ImageData->PathName);
    proposed.chop(4);
    proposed += QStringLiteral("_smaller.jpg");
    TFileDialogRequest request;
    request.Title = QStringLiteral("Write small copy");
    request.FileName = proposed;
    request.Folder = QFileInfo(proposed).absolutePath();
    request.Filters = {{QStringLiteral("JPEG Image File (*.jpg)"), {QStringLiteral("*.jpg")}}};
    const QString chosen = Platform().SaveFileName(this, request);
    if (chosen.isEmpty()) return;
    TBusyCursor busy;
    const TEncodedJpeg small =
        EncodeJpeg(HalfSize(DecodeJpegFile(ImageData->PathName)), kSmallCopyJpegQuality);
    ImageData->ClearSections();
    ImageData->WriteJpegFile(small, ToFileName(chosen), true);
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::ToolButton2Click() {
    close();
}

// ---- About box and links

void TForm1::ToolButton24Click() {
    Platform().OpenUrl(QString::fromLatin1(kHomePageUrl));
}

void TForm1::Label5Click() {
    Platform().OpenUrl(QString::fromLatin1(kAuthorSiteUrl));
}

void TForm1::About1Click() {
    if (AboutBox) AboutBox->exec();
}

void TForm1::btnAboutClick() {
    if (!AboutBox) return;
    AboutBox->SetProductInfo(QStringLiteral("Corvane"), QStringLiteral("1.03d"));
    AboutBox->exec();
}

// ---- Commands that run another one

void TForm1::Saveas1Click() {
    ToolButton20Click();
}

void TForm1::Recyclephoto1Click() {
    ToolButton22Click();
}

void TForm1::Copyimagetoclipboard1Click() {
    ToolButton9Click();
}

void TForm1::Fittoscreenwithaspect1Click() {
    ToolButton7Click();
}

void TForm1::Viewactualpixelsize1Click() {
    ToolButton13Click();
}

void TForm1::Zoom1Click() {
    ToolButton11Click();
}

void TForm1::ZoomOut1Click() {
    ToolButton12Click();
}

void TForm1::RotateLeft1Click() {
    RotateView(-90);
}

void TForm1::RotateRight1Click() {
    RotateView(90);
}

void TForm1::Flipphoto1Click() {
    RotateView(180);
}

void TForm1::Quillmarkhomepage1Click() {
    ToolButton24Click();
}

void TForm1::ToolButton1Click() {
    OpenImage1Click();
}

void TForm1::ToolButton3Click() {
    OpenFolder1Click();
}

// ---- The program's windows

TViewerWindows::TViewerWindows(QStringList arguments)
    : form1_(std::make_unique<TForm1>(std::move(arguments))) {
    TForm1* form = form1_.get();
    aboutBox_ = std::make_unique<TAboutBox>([form] { return form->VersionText; }, form);
    comment_ = std::make_unique<TfrmComment>(form);
    form->SetDialogs(aboutBox_.get(), comment_.get());
}

TViewerWindows::~TViewerWindows() {
    form1_->SetDialogs(nullptr, nullptr);
}

} // namespace quillmark
