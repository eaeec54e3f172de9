// The command table, and the menus, the toolbar and the keys made from it.
#include "MainView.h"

#include "MainViewParts.h"
#include "PictureView.h"
#include "ThumbnailList.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <array>
#include <vector>

namespace quillmark {

// A key the window runs a command on, whatever control has the focus.
struct TWindowKey {
    int Key = 0;
    Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
    // Matched by the text typed rather than the key (`+` is Shift+= on some keyboards, a key of its own
    // on the keypad).
    const char* Text = nullptr;
    // Only while the strip has the focus (its arrow keys).
    bool InStrip = false;
};

enum TCommandFlag : unsigned {
    cfMenuSeparator = 1,  // a separator before the menu entry
    cfToolSeparator = 2,  // a separator before the button
    cfMenuHidden = 4,     // the entry is there but not shown
    cfButtonHidden = 8,   // the button is there but not shown
    cfMenuNamesKeys = 16, // the entry only names the keys; choosing it does nothing
    cfNeedsPhoto = 32,    // disabled while no photo is shown
};

// One command: where it appears, how it is drawn and named, its keys, and what it does.
struct TCommandRow {
    void (TForm1::*Run)() = nullptr;
    int Menu = -1;                   // index into kMenus; -1: on no menu
    const char* MenuEntry = nullptr; // object name of the entry
    const char* MenuCaption = nullptr;
    QKeyCombination Shortcut{};   // shown beside the entry and run through it
    int ToolbarSlot = 0;          // place on the toolbar, from the left; 0: no button
    const char* Button = nullptr; // object name of the button
    const char* ButtonCaption = nullptr;
    const char* Hint = nullptr;
    const char* ThemeIcon = nullptr;
    const char* FallbackIcon = nullptr;
    // Names for screen readers: the words the button shows, so that a user of voice control can say
    // what is on the screen; captions alone ("Rotate L", " Folder") read badly.
    const char* AccessibleName = nullptr;
    std::array<TWindowKey, 2> Keys{};
    unsigned Flags = 0;
};

namespace {

struct TMenu {
    const char* Name;
    const char* Caption;
};

constexpr TMenu kMenus[] = {
    {"File1", QT_TRANSLATE_NOOP("TForm1", "File")}, {"Edit1", QT_TRANSLATE_NOOP("TForm1", "Edit")},
    {"View1", QT_TRANSLATE_NOOP("TForm1", "View")}, {"Photo1", QT_TRANSLATE_NOOP("TForm1", "Photo")},
    {"Help1", QT_TRANSLATE_NOOP("TForm1", "Help")},
};
enum { mFile, mEdit, mView, mPhoto, mHelp };

constexpr QKeyCombination kNone{};

TWindowKey Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return {key, modifiers, nullptr, false};
}

TWindowKey Typed(const char* text) {
    return {0, Qt::NoModifier, text, false};
}

TWindowKey StripKey(int key) {
    return {key, Qt::NoModifier, nullptr, true};
}

} // namespace

