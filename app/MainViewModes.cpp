// The view of the picture: fitting, actual size, zoom, panning with the mouse, turns, and full screen.
#include "MainView.h"

#include "PictureOps.h"
#include "PictureView.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QBuffer>
#include <QScrollArea>
#include <QScrollBar>

namespace quillmark {

void TForm1::FitToWindow() {
    PictureView1->SetAutoSize(false);
    ScrollBox1->setWidgetResizable(true);
    PictureView1->SetPicturePosition(bpStretchedWithAspect);
    PictureView1->update();
    PictureView1->setCursor(Qt::ArrowCursor);
}

void TForm1::ShowActualSize() {
    ScrollBox1->setWidgetResizable(false);
    PictureView1->SetAutoSize(true);
    SetViewLeftTop(0, 0);
    SetPanLimits();
    PictureView1->setCursor(Qt::OpenHandCursor);
}

void TForm1::ZoomIn() {
    ScrollBox1->setWidgetResizable(false);
    PictureView1->resize(PictureView1->width() + 100, PictureView1->height() + 100);
    PictureView1->SetPicturePosition(bpStretchedWithAspect);
    SetPanLimits();
}

void TForm1::ZoomOut() {
    ScrollBox1->setWidgetResizable(false);
    PictureView1->resize(PictureView1->width() - 100, PictureView1->height() - 100);
    SetPanLimits();
}

void TForm1::SetPanLimits() {
    // A drag may move the picture as far as its far edges reach the view's: whenever it is larger than
    // the view, after Actual and after a zoom alike.
    const QSize client = ScrollClientSize();
    PanLimitX = client.width() - PictureView1->width();
    PanLimitY = client.height() - PictureView1->height();
}

void TForm1::Redraw() {
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

void TForm1::TurnLeft() {
    RotateView(-90);
}

void TForm1::TurnRight() {
    RotateView(90);
}

void TForm1::TurnHalf() {
    RotateView(180);
}

void TForm1::MirrorNothing() {
    // The hidden "Mirror" button has no action.
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

void TForm1::ToggleFullScreen() {
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void TForm1::EscapeKey() {
    // Full screen is left first, as in every viewer; only then does Escape quit.
    if (isFullScreen()) {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        return;
    }
    ExitProgram();
}

} // namespace quillmark
