// The view of the picture: fitting, actual size, zoom, panning with the mouse, turns, and full screen.
#include "MainView.h"

#include "PictureOps.h"
#include "PictureView.h"
#include "ThumbnailList.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quillmark {

void TForm1::FitToWindow() {
    zoom_ = 0;
    PictureView1->SetAutoSize(false);
    ScrollBox1->setWidgetResizable(true);
    // Centred, and never larger than the photo itself: a small photo is not blown up to fill the view.
    PictureView1->SetPicturePosition(bpCenter);
    PictureView1->SetStretchMode(smShrink);
    PictureView1->update();
    PictureView1->setCursor(Qt::ArrowCursor);
}

void TForm1::ShowActualSize() {
    zoom_ = 1;
    ScrollBox1->setWidgetResizable(false);
    PictureView1->SetPicturePosition(bpStretchedWithAspect);
    PictureView1->SetAutoSize(true);
    SetViewLeftTop(0, 0);
    SetPanLimits();
    PictureView1->setCursor(Qt::OpenHandCursor);
}

void TForm1::SetZoom(double factor, std::optional<QPoint> anchor) {
    zoom_ = std::clamp(factor, kMinZoom, kMaxZoom);
    ApplyZoom(anchor);
}

void TForm1::StepZoom(double by, std::optional<QPoint> anchor) {
    const TPictureHolder& picture = PictureView1->Picture();
    const int pw = picture.DisplayWidth(), ph = picture.DisplayHeight();
    if (pw <= 0 || ph <= 0) return;
    double from = zoom_;
    if (from <= 0) {
        // From the fitted view: the scale it shows the photo at.
        const QSize area = PictureView1->size();
        from = std::min({1.0, double(area.width()) / pw, double(area.height()) / ph});
    }
    SetZoom(from * by, anchor);
}

void TForm1::ApplyZoom(std::optional<QPoint> anchor) {
    const TPictureHolder& picture = PictureView1->Picture();
    const int pw = picture.DisplayWidth(), ph = picture.DisplayHeight();
    if (pw <= 0 || ph <= 0) return;
    QWidget* port = ScrollBox1->viewport();
    const QPoint at = anchor.value_or(QPoint(port->width() / 2, port->height() / 2));
    // The photo's point under the anchor, as a fraction of the view, stays under it.
    const QRect before = PictureView1->geometry();
    const double fx = before.width() > 0 ? double(at.x() - before.x()) / before.width() : 0.5;
    const double fy = before.height() > 0 ? double(at.y() - before.y()) / before.height() : 0.5;
    PictureView1->SetAutoSize(false);
    ScrollBox1->setWidgetResizable(false);
    PictureView1->SetPicturePosition(bpStretchedWithAspect);
    const QSize size(std::max(1, int(std::lround(pw * zoom_))), std::max(1, int(std::lround(ph * zoom_))));
    PictureView1->resize(size);
    QCoreApplication::sendPostedEvents(ScrollBox1, QEvent::LayoutRequest);
    ScrollBox1->horizontalScrollBar()->setValue(int(std::lround(fx * size.width())) - at.x());
    ScrollBox1->verticalScrollBar()->setValue(int(std::lround(fy * size.height())) - at.y());
    SetPanLimits();
    PictureView1->setCursor(Qt::OpenHandCursor);
    PictureView1->update();
}

void TForm1::ZoomIn() {
    StepZoom(kZoomStep);
}

void TForm1::ZoomOut() {
    StepZoom(1 / kZoomStep);
}

bool TForm1::PictureWheel(QWheelEvent* event) {
    const int amount = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (amount == 0) return true;
    if (event->modifiers() & Qt::ControlModifier) {
        // Zoom about the cursor, a step per notch (a touchpad's small turns zoom by as little).
        const QPoint at = ScrollBox1->viewport()->mapFromGlobal(event->globalPosition().toPoint());
        StepZoom(std::pow(kZoomStep, amount / 120.0), at);
        return true;
    }
    // The wheel alone moves through the photos, a photo per notch, as the keys do.
    wheelRest_ += amount;
    while (std::abs(wheelRest_) >= 120) {
        QueueNavigation(wheelRest_ < 0 ? 2 : 1);
        wheelRest_ += wheelRest_ < 0 ? 120 : -120;
    }
    return true;
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
    const bool full = !isFullScreen();
    // Full screen shows the picture alone; what it hid comes back as it was.
    if (full) {
        hiddenForFullScreen_.clear();
        for (QWidget* part : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(ToolBar1),
                              Label6->parentWidget(), static_cast<QWidget*>(ThumbnailList1),
                              static_cast<QWidget*>(PageControl2), btnAbout->parentWidget()})
            if (part->isVisible()) {
                part->hide();
                hiddenForFullScreen_.push_back(part);
            }
    } else {
        for (QWidget* part : hiddenForFullScreen_)
            part->show();
        hiddenForFullScreen_.clear();
    }
    setWindowState(full ? windowState() | Qt::WindowFullScreen : windowState() & ~Qt::WindowFullScreen);
}

void TForm1::EscapeKey() {
    // The slideshow ends first, then full screen is left, as in every viewer; only then does Escape quit.
    if (SlideshowRunning()) {
        ToggleSlideshow();
        return;
    }
    if (isFullScreen()) {
        ToggleFullScreen();
        return;
    }
    ExitProgram();
}

bool TForm1::SlideshowRunning() const {
    return slideshow_ && slideshow_->isActive();
}

void TForm1::ToggleSlideshow() {
    if (SlideshowRunning()) {
        slideshow_->stop();
        return;
    }
    if (ThumbnailList1->Thumbnails().ThumbnailCount() == 0) return;
    if (!slideshow_) {
        slideshow_ = new QTimer(this);
        connect(slideshow_, &QTimer::timeout, this, [this] {
            RunCommand([this] {
                // Round the strip: after the last photo comes the first.
                int next = NavigationTarget(2);
                if (next < 0) next = NavigationTarget(0);
                if (next < 0) {
                    slideshow_->stop();
                    return;
                }
                ShowStripPhoto(next);
            });
        });
    }
    slideshow_->start(slideshowSeconds_ * 1000);
}

void TForm1::SetSlideshowSeconds(int seconds) {
    slideshowSeconds_ = std::clamp(seconds, 1, 3600);
    if (SlideshowRunning()) slideshow_->start(slideshowSeconds_ * 1000);
}

void TForm1::AskSlideshowInterval() {
    const QString current = QString::number(slideshowSeconds_);
    const QString typed = Platform().InputBox(this, tr("Slideshow interval"),
                                              tr("Seconds each photo is shown (1 to 3600):"), current);
    if (typed == current) return;
    bool number = false;
    const int seconds = typed.trimmed().toInt(&number);
    if (!number || seconds < 1 || seconds > 3600) {
        Platform().ShowMessage(this, tr("The interval is a number of seconds from 1 to 3600."));
        return;
    }
    SetSlideshowSeconds(seconds);
}

} // namespace quillmark
