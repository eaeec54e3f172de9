// Building the main window: its parts, their names, and what happens when it is first shown.
#include "MainView.h"

#include "About.h"
#include "CommentDialog.h"
#include "DropSupport.h"
#include "FileNames.h"
#include "Links.h"
#include "MainViewParts.h"
#include "PictureView.h"
#include "TextEncoding.h"
#include "ThumbnailCache.h"
#include "ThumbnailList.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

// The toolbar icons are compiled into the library; a static library needs them registered by hand.
static void InitQuillmarkResources() {
    Q_INIT_RESOURCE(quillmark);
}

namespace quillmark {

QString ToDisplay(std::string_view text, TControls keep) {
    const std::string utf8 = DisplayUtf8(text, keep);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

std::string ToFileName(const QString& path) {
    return FileNameBytes(path).toStdString();
}

QString FromFileName(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

QIcon ResourceIcon(const char* name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(QString::fromLatin1(name)));
    icon.addFile(QStringLiteral(":/icons/%1@2x.png").arg(QString::fromLatin1(name)));
    return icon;
}

namespace {

// Names for screen readers of the parts that are not commands (the buttons take theirs from the command
// table).
void SetAccessibleNames(TForm1& form) {
    form.ThumbnailList1->setAccessibleName(TForm1::tr("Thumbnails"));
    form.PictureView1->setAccessibleName(TForm1::tr("Photo"));
    form.PageControl2->setAccessibleName(TForm1::tr("Metadata"));
    form.ValueListEditor1->setAccessibleName(TForm1::tr("Exif Properties"));
    form.ValueListEditor2->setAccessibleName(TForm1::tr("Maker Data"));
    form.ValueListEditor3->setAccessibleName(TForm1::tr("Summary"));
    form.ValueListEditor4->setAccessibleName(TForm1::tr("XMP"));
    form.Memo1->setAccessibleName(TForm1::tr("Report"));
    form.ProgressBar1->setAccessibleName(TForm1::tr("Folder scan"));
}

// A label of the bars above and below the picture: in a narrow window it is cut off rather than
// drawn over its neighbours, and its whole text is in its tooltip.
void LetShrink(QLabel* label) {
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(0);
}

} // namespace

// ---- Creating the window

TForm1::TForm1(QStringList arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)) {
    InitQuillmarkResources();
    // The strip's thumbnails go through the desktop's shared cache, as every other viewer and file manager
    // on the desktop does: a folder seen once opens at once the next time, in any of them.
    UseThumbnailCache(std::make_shared<const TThumbnailCache>());
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("quillmark"), ResourceIcon("quillmark")));
    BuildMenus();
    BuildToolBar();
    BuildWindow();
    SetAccessibleNames(*this);
    AcceptDroppedFiles(*this);
    FormCreate();
    UpdateCommandStates();

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
    ImageData = std::make_shared<TimgData>(255);
    Verbose = false;
    PageControl2->setCurrentIndex(0);
    VersionText = QStringLiteral(QUILLMARK_VERSION);
    LastOpenedImage.clear();
    SetSortOrder(TSortOrder::Name);
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
    Label6 = new QLabel(tr("Quillmark"), banner);
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
    cbVerbose = new QCheckBox(tr("Verbose"), banner);
    cbVerbose->setObjectName(QStringLiteral("cbVerbose"));
    cbVerbose->setVisible(false);
    bannerLayout->addWidget(cbVerbose);
    cbDecode = new QCheckBox(tr("Decode"), banner);
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
    ScrollBox1->setAlignment(Qt::AlignCenter);
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
    PageControl2->addTab(ValueListEditor1, tr("Exif Properties"));
    ValueListEditor2 = MakeValueList(PageControl2, "ValueListEditor2");
    PageControl2->addTab(ValueListEditor2, tr("Maker Data"));
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
    PageControl2->addTab(summary, tr("Summary"));
    ValueListEditor4 = MakeValueList(PageControl2, "ValueListEditor4");
    PageControl2->addTab(ValueListEditor4, tr("XMP"));

    Splitter1->addWidget(ThumbnailList1);
    Splitter1->addWidget(ScrollBox1);
    Splitter1->addWidget(PageControl2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setStretchFactor(2, 0);
    // The lists take 305 pixels, or as many as their four tabs need where the desktop's font is wider:
    // the last tab would otherwise start hidden behind the tab bar's scroll arrows.
    const int listsWidth =
        std::max(305, PageControl2->tabBar()->sizeHint().width() +
                          2 * PageControl2->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    Splitter1->setSizes({144, 1164 - 144 - listsWidth, listsWidth});
    layout->addWidget(Splitter1, 1);

    // The bottom bar.
    auto* bottom = new QWidget(central);
    bottom->setObjectName(QStringLiteral("Panel2"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(6, 2, 8, 2);
    btnAbout = new QPushButton(tr("About..."), bottom);
    btnAbout->setObjectName(QStringLiteral("btnAbout"));
    connect(btnAbout, &QPushButton::clicked, this, [this] { RunCommand([this] { btnAboutClick(); }); });
    bottomLayout->addWidget(btnAbout);
    Label2 = new QLabel(tr("Filename:"), bottom);
    Label2->setObjectName(QStringLiteral("Label2"));
    LetShrink(Label2);
    bottomLayout->addWidget(Label2, 2);
    bottomLayout->addSpacing(16);
    Label1 = new QLabel(tr("Folder:"), bottom);
    Label1->setObjectName(QStringLiteral("Label1"));
    LetShrink(Label1);
    bottomLayout->addWidget(Label1, 3);
    Label5 = new QLabel(HomePageUrl(), bottom);
    Label5->setObjectName(QStringLiteral("Label5"));
    QFont link = Label5->font();
    link.setBold(true);
    link.setUnderline(true);
    Label5->setFont(link);
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The address stays whole; the file and folder labels give way in a narrow window.
    bottomLayout->addWidget(Label5);
    layout->addWidget(bottom);

    setCentralWidget(central);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // The photo or folder of the command line is opened once the window is on the screen: a folder's
    // strip fills while the window shows its first photo.
    QMetaObject::invokeMethod(
        this, [this] { RunCommand([this] { FormShow(); }); }, Qt::QueuedConnection);
}

void TForm1::FormShow() {
    if (arguments_.isEmpty()) return;
    const QFileInfo argument(arguments_.first());
    // Further arguments are ignored.
    if (!argument.exists()) {
        Platform().ShowMessage(this,
                               tr("There is no photo or folder %1.").arg(DisplayPath(arguments_.first())));
        return;
    }
    if (argument.isFile()) {
        TBusyCursor busy;
        ShowPhoto(argument.absoluteFilePath(), true);
    }
    if (argument.isDir()) {
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
        Platform().ShowMessage(this, tr("An unknown failure ended the command."));
    }
    return false;
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