std::span<const TCommandRow> TForm1::CommandTable() {
    // In the order of the menus; the toolbar's order is each row's slot.
    static const std::vector<TCommandRow> rows = {
        // File
        {&TForm1::OpenPhoto, mFile, "OpenImage1", QT_TRANSLATE_NOOP("TForm1", "Open Image"), Qt::Key_F2, 1,
         "ToolButton1", QT_TRANSLATE_NOOP("TForm1", "Open "), QT_TRANSLATE_NOOP("TForm1", "Open Photo"),
         "document-open", "open", QT_TRANSLATE_NOOP("TForm1", "Open photo")},
        {&TForm1::OpenFolder, mFile, "OpenFolder1", QT_TRANSLATE_NOOP("TForm1", "Open Folder"), Qt::Key_F3, 2,
         "ToolButton3", QT_TRANSLATE_NOOP("TForm1", " Folder"),
         QT_TRANSLATE_NOOP("TForm1", "Open photo folder"), "folder-open", "folder",
         QT_TRANSLATE_NOOP("TForm1", "Open folder")},
        {&TForm1::SaveAs,
         mFile,
         "Saveas1",
         QT_TRANSLATE_NOOP("TForm1", "Save as ..."),
         Qt::CTRL | Qt::Key_S,
         4,
         "ToolButton20",
         QT_TRANSLATE_NOOP("TForm1", "Save as"),
         QT_TRANSLATE_NOOP("TForm1", "Save photo as ..."),
         "document-save-as",
         "save",
         QT_TRANSLATE_NOOP("TForm1", "Save as"),
         {},
         cfMenuSeparator},
        {&TForm1::CloseAll, mFile, "CloseAll1", QT_TRANSLATE_NOOP("TForm1", "Close All"),
         Qt::CTRL | Qt::ALT | Qt::Key_X},
        {&TForm1::RecyclePhoto,
         mFile,
         "Recyclephoto1",
         QT_TRANSLATE_NOOP("TForm1", "Recycle photo"),
         Qt::CTRL | Qt::Key_Delete,
         5,
         "ToolButton22",
         QT_TRANSLATE_NOOP("TForm1", "Recycle"),
         QT_TRANSLATE_NOOP("TForm1", "Delete to recycle bin"),
         "user-trash",
         "recycle",
         QT_TRANSLATE_NOOP("TForm1", "Recycle photo"),
         {Key(Qt::Key_Delete)},
         cfMenuSeparator | cfNeedsPhoto},
        {&TForm1::ExitProgram,
         mFile,
         "Exit1",
         QT_TRANSLATE_NOOP("TForm1", "Exit"),
         Qt::Key_F10,
         22,
         "ToolButton2",
         QT_TRANSLATE_NOOP("TForm1", "Exit"),
         QT_TRANSLATE_NOOP("TForm1", "Exit"),
         "application-exit",
         "exit",
         QT_TRANSLATE_NOOP("TForm1", "Exit"),
         {},
         cfMenuSeparator | cfToolSeparator},
        // Edit
        {nullptr,
         mEdit,
         "Clear1",
         QT_TRANSLATE_NOOP("TForm1", "Clear"),
         kNone,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         {},
         cfMenuHidden},
        {&TForm1::EditExifComment,
         mEdit,
         "Comment1",
         QT_TRANSLATE_NOOP("TForm1", "Comment"),
         kNone,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         {},
         cfNeedsPhoto},
        {&TForm1::WriteSmallCopy,
         mEdit,
         "WriteSmall1",
         QT_TRANSLATE_NOOP("TForm1", "Write Small"),
         kNone,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         {},
         cfNeedsPhoto},
        {&TForm1::CopyToClipboard,
         mEdit,
         "Copyimagetoclipboard1",
         QT_TRANSLATE_NOOP("TForm1", "Copy image to clipboard"),
         Qt::CTRL | Qt::Key_C,
         3,
         "ToolButton9",
         QT_TRANSLATE_NOOP("TForm1", "To Clpbrd"),
         QT_TRANSLATE_NOOP("TForm1", "Copy photo to clipboard"),
         "edit-copy",
         "copy",
         QT_TRANSLATE_NOOP("TForm1", "Copy to clipboard"),
         {},
         cfButtonHidden},
        // View: the four navigation entries name their keys in their captions.
        {&TForm1::FirstPhoto,
         mView,
         "Firstphoto1",
         QT_TRANSLATE_NOOP("TForm1", "First photo     (Home)"),
         kNone,
         6,
         "ToolButton10",
         QT_TRANSLATE_NOOP("TForm1", "First"),
         QT_TRANSLATE_NOOP("TForm1", "Go to first photo in thumb nail list"),
         "go-first",
         "first",
         QT_TRANSLATE_NOOP("TForm1", "First photo"),
         {Key(Qt::Key_Home)},
         cfToolSeparator},
        {&TForm1::PriorPhoto,
         mView,
         "Priorphoto1",
         QT_TRANSLATE_NOOP("TForm1", "Prior photo    (Page Up)"),
         kNone,
         7,
         "ToolButton5",
         QT_TRANSLATE_NOOP("TForm1", "Prior"),
         QT_TRANSLATE_NOOP("TForm1", "Go to previous photo in thumb nail list"),
         "go-previous",
         "prior",
         QT_TRANSLATE_NOOP("TForm1", "Prior photo"),
         {Key(Qt::Key_PageUp), StripKey(Qt::Key_Up)}},
        {&TForm1::NextPhoto,
         mView,
         "Nextphoto1",
         QT_TRANSLATE_NOOP("TForm1", "Next photo    (Page Down)"),
         kNone,
         8,
         "ToolButton6",
         QT_TRANSLATE_NOOP("TForm1", "Next"),
         QT_TRANSLATE_NOOP("TForm1", "Go to next photo in thumb nail list"),
         "go-next",
         "next",
         QT_TRANSLATE_NOOP("TForm1", "Next photo"),
         {Key(Qt::Key_PageDown), StripKey(Qt::Key_Down)}},
        {&TForm1::LastPhoto,
         mView,
         "Lastphoto1",
         QT_TRANSLATE_NOOP("TForm1", "Last photo     (End)"),
         kNone,
         9,
         "ToolButton26",
         QT_TRANSLATE_NOOP("TForm1", "Last"),
         QT_TRANSLATE_NOOP("TForm1", "Go to last photo in thumb nail list"),
         "go-last",
         "last",
         QT_TRANSLATE_NOOP("TForm1", "Last photo"),
         {Key(Qt::Key_End)}},
        {&TForm1::FitToWindow,
         mView,
         "Fittoscreenwithaspect1",
         QT_TRANSLATE_NOOP("TForm1", "Fit to screen with aspect"),
         Qt::CTRL | Qt::Key_0,
         14,
         "ToolButton7",
         QT_TRANSLATE_NOOP("TForm1", "Fit"),
         QT_TRANSLATE_NOOP("TForm1", "Fit to window with aspect ratio maintained."),
         "zoom-fit-best",
         "fit",
         QT_TRANSLATE_NOOP("TForm1", "Fit to window"),
         {},
         cfMenuSeparator | cfToolSeparator},
        {&TForm1::ShowActualSize,
         mView,
         "Viewactualpixelsize1",
         QT_TRANSLATE_NOOP("TForm1", "View actual pixel size"),
         Qt::Key_F6,
         15,
         "ToolButton13",
         QT_TRANSLATE_NOOP("TForm1", "Actual"),
         QT_TRANSLATE_NOOP("TForm1", "Show actuall pixel size and pan photo"),
         "zoom-original",
         "actual",
         QT_TRANSLATE_NOOP("TForm1", "Actual pixel size"),
         {Typed(" ")}},
        {&TForm1::ZoomIn,
         mView,
         "Zoom1",
         QT_TRANSLATE_NOOP("TForm1", "Zoom In       (+)"),
         kNone,
         16,
         "ToolButton11",
         QT_TRANSLATE_NOOP("TForm1", "Zoom In"),
         QT_TRANSLATE_NOOP("TForm1", "Zoom photo"),
         "zoom-in",
         "zoom-in",
         QT_TRANSLATE_NOOP("TForm1", "Zoom in"),
         {Typed("+")}},
        {&TForm1::ZoomOut,
         mView,
         "ZoomOut1",
         QT_TRANSLATE_NOOP("TForm1", "Zoom Out   (-)"),
         kNone,
         17,
         "ToolButton12",
         QT_TRANSLATE_NOOP("TForm1", "Zoom Out"),
         nullptr,
         "zoom-out",
         "zoom-out",
         QT_TRANSLATE_NOOP("TForm1", "Zoom out"),
         {Typed("-")}},
        {&TForm1::Redraw,
         mView,
         "Refresh1",
         QT_TRANSLATE_NOOP("TForm1", "Refresh"),
         Qt::Key_F4,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         {},
         cfMenuSeparator},
        {&TForm1::ToggleFullScreen,
         mView,
         "FullScreen1",
         QT_TRANSLATE_NOOP("TForm1", "Full screen"),
         kNone,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         QT_TRANSLATE_NOOP("TForm1", "Full screen"),
         {Key(Qt::Key_F11)}},
        {&TForm1::ToggleSlideshow,
         mView,
         "Slideshow1",
         QT_TRANSLATE_NOOP("TForm1", "Slideshow"),
         Qt::Key_F5,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         QT_TRANSLATE_NOOP("TForm1", "Slideshow"),
         {},
         cfMenuSeparator},
        {&TForm1::AskSlideshowInterval, mView, "SlideshowInterval1",
         QT_TRANSLATE_NOOP("TForm1", "Slideshow interval ...")},
        {&TForm1::SortByName,
         mView,
         "SortByName1",
         QT_TRANSLATE_NOOP("TForm1", "Sort by name"),
         kNone,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         {},
         cfMenuSeparator},
        {&TForm1::SortByDateTaken, mView, "SortByDate1", QT_TRANSLATE_NOOP("TForm1", "Sort by date taken")},
        {&TForm1::SortByFileTime, mView, "SortByFileTime1", QT_TRANSLATE_NOOP("TForm1", "Sort by file time")},
        // Photo
        {&TForm1::TurnLeft,
         mPhoto,
         "RotateLeft1",
         QT_TRANSLATE_NOOP("TForm1", "Rotate Left"),
         Qt::CTRL | Qt::Key_L,
         10,
         "ToolButton16",
         QT_TRANSLATE_NOOP("TForm1", "Rotate L"),
         QT_TRANSLATE_NOOP("TForm1", "Rotate photo left 90 degrees"),
         "object-rotate-left",
         "rotate-left",
         QT_TRANSLATE_NOOP("TForm1", "Rotate left"),
         {},
         cfToolSeparator},
        {&TForm1::TurnRight, mPhoto, "RotateRight1", QT_TRANSLATE_NOOP("TForm1", "Rotate Right"),
         Qt::CTRL | Qt::Key_R, 11, "ToolButton19", QT_TRANSLATE_NOOP("TForm1", "Rotate R"),
         QT_TRANSLATE_NOOP("TForm1", "Rotate photo right 90 degrees"), "object-rotate-right", "rotate-right",
         QT_TRANSLATE_NOOP("TForm1", "Rotate right")},
        {&TForm1::TurnHalf, mPhoto, "Flipphoto1", QT_TRANSLATE_NOOP("TForm1", "Flip photo"),
         Qt::CTRL | Qt::Key_F, 12, "ToolButton21", QT_TRANSLATE_NOOP("TForm1", "Flip"),
         QT_TRANSLATE_NOOP("TForm1", "Flip photo 180 degrees"), "object-flip-vertical", "flip",
         QT_TRANSLATE_NOOP("TForm1", "Flip photo")},
        {&TForm1::MirrorNothing,
         -1,
         nullptr,
         nullptr,
         kNone,
         13,
         "ToolButton17",
         QT_TRANSLATE_NOOP("TForm1", "Mirror"),
         nullptr,
         "object-flip-horizontal",
         "mirror",
         QT_TRANSLATE_NOOP("TForm1", "Mirror"),
         {},
         cfButtonHidden},
        // Help
        {&TForm1::OpenHomePage,
         mHelp,
         "Quillmarkhomepage1",
         QT_TRANSLATE_NOOP("TForm1", "Quillmark - homepage"),
         kNone,
         20,
         "ToolButton24",
         QT_TRANSLATE_NOOP("TForm1", "Home"),
         QT_TRANSLATE_NOOP("TForm1", "Quillmark - Home page"),
         "go-home",
         "home",
         QT_TRANSLATE_NOOP("TForm1", "Home page"),
         {Key(Qt::Key_F1)}},
        {&TForm1::ShowKeys,
         mHelp,
         "Keys1",
         QT_TRANSLATE_NOOP("TForm1", "Keys"),
         Qt::CTRL | Qt::Key_F1,
         0,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         nullptr,
         QT_TRANSLATE_NOOP("TForm1", "Keys"),
         {Typed("?")}},
        {&TForm1::ShowAboutBox, mHelp, "About1", QT_TRANSLATE_NOOP("TForm1", "About")},
        // On the toolbar only: the JPEG comment of the photo.
        {&TForm1::ShowCommentDialog,
         -1,
         nullptr,
         nullptr,
         kNone,
         19,
         "ToolButton25",
         QT_TRANSLATE_NOOP("TForm1", "Comment"),
         QT_TRANSLATE_NOOP("TForm1", "Show photo comments"),
         "insert-text",
         "comment",
         QT_TRANSLATE_NOOP("TForm1", "Comment"),
         {},
         cfToolSeparator},
        // Keys only.
        {.Run = &TForm1::EscapeKey,
         .AccessibleName = QT_TRANSLATE_NOOP("TForm1", "End the slideshow or full screen, else quit"),
         .Keys = {Key(Qt::Key_Escape)}},
    };
    return rows;
}

