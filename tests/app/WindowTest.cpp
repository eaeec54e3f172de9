// The window itself: its parts, menus, toolbar and keys; fitting, actual size, zooming and panning;
// turning the shown picture; the about box and the links.
#include "About.h"
#include "AppTestSupport.h"
#include "Links.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "ThumbnailList.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>

using namespace apptest;
using namespace quillmark;

namespace {

struct AboutLabels {
    QString product, version;
    bool whole = false; // the product label is as wide as its text
};

// Opens the modal about box with `open`, reads its labels while it is up, and closes it.
AboutLabels ReadAboutBox(TAboutBox& box, const std::function<void()>& open) {
    AboutLabels seen;
    QTimer::singleShot(0, &box, [&box, &seen] {
        seen = {box.ProductName->text(), box.Version->text(),
                box.ProductName->width() >= box.ProductName->sizeHint().width()};
        box.accept();
    });
    open();
    return seen;
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Drags the picture with the pointer moving from x0 to x1 over the screen (y fixed), in one move or in
// steps of at most maxStep pixels: the view moves under the pointer, so each event carries the pointer's
// place relative to where the view is then.
void DragX(TPictureView* view, int x0, int x1, int maxStep = 0, int y = 20) {
    SendMouse(view, QEvent::MouseButtonPress, QPoint(x0 - view->x(), y - view->y()), Qt::LeftButton);
    const int step = x1 > x0 ? 1 : -1;
    for (int x = x0; x != x1;) {
        x += step * (maxStep > 0 ? std::min(maxStep, std::abs(x1 - x)) : std::abs(x1 - x));
        SendMouse(view, QEvent::MouseMove, QPoint(x - view->x(), y - view->y()), Qt::LeftButton);
    }
    SendMouse(view, QEvent::MouseButtonRelease, QPoint(x1 - view->x(), y - view->y()), Qt::NoButton);
}

struct ShownPicture {
    QTemporaryDir dir;
    QString path;
    explicit ShownPicture(const QImage& image) : path(dir.filePath(QStringLiteral("picture.png"))) {
        WriteBytes(path, Png(image));
    }
};

} // namespace

class WindowTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void hasEveryPartByName() {
        Viewer viewer;
        TForm1& form = viewer.form();
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillmark"));
        QCOMPARE(form.size(), QSize(1164, 690));
        QCOMPARE(form.VersionText, QStringLiteral(QUILLMARK_VERSION));
        for (const char* name :
             {"MainMenu1", "ToolBar1", "Label6", "ProgressBar1", "cbVerbose", "cbDecode", "ThumbnailList1",
              "ScrollBox1", "PictureView1", "PageControl2", "ValueListEditor1", "ValueListEditor2",
              "ValueListEditor3", "Memo1", "Label1", "Label2", "Label5", "btnAbout"})
            QVERIFY2(form.findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(form.Label6->text(), QStringLiteral("Quillmark"));
        QVERIFY(form.Label6->font().bold());
        QVERIFY(form.ProgressBar1->isHidden());
        QVERIFY(form.cbVerbose->isHidden() && !form.cbVerbose->isChecked());
        QVERIFY(form.cbDecode->isHidden() && !form.cbDecode->isChecked());
        QCOMPARE(form.Label1->text(), QStringLiteral("Folder:"));
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename:"));
        QCOMPARE(form.Label5->text(), HomePageUrl());
        QVERIFY(form.Label5->font().bold() && form.Label5->font().underline());
        QCOMPARE(form.Label5->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(form.btnAbout->text(), QStringLiteral("About..."));
        QCOMPARE(form.ThumbnailList1->ThumbnailSize(), 64);
        QVERIFY(!form.ThumbnailList1->ShowSelection());
        QCOMPARE(form.ThumbnailList1->width(), 144);
        // 305 pixels, or wider where the font makes the four tabs need more: every tab is in sight.
        const QTabBar* tabs = form.PageControl2->tabBar();
        const int listsWidth = form.PageControl2->width();
        QVERIFY(listsWidth == 305 || (listsWidth > 305 && listsWidth <= tabs->sizeHint().width() + 4));
        QVERIFY2(tabs->tabRect(3).right() < tabs->width(),
                 qPrintable(QStringLiteral("%1 of %2").arg(tabs->tabRect(3).right()).arg(tabs->width())));
        QCOMPARE(form.PictureView1->PicturePosition(), bpStretchedWithAspect);
        QCOMPARE(form.PageControl2->currentIndex(), 0);
        QCOMPARE(form.PageControl2->tabText(0), QStringLiteral("Exif Properties"));
        QCOMPARE(form.PageControl2->tabText(1), QStringLiteral("Maker Data"));
        QCOMPARE(form.PageControl2->tabText(2), QStringLiteral("Summary"));
        QCOMPARE(form.PageControl2->tabText(3), QStringLiteral("XMP"));
    }

    void hasTheToolbarInOrder() {
        Viewer viewer;
        QToolBar* bar = viewer.form().ToolBar1;
        QStringList shown;
        QStringList hints;
        for (QAction* action : bar->actions()) {
            if (action->isSeparator()) {
                shown << QStringLiteral("|");
                continue;
            }
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
            QVERIFY(button);
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QVERIFY(!button->icon().isNull());
            if (!action->isVisible()) continue;
            shown << button->text();
            hints << button->toolTip();
        }
        QCOMPARE(shown, (QStringList{"Open ", " Folder", "Save as", "Recycle", "|",        "First",
                                     "Prior", "Next",    "Last",    "|",       "Rotate L", "Rotate R",
                                     "Flip",  "|",       "Fit",     "Actual",  "Zoom In",  "Zoom Out",
                                     "|",     "Comment", "Home",    "|",       "Exit"}));
        QCOMPARE(hints.at(0), QStringLiteral("Open Photo"));
        QCOMPARE(hints.at(12), QStringLiteral("Show actuall pixel size and pan photo"));
        QCOMPARE(hints.at(14), QString());
        QCOMPARE(viewer.form().findChild<QToolButton*>("ToolButton9")->text(), QStringLiteral("To Clpbrd"));
        QCOMPARE(viewer.form().findChild<QToolButton*>("ToolButton17")->text(), QStringLiteral("Mirror"));
    }

    void hasTheMenus() {
        Viewer viewer;
        QStringList menus;
        QStringList entries;
        for (QAction* menuAction : viewer.form().menuBar()->actions()) {
            menus << menuAction->text();
            for (QAction* action : menuAction->menu()->actions()) {
                if (action->isSeparator())
                    entries << QStringLiteral("-");
                else if (action->isVisible())
                    entries << action->text() + QLatin1Char('=') + action->shortcut().toString();
            }
        }
        QCOMPARE(menus, (QStringList{"File", "Edit", "View", "Photo", "Help"}));
        QCOMPARE(entries, (QStringList{"Open Image=F2",
                                       "Open Folder=F3",
                                       "-",
                                       "Save as ...=Ctrl+S",
                                       "Close All=Ctrl+Alt+X",
                                       "-",
                                       "Recycle photo=Ctrl+Del",
                                       "-",
                                       "Exit=F10",
                                       "Comment=",
                                       "Write Small=",
                                       "Copy image to clipboard=Ctrl+C",
                                       "First photo     (Home)=",
                                       "Prior photo    (Page Up)=",
                                       "Next photo    (Page Down)=",
                                       "Last photo     (End)=",
                                       "-",
                                       "Fit to screen with aspect=Ctrl+0",
                                       "View actual pixel size=F6",
                                       "Zoom In       (+)=",
                                       "Zoom Out   (-)=",
                                       "-",
                                       "Refresh=F4",
                                       "Full screen=",
                                       "-",
                                       "Slideshow=F5",
                                       "Slideshow interval ...=",
                                       "-",
                                       "Sort by name=",
                                       "Sort by date taken=",
                                       "Sort by file time=",
                                       "Rotate Left=Ctrl+L",
                                       "Rotate Right=Ctrl+R",
                                       "Flip photo=Ctrl+F",
                                       "Quillmark - homepage=",
                                       "Keys=Ctrl+F1",
                                       "About="}));
        QVERIFY(!viewer.form().findChild<QAction*>("Clear1")->isVisible());
    }

    void keysRunOnceWhateverHasTheFocus() {
        QTemporaryDir dir;
        for (const char* name : {"k1.jpg", "k2.jpg", "k3.jpg", "k4.jpg"})
            WriteBytes(dir.filePath(QString::fromLatin1(name)), ExifJpeg(20, 20));
        Viewer viewer;
        TForm1& form = viewer.form();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.ShowPhoto(dir.filePath(QStringLiteral("k1.jpg")), false);
        QTableWidget* list = form.ValueListEditor1;
        QVERIFY(list->rowCount() > 2);
        list->setFocus();
        list->setCurrentCell(1, 1);

        // With the strip empty, End and Home do nothing, silently; the window took them, so the focused
        // list does not move its cell either.
        QTest::keyClick(form.windowHandle(), Qt::Key_End);
        QTest::keyClick(form.windowHandle(), Qt::Key_Home);
        QVERIFY(TestPlatform().Messages.isEmpty());
        QCOMPARE(list->currentColumn(), 1);
        QCOMPARE(list->currentRow(), 1);
        // Keys the window does not take still reach the list.
        QTest::keyClick(form.windowHandle(), Qt::Key_Left);
        QCOMPARE(list->currentColumn(), 0);

        // With the strip focused (as after a click on a thumbnail), each key moves exactly one photo:
        // the strip does not page on top of the window's step.
        form.ScanFolder(dir.path());
        form.ThumbnailList1->setFocus();
        const struct {
            Qt::Key key;
            int shown;
        } steps[] = {{Qt::Key_PageDown, 1}, {Qt::Key_PageDown, 2}, {Qt::Key_PageUp, 1},
                     {Qt::Key_Down, 2},     {Qt::Key_Up, 1},       {Qt::Key_End, 3},
                     {Qt::Key_Home, 0},     {Qt::Key_PageUp, 0},   {Qt::Key_End, 3}};
        for (const auto& step : steps) {
            QTest::keyClick(form.windowHandle(), step.key);
            QCOMPARE(form.ThumbnailList1->SelectedIndex(), step.shown);
            QCOMPARE(form.CurrentFile, viewer.StripFile(step.shown));
        }
        QCOMPARE(form.windowTitle(), QStringLiteral("k4.jpg (4/4)"));
        list->setFocus();

        // Keys that are also menu shortcuts run their command once.
        TestPlatform().SaveAnswers << QString();
        QTest::keyClick(form.windowHandle(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(int(TestPlatform().SaveRequests.size()), 1);
        TestPlatform().OpenAnswers << QString();
        QTest::keyClick(form.windowHandle(), Qt::Key_F2);
        QCOMPARE(int(TestPlatform().OpenRequests.size()), 1);
        TestPlatform().FolderAnswers << QString();
        QTest::keyClick(form.windowHandle(), Qt::Key_F3);
        QCOMPARE(TestPlatform().FolderStarts.size(), 1);

        // F1 opens the home page; characters zoom and show the actual size.
        QTest::keyClick(form.windowHandle(), Qt::Key_F1);
        QCOMPARE(TestPlatform().OpenedUrls, QStringList{HomePageUrl()});
        QTest::keyClick(form.windowHandle(), '+');
        QCOMPARE(form.PictureView1->size(), QSize(25, 25));
        QTest::keyClick(form.windowHandle(), '-');
        QTest::keyClick(form.windowHandle(), '-');
        QCOMPARE(form.PictureView1->size(), QSize(16, 16));
        QTest::keyClick(form.windowHandle(), ' ');
        QCOMPARE(form.PictureView1->size(), QSize(20, 20));

        // The View menu's navigation entries go where their keys go.
        viewer.Trigger("Firstphoto1");
        QCOMPARE(form.ThumbnailList1->SelectedIndex(), 0);
        viewer.Trigger("Nextphoto1");
        QCOMPARE(form.CurrentFile, viewer.StripFile(1));
        viewer.Trigger("Lastphoto1");
        viewer.Trigger("Priorphoto1");
        QCOMPARE(form.CurrentFile, viewer.StripFile(2));

        // F11 goes to full screen and back; Escape leaves full screen before it quits.
        for (const bool full : {true, false, true}) {
            QTest::keyClick(form.windowHandle(), Qt::Key_F11);
            QCOMPARE(form.isFullScreen(), full);
        }
        QTest::keyClick(form.windowHandle(), Qt::Key_Escape);
        QVERIFY(!form.isFullScreen() && form.isVisible());
        QTest::keyClick(form.windowHandle(), Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void actualSizePansWithinItsLimits() {
        Viewer viewer;
        TForm1& form = viewer.form();
        const QSize client = form.ScrollBox1->viewport()->size();
        ShownPicture picture(DistinctPixels(client.width() + 500, 60));
        form.ShowPhoto(picture.path, false);
        TPictureView* view = form.PictureView1;
        QCOMPARE(view->size(), client); // fitted

        viewer.Trigger("Viewactualpixelsize1");
        QCOMPARE(view->size(), QSize(client.width() + 500, 60));
        QCOMPARE(view->cursor().shape(), Qt::OpenHandCursor);
        const QSize settled = form.ScrollBox1->viewport()->size();
        QCOMPARE(form.PanLimitX, settled.width() - view->width());
        QCOMPARE(form.PanLimitY, settled.height() - 60);
        const int limit = form.PanLimitX;
        QVERIFY(limit <= -500);
        // A picture lower than the area lies in its middle.
        const int middle = (settled.height() - 60) / 2;
        QCOMPARE(view->pos(), QPoint(0, middle));

        // Dragging moves the picture with the pointer, as far as its edges.
        DragX(view, 600, 600 + limit + 1);
        QCOMPARE(view->x(), limit + 1);
        DragX(view, 600, 500);
        QCOMPARE(view->x(), limit);
        DragX(view, 100, 100 - limit + 50);
        QCOMPARE(view->x(), 0);
        // A long drag in small steps ends at the edge.
        DragX(view, 900, 900 + 2 * limit, 7);
        QCOMPARE(view->x(), limit);
        // The picture is not as tall as the area: it cannot be dragged up or down.
        SendMouse(view, QEvent::MouseButtonPress, QPoint(10, 30), Qt::LeftButton);
        SendMouse(view, QEvent::MouseMove, QPoint(10, 10), Qt::LeftButton);
        SendMouse(view, QEvent::MouseMove, QPoint(10, 50), Qt::LeftButton);
        QCOMPARE(view->y(), middle);
        // Moves without the left button do nothing.
        const int left = view->x();
        SendMouse(view, QEvent::MouseMove, QPoint(200, 10), Qt::NoButton);
        QCOMPARE(view->x(), left);

        // Fit brings the view back to the area, where nothing can be dragged.
        viewer.Trigger("Fittoscreenwithaspect1");
        QCoreApplication::sendPostedEvents();
        QCOMPARE(view->size(), form.ScrollBox1->viewport()->size());
        QCOMPARE(view->cursor().shape(), Qt::ArrowCursor);
    }

    void zoomAfterOpenImagePans() {
        ShownPicture picture(DistinctPixels(300, 200));
        Viewer viewer;
        TForm1& form = viewer.form();
        TestPlatform().OpenAnswers << picture.path;
        viewer.Trigger("OpenImage1");
        QCOMPARE(form.PanLimitX, 0);
        // Zoom steps by a quarter from the photo's own size (the fitted view does not enlarge it).
        viewer.Trigger("Zoom1");
        viewer.Click("ToolButton11");
        QCOMPARE(form.PictureView1->size(), QSize(469, 313));
        viewer.Trigger("ZoomOut1");
        QCOMPARE(form.PictureView1->size(), QSize(375, 250));
        // The zoomed picture is larger than its view: it can be dragged.
        form.SetZoom(8);
        QCOMPARE(form.PictureView1->size(), QSize(2400, 1600));
        const QPoint before = form.PictureView1->pos();
        DragX(form.PictureView1, 300, 200);
        QCOMPARE(form.PictureView1->pos(), before - QPoint(100, 0));
        viewer.Trigger("Refresh1");
        // The zoom stays between 1% and 1600%, and the picture never shrinks to nothing.
        for (int i = 0; i < 30; ++i)
            viewer.Trigger("Zoom1");
        QCOMPARE(form.ZoomFactor(), TForm1::kMaxZoom);
        for (int i = 0; i < 60; ++i)
            viewer.Trigger("ZoomOut1");
        QCOMPARE(form.ZoomFactor(), TForm1::kMinZoom);
        QCOMPARE(form.PictureView1->size(), QSize(3, 2));
    }

    void turnsTheShownPictureExactly() {
        const QImage original = DistinctPixels(4, 2);
        ShownPicture picture(original);
        Viewer viewer({picture.path});
        TForm1& form = viewer.form();
        const auto shown = [&form] {
            return form.PictureView1->Picture().ToImage().convertToFormat(QImage::Format_RGB32);
        };

        const int decodes = form.PictureView1->Picture().DecodeCount();
        // Turns in a row decode nothing, and four of them give back the very pixels in hand.
        for (const char* turn : {"RotateRight1", "RotateRight1", "RotateLeft1", "Flipphoto1", "RotateRight1"})
            viewer.Trigger(turn);
        QCOMPARE(shown(), original);
        QCOMPARE(form.PictureView1->Picture().DecodeCount(), decodes);
        viewer.Trigger("RotateRight1");
        QCOMPARE(SniffPictureFormat(form.PictureView1->Picture().HeldBytes()), TPictureFormat::Bmp);
        // The turned pixels go to the view as they are: the bitmap is kept, not decoded again, and
        // decoding it would give the same picture.
        QCOMPARE(form.PictureView1->Picture().DecodeCount(), decodes);
        QImage fromBitmap;
        QVERIFY(fromBitmap.loadFromData(form.PictureView1->Picture().HeldBytes(), "BMP"));
        QCOMPARE(fromBitmap.convertToFormat(QImage::Format_RGB32), shown());
        QCOMPARE(shown().size(), QSize(2, 4));
        QCOMPARE(shown(), RotateQuarterTurns(original, 90));
        QCOMPARE(shown().pixel(0, 0), original.pixel(0, 1));
        viewer.Click("ToolButton19");
        viewer.Click("ToolButton19");
        viewer.Trigger("RotateRight1");
        QCOMPARE(shown(), original);
        viewer.Trigger("RotateLeft1");
        viewer.Click("ToolButton16");
        QCOMPARE(shown(), RotateQuarterTurns(original, 180));
        viewer.Trigger("Flipphoto1");
        QCOMPARE(shown(), original);
        viewer.Click("ToolButton21");
        viewer.Click("ToolButton17"); // the hidden Mirror button does nothing
        QCOMPARE(shown(), RotateQuarterTurns(original, 180));

        // Showing the photo again reloads the untouched file.
        form.ShowPhoto(picture.path, false);
        QCOMPARE(form.PictureView1->Picture().HeldBytes(), ReadAll(picture.path));

        // Nothing shown: nothing to turn, nothing to report.
        viewer.Trigger("CloseAll1");
        viewer.Trigger("RotateLeft1");
        QVERIFY(form.PictureView1->Picture().IsEmpty());
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void aboutBoxInItsThreeSituations() {
        Viewer viewer;
        TAboutBox& box = viewer.windows.AboutBox();
        QCOMPARE(box.windowTitle(), QStringLiteral("About"));
        QCOMPARE(box.size(), QSize(309, 307));
        QVERIFY(box.findChild<QPushButton*>("OKButton")->isDefault());

        AboutLabels seen = ReadAboutBox(box, [&viewer] { viewer.Trigger("About1"); });
        QCOMPARE(seen.product, QStringLiteral("Quillmark"));
        // Both ways show this program and the version its command line prints.
        const QString version = QStringLiteral("version: " QUILLMARK_VERSION);
        QCOMPARE(seen.version, version);

        seen = ReadAboutBox(box, [&viewer] { viewer.Click("btnAbout"); });
        QCOMPARE(seen.product, QStringLiteral("Quillmark"));
        QVERIFY(seen.whole);
        QCOMPARE(seen.version, version);

        seen = ReadAboutBox(box, [&viewer] { viewer.Trigger("About1"); });
        QCOMPARE(seen.product, QStringLiteral("Quillmark"));
        QCOMPARE(seen.version, version);

        box.SetProductInfo(QStringLiteral("P"), QStringLiteral("9"));
        QCOMPARE(box.Version->text(), QStringLiteral("Version:  9"));
    }

    void listsAndLabelsShowTheirWholeTexts() {
        QTemporaryDir dir;
        const QString folder =
            dir.filePath(QStringLiteral("a folder with a long name of a trip to the mountains"));
        QVERIFY(QDir().mkpath(folder));
        WriteBytes(folder + QStringLiteral("/photo with a long name.jpg"), ExifJpeg(20, 20));
        Viewer viewer;
        TForm1& form = viewer.form();
        form.ShowPhoto(folder + QStringLiteral("/photo with a long name.jpg"), true);
        QCOMPARE(form.windowTitle(), QStringLiteral("photo with a long name.jpg (1/1)"));

        // A narrow window cuts its labels off; they never lie over each other.
        form.resize(640, 480);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(form.width(), 640);
        const QRect file = form.Label2->geometry(), place = form.Label1->geometry(),
                    link = form.Label5->geometry();
        QVERIFY(file.right() < place.left() && place.right() < link.left());
        QVERIFY(form.Label1->toolTip().contains(folder));

        // The lists' columns can be widened, and a cell too narrow for its text shows it in a tooltip.
        QTableWidget* list = form.ValueListEditor1;
        QCOMPARE(list->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
        form.PageControl2->setCurrentIndex(0);
        list->setColumnWidth(1, 30);
        int row = 0;
        while (row < list->rowCount() && list->item(row, 1)->text() != QStringLiteral("Test Camera"))
            ++row;
        QVERIFY(row < list->rowCount());
        const QRect cell = list->visualItemRect(list->item(row, 1));
        QHelpEvent help(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(list->viewport(), &help);
        QCOMPARE(QToolTip::text(), QStringLiteral("Test Camera"));
        list->setColumnWidth(1, 400);
        QCoreApplication::sendEvent(list->viewport(), &help);
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    void linksOpenTheirAddresses() {
        Viewer viewer;
        viewer.Click("ToolButton24");
        viewer.Trigger("Quillmarkhomepage1");
        QTest::mouseClick(viewer.form().Label5, Qt::LeftButton);
        QCOMPARE(TestPlatform().OpenedUrls, (QStringList{HomePageUrl(), HomePageUrl(), AuthorSiteUrl()}));
        // With no web site, the home page is the documentation page: the source tree's copy for a program
        // run from its build folder, the installed copy beside the program's installation prefix.
        if (QUrl(HomePageUrl()).isLocalFile())
            QVERIFY2(QFileInfo(QUrl(HomePageUrl()).toLocalFile()).isFile(), qPrintable(HomePageUrl()));
        QTemporaryDir prefix;
        const QString page = prefix.filePath(QStringLiteral("share/doc/quillmark/index.html"));
        QVERIFY(QDir().mkpath(QFileInfo(page).path()) &&
                QDir().mkpath(prefix.filePath(QStringLiteral("bin"))));
        const QString sourceCopy = DocumentationPage(prefix.filePath(QStringLiteral("bin")));
        QVERIFY(sourceCopy != page && QFileInfo(sourceCopy).isFile());
        QFile installed(page);
        QVERIFY(installed.open(QIODevice::WriteOnly));
        installed.close();
        QCOMPARE(DocumentationPage(prefix.filePath(QStringLiteral("bin"))), page);
    }

    void exitClosesTheWindow() {
        Viewer viewer;
        viewer.Click("ToolButton2");
        QVERIFY(!viewer.form().isVisible());
        viewer.form().show();
        viewer.Trigger("Exit1");
        QVERIFY(!viewer.form().isVisible());
    }
};

QUILLMARK_APP_TEST_MAIN(WindowTest)
#include "WindowTest.moc"