namespace {

QString Translated(const char* text) {
    return text ? QCoreApplication::translate("TForm1", text) : QString();
}

// An icon from the desktop's theme, or our own when the theme has none that can be drawn.
QIcon ToolbarIcon(const char* themeName, const char* fallback) {
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!themed.isNull() && !themed.pixmap(32, 32).isNull()) return themed;
    return ResourceIcon(fallback);
}

} // namespace

bool TForm1::RowEnabled(const TCommandRow& row) const {
    return !(row.Flags & cfNeedsPhoto) || !CurrentFile.isEmpty();
}

void TForm1::RunRow(const TCommandRow& row) {
    if (!row.Run || !RowEnabled(row)) return;
    RunCommand([this, &row] { (this->*row.Run)(); });
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    std::vector<QMenu*> menus;
    for (const TMenu& menu : kMenus) {
        menus.push_back(bar->addMenu(Translated(menu.Caption)));
        menus.back()->setObjectName(QString::fromLatin1(menu.Name));
    }
    for (const TCommandRow& row : CommandTable()) {
        if (row.Menu < 0) continue;
        QMenu* menu = menus.at(size_t(row.Menu));
        if (row.Flags & cfMenuSeparator) menu->addSeparator();
        QAction* action = menu->addAction(Translated(row.MenuCaption));
        action->setObjectName(QString::fromLatin1(row.MenuEntry));
        if (row.Shortcut != kNone) action->setShortcut(QKeySequence(row.Shortcut));
        if (row.Flags & cfMenuHidden) action->setVisible(false);
        if (row.Run && !(row.Flags & cfMenuNamesKeys))
            connect(action, &QAction::triggered, this, [this, &row] { RunRow(row); });
    }
}

QToolButton* TForm1::AddToolButton(const TCommandRow& row) {
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(QString::fromLatin1(row.Button));
    button->setText(Translated(row.ButtonCaption));
    if (row.Hint) button->setToolTip(Translated(row.Hint));
    button->setAccessibleName(Translated(row.AccessibleName));
    button->setIcon(ToolbarIcon(row.ThemeIcon, row.FallbackIcon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, &row] { RunRow(row); });
    QAction* place = ToolBar1->addWidget(button);
    place->setObjectName(QString::fromLatin1(row.Button) + QStringLiteral("Place"));
    if (row.Flags & cfButtonHidden) place->setVisible(false);
    return button;
}

void TForm1::BuildToolBar() {
    ToolBar1 = new QToolBar(tr("Toolbar"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    std::vector<const TCommandRow*> buttons;
    for (const TCommandRow& row : CommandTable())
        if (row.ToolbarSlot > 0) buttons.push_back(&row);
    std::sort(buttons.begin(), buttons.end(),
              [](const TCommandRow* a, const TCommandRow* b) { return a->ToolbarSlot < b->ToolbarSlot; });
    for (const TCommandRow* row : buttons) {
        if (row->Flags & cfToolSeparator) ToolBar1->addSeparator();
        AddToolButton(*row);
    }
}

void TForm1::UpdateCommandStates() {
    for (const TCommandRow& row : CommandTable()) {
        if (!(row.Flags & cfNeedsPhoto)) continue;
        const bool enabled = RowEnabled(row);
        if (row.MenuEntry)
            if (auto* action = findChild<QAction*>(QString::fromLatin1(row.MenuEntry)))
                action->setEnabled(enabled);
        if (row.Button)
            if (auto* button = findChild<QToolButton*>(QString::fromLatin1(row.Button)))
                button->setEnabled(enabled);
    }
    setWindowTitle(TitleText());
}

// ---- Keys and mouse

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        // Keys come to the window first, whichever control has the focus. A key that runs a command here
        // stops here: the focused control would otherwise act on it too (the strip would page a whole
        // screen after the window had moved one photo).
        if (watched == windowHandle() && watched) {
            const auto* key = static_cast<QKeyEvent*>(event);
            return FormKeyDown(key->key(), key->modifiers(), key->text());
        }
        break;
    case QEvent::Wheel:
        if (watched == PictureView1 || watched == ScrollBox1->viewport())
            return RunCommand([this, event] { PictureWheel(static_cast<QWheelEvent*>(event)); });
        break;
    case QEvent::NativeGesture:
        if (watched == PictureView1 || watched == ScrollBox1->viewport()) {
            // A touchpad's pinch zooms about the fingers.
            const auto* gesture = static_cast<QNativeGestureEvent*>(event);
            if (gesture->gestureType() != Qt::ZoomNativeGesture) break;
            const QPoint at = ScrollBox1->viewport()->mapFromGlobal(gesture->globalPosition().toPoint());
            RunCommand([this, gesture, at] { StepZoom(1 + gesture->value(), at); });
            return true;
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

namespace {

// A key as the key list names it.
QString KeyName(const TWindowKey& key) {
    if (key.Text)
        return QString::fromLatin1(key.Text) == QStringLiteral(" ") ? TForm1::tr("Space")
                                                                    : QString::fromLatin1(key.Text);
    if (key.Key == 0) return {};
    const QString name =
        QKeySequence(QKeyCombination(key.Modifiers, Qt::Key(key.Key))).toString(QKeySequence::NativeText);
    return key.InStrip ? TForm1::tr("%1 (in the strip)").arg(name) : name;
}

} // namespace

void TForm1::ShowKeys() {
    if (!keysDialog_) {
        auto* dialog = new QDialog(this);
        dialog->setObjectName(QStringLiteral("KeysDialog"));
        dialog->setWindowTitle(tr("Keys"));
        auto* layout = new QVBoxLayout(dialog);
        auto* list = new QTableWidget(0, 2, dialog);
        list->setObjectName(QStringLiteral("KeyList"));
        list->setHorizontalHeaderLabels({tr("Command"), tr("Keys")});
        list->verticalHeader()->setVisible(false);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->horizontalHeader()->setStretchLastSection(true);
        // Every row of the command table that a key runs, named as its menu entry or button is.
        for (const TCommandRow& row : CommandTable()) {
            QStringList keys;
            if (row.Shortcut != kNone) keys << QKeySequence(row.Shortcut).toString(QKeySequence::NativeText);
            for (const TWindowKey& key : row.Keys)
                if (const QString name = KeyName(key); !name.isEmpty()) keys << name;
            if (keys.isEmpty() || !row.Run) continue;
            QString name = Translated(row.AccessibleName ? row.AccessibleName : row.MenuCaption);
            const qsizetype bracket = name.indexOf(QLatin1Char('('));
            if (bracket > 0) name = name.left(bracket).trimmed();
            const int at = list->rowCount();
            list->insertRow(at);
            list->setItem(at, 0, new QTableWidgetItem(name));
            list->setItem(at, 1, new QTableWidgetItem(keys.join(QStringLiteral(", "))));
        }
        list->resizeColumnsToContents();
        layout->addWidget(list);
        auto* close = new QPushButton(tr("Close"), dialog);
        connect(close, &QPushButton::clicked, dialog, &QDialog::close);
        layout->addWidget(close, 0, Qt::AlignRight);
        dialog->resize(460, 520);
        keysDialog_ = dialog;
    }
    keysDialog_->show();
    keysDialog_->raise();
}

bool TForm1::FormKeyDown(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool inStrip = ThumbnailList1->hasFocus();
    for (const TCommandRow& row : CommandTable()) {
        // A menu shortcut reaches its entry before the window sees the key; this catches it when the
        // entry cannot take it (while a dialog of the window's own had the focus, say).
        const bool shortcut = row.Shortcut != kNone && row.Shortcut.key() == Qt::Key(key) &&
                              row.Shortcut.keyboardModifiers() == held;
        bool matched = shortcut;
        for (const TWindowKey& k : row.Keys) {
            if (k.Text)
                matched = matched || text == QLatin1String(k.Text);
            else if (k.Key != 0 && k.Key == key && k.Modifiers == held && (!k.InStrip || inStrip))
                matched = true;
        }
        if (!matched) continue;
        // Navigation keys count and the photo follows; a held key never runs ahead of the view.
        static constexpr void (TForm1::*kNavigation[])() = {&TForm1::FirstPhoto, &TForm1::PriorPhoto,
                                                            &TForm1::NextPhoto, &TForm1::LastPhoto};
        for (int which = 0; which < 4; ++which)
            if (row.Run == kNavigation[which]) {
                QueueNavigation(which);
                return true;
            }
        RunRow(row);
        return true;
    }
    return false;
}

// ---- The numbered names of the window's entries and buttons

void TForm1::OpenImage1Click() {
    OpenPhoto();
}
void TForm1::OpenFolder1Click() {
    OpenFolder();
}
void TForm1::Saveas1Click() {
    SaveAs();
}
void TForm1::CloseAll1Click() {
    CloseAll();
}
void TForm1::Recyclephoto1Click() {
    RecyclePhoto();
}
void TForm1::Exit1Click() {
    ExitProgram();
}
void TForm1::Comment1Click() {
    EditExifComment();
}
void TForm1::WriteSmall1Click() {
    WriteSmallCopy();
}
void TForm1::Copyimagetoclipboard1Click() {
    CopyToClipboard();
}
void TForm1::Fittoscreenwithaspect1Click() {
    FitToWindow();
}
void TForm1::Viewactualpixelsize1Click() {
    ShowActualSize();
}
void TForm1::Zoom1Click() {
    ZoomIn();
}
void TForm1::ZoomOut1Click() {
    ZoomOut();
}
void TForm1::Refresh1Click() {
    Redraw();
}
void TForm1::RotateLeft1Click() {
    TurnLeft();
}
void TForm1::RotateRight1Click() {
    TurnRight();
}
void TForm1::Flipphoto1Click() {
    TurnHalf();
}
void TForm1::Quillmarkhomepage1Click() {
    OpenHomePage();
}
void TForm1::About1Click() {
    ShowAboutBox();
}
void TForm1::ToolButton1Click() {
    OpenPhoto();
}
void TForm1::ToolButton3Click() {
    OpenFolder();
}
void TForm1::ToolButton9Click() {
    CopyToClipboard();
}
void TForm1::ToolButton20Click() {
    SaveAs();
}
void TForm1::ToolButton22Click() {
    RecyclePhoto();
}
void TForm1::ToolButton10Click() {
    FirstPhoto();
}
void TForm1::ToolButton5Click() {
    PriorPhoto();
}
void TForm1::ToolButton6Click() {
    NextPhoto();
}
void TForm1::ToolButton26Click() {
    LastPhoto();
}
void TForm1::ToolButton16Click() {
    TurnLeft();
}
void TForm1::ToolButton19Click() {
    TurnRight();
}
void TForm1::ToolButton21Click() {
    TurnHalf();
}
void TForm1::ToolButton17Click() {
    MirrorNothing();
}
void TForm1::ToolButton7Click() {
    FitToWindow();
}
void TForm1::ToolButton13Click() {
    ShowActualSize();
}
void TForm1::ToolButton11Click() {
    ZoomIn();
}
void TForm1::ToolButton12Click() {
    ZoomOut();
}
void TForm1::ToolButton25Click() {
    ShowCommentDialog();
}
void TForm1::ToolButton24Click() {
    OpenHomePage();
}
void TForm1::ToolButton2Click() {
    ExitProgram();
}
void TForm1::Label5Click() {
    OpenAuthorSite();
}
void TForm1::btnAboutClick() {
    ShowProductAboutBox();
}

} // namespace quillmark
