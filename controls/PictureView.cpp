#include "PictureView.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <exception>

namespace quillmark {

namespace {

// Counters that tick every 10 ms wrap around instead of overflowing.
int WrappingAdd(int a, int b) {
    return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

} // namespace

void PlacePicture(int width, int height, const PictureSizes& sizes, TPicturePosition position,
                  TStretchMode stretchMode, const QRect& visible, QPoint frameOffset,
                  const std::function<void(const QRect&)>& draw) {
    const int W = width;
    const int H = height;
    const int pw = sizes.displayWidth;
    const int ph = sizes.displayHeight;
    if (W <= 0 || H <= 0 || pw <= 0 || ph <= 0) return;
    // Drawing at a point draws the picture at its own size.
    const auto at = [&](int x, int y) { draw(RectLTRB(x, y, x + sizes.pixelWidth, y + sizes.pixelHeight)); };

    switch (position) {
    case bpTiled: {
        // Rows top to bottom, each left to right, stepping by the display size.
        const QRect wanted = visible.translated(-frameOffset);
        for (int y = 0; y < H; y += ph) {
            if (y + std::max(ph, sizes.pixelHeight) <= wanted.top()) continue;
            if (y > wanted.bottom()) break;
            for (int x = 0; x < W; x += pw) {
                if (x + std::max(pw, sizes.pixelWidth) <= wanted.left()) continue;
                if (x > wanted.right()) break;
                at(x, y);
            }
        }
        return;
    }
    case bpStretched: {
        // One pixel above the control, and past its bottom by one pixel plus the control pixels per
        // picture pixel (rounded half to even).
        const int extra = static_cast<int>(std::nearbyint(double(H) / ph));
        draw(RectLTRB(0, -1, W, H + 1 + extra));
        return;
    }
    case bpStretchedWithAspect: {
        // Touches two sides of the control: small pictures grow, large ones shrink, anchored top-left.
        const double rx = double(pw) / W;
        const double ry = double(ph) / H;
        if (rx > ry)
            draw(RectLTRB(0, 0, W, static_cast<int>(ph / rx)));
        else
            draw(RectLTRB(0, 0, static_cast<int>(pw / ry), H));
        return;
    }
    default:
        break;
    }

    if (stretchMode == smShrink) {
        const QSize shrunk = FitWithin(pw, ph, W, H);
        const int sw = shrunk.width();
        const int sh = shrunk.height();
        switch (position) {
        case bpTopLeft:
            draw(RectLTRB(0, 0, sw, sh));
            break;
        case bpTopRight:
            draw(RectLTRB(W - sw, 0, W, sh));
            break;
        case bpBottomLeft:
            draw(RectLTRB(0, H - sh, sw, H));
            break;
        case bpBottomRight:
            draw(RectLTRB(W - sw, H - sh, W, H));
            break;
        default: {
            const int l = (W - sw) / 2;
            const int t = (H - sh) / 2;
            draw(RectLTRB(l, t, l + sw, t + sh));
            break;
        }
        }
        return;
    }

    const int right = std::max(0, W - pw);
    const int bottom = std::max(0, H - ph);
    switch (position) {
    case bpTopLeft:
        at(0, 0);
        break;
    case bpTopRight:
        at(right, 0);
        break;
    case bpBottomLeft:
        at(0, bottom);
        break;
    case bpBottomRight:
        at(right, bottom);
        break;
    default:
        at(right / 2, bottom / 2);
        break;
    }
}

std::vector<QRect> PicturePlacement(int width, int height, const PictureSizes& sizes,
                                    TPicturePosition position, TStretchMode stretchMode) {
    std::vector<QRect> rects;
    PlacePicture(width, height, sizes, position, stretchMode, QRect(0, 0, width, height), QPoint(),
                 [&rects](const QRect& r) { rects.push_back(r); });
    return rects;
}

TPictureView::TPictureView(QWidget* parent)
    : QWidget(parent), picture_(std::make_unique<TPictureHolder>(TPictureHolder::Variant::View)) {
    resize(100, 100);
    picture_->SetDpi(logicalDpiX(), logicalDpiY());
    picture_->OnClear = [this](TPictureHolder&) { ClearView(); };
    picture_->OnPictureChange = [this](TPictureHolder&) { PictureChanged(); };
    picture_->OnFrameChange = [this](TPictureHolder&) { PictureFrameChanged(); };
    picture_->OnLoadFailure = [this](TPictureHolder&) {
        update();
        emit OnLoadFailure(FailureText());
    };
}

TPictureView::~TPictureView() {
    animationTimer_.reset();
    picture_->OnClear = nullptr;
    picture_->OnPictureChange = nullptr;
    picture_->OnFrameChange = nullptr;
    picture_->OnLoadFailure = nullptr;
}

void TPictureView::SetPicture(const TPictureHolder* picture) {
    picture_->AssignPicture(picture);
    update();
}

void TPictureView::SetPicturePosition(TPicturePosition position) {
    if (position == position_) return;
    position_ = position;
    update();
}

void TPictureView::SetStretchMode(TStretchMode stretchMode) {
    if (stretchMode == stretchMode_) return;
    stretchMode_ = stretchMode;
    update();
}

void TPictureView::ApplyAutoSize() {
    if (autoSize_ && !picture_->IsEmpty()) resize(picture_->PixelWidth(), picture_->PixelHeight());
}

void TPictureView::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    ApplyAutoSize();
}

void TPictureView::SetAnimate(bool animate) {
    if (animate == animate_) return;
    animate_ = animate;
    if (!animate) {
        animationTimer_.reset();
        return;
    }
    tickCount_ = 0;
    nextFrameTick_ = 0;
    animationTimer_ = std::make_unique<QTimer>();
    animationTimer_->setInterval(kAnimationIntervalMs);
    connect(animationTimer_.get(), &QTimer::timeout, this, [this] {
        // A frame that fails to decode must not escape into the event loop; the animation then simply
        // holds, as it does for a frame without a delay.
        try {
            AnimationTick();
        } catch (const std::exception&) {
            tickCount_ = WrappingAdd(tickCount_, 1);
        }
    });
    animationTimer_->start();
}

void TPictureView::AnimationTick() {
    if (!isAnimated_ || picture_->IsEmpty()) return;
    if (tickCount_ == nextFrameTick_) {
        if (picture_->FrameCount() > picture_->Frame())
            picture_->SetFrame(picture_->Frame() + 1);
        else
            picture_->SetFrame(1);
        // The equality test means a delay of 0 (or a missing frame's -1) stops the animation here.
        nextFrameTick_ = WrappingAdd(nextFrameTick_, picture_->FrameDuration(picture_->Frame()));
    }
    tickCount_ = WrappingAdd(tickCount_, 1);
}

void TPictureView::ClearView() {
    suppressPicture_ = true;
    repaint();
    suppressPicture_ = false;
}

void TPictureView::PictureChanged() {
    ApplyAutoSize();
    if (picture_->IsEmpty()) return;
    isAnimated_ = picture_->IsGif() && picture_->FrameCount() > 1;
    picture_->SetFrame(0);
}

void TPictureView::PictureFrameChanged() {
    switch (picture_->FrameDisposal()) {
    case 0:
    case 1:
    case 3:
        repaint();
        break;
    case 2:
        // Restore to background: the frame's rectangle of the parent is erased and painted again.
        if (QWidget* parent = parentWidget())
            parent->update(QRect(picture_->FrameLeft(), picture_->FrameTop(), picture_->FrameWidth(),
                                 picture_->FrameHeight()));
        break;
    default:
        break;
    }
    emit OnFrameChange();
}

QString TPictureView::FailureText() const {
    switch (picture_->LoadFailure()) {
    case TLoadFailure::None:
        break;
    case TLoadFailure::Unreadable:
        return tr("This file cannot be read.");
    case TLoadFailure::Undecodable:
        if (!picture_->LoadFailureReason().isEmpty())
            return tr("This picture cannot be shown.") + QLatin1Char(' ') + picture_->LoadFailureReason();
        return tr("This picture cannot be shown: its format is unknown or the file is damaged.");
    case TLoadFailure::OutOfMemory:
        return tr("This picture cannot be shown: there is not enough memory for it.");
    }
    return {};
}

void TPictureView::paintEvent(QPaintEvent* event) {
    if (suppressPicture_) return;
    if (width() <= 0 || height() <= 0) return;
    QPainter painter(this);
    if (picture_->IsEmpty()) {
        // A reason instead of an empty view, in the middle of what can be seen of the control.
        const QString reason = FailureText();
        if (reason.isEmpty()) return;
        QRect area = visibleRegion().boundingRect();
        if (area.isEmpty()) area = rect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, reason);
        return;
    }
    const PictureSizes sizes{picture_->DisplayWidth(), picture_->DisplayHeight(), picture_->PixelWidth(),
                             picture_->PixelHeight()};
    // Actual size and zoom draw more pixels than a reduced decode has: those come from a worker, and the
    // view stays responsive meanwhile.
    bool stoodIn = false;
    PlacePicture(width(), height(), sizes, position_, stretchMode_, event->rect(),
                 QPoint(picture_->FrameLeft(), picture_->FrameTop()), [&](const QRect& rect) {
                     stoodIn = picture_->DrawIntoWithoutDecoding(painter, rect) || stoodIn;
                 });
    if (stoodIn) DecodeFullInBackground();
}

void TPictureView::DecodeFullInBackground() {
    const std::shared_ptr<const DecodedPicture> picture = picture_->Decoded();
    const QByteArray data = picture ? picture->PendingFullData() : QByteArray();
    if (data.isEmpty() || data.constData() == fullDecodeData_.constData()) return;
    fullDecodeData_ = data;
    QPointer<TPictureView> view(this);
    std::weak_ptr<const DecodedPicture> shown = picture;
    // A thumbnail standing in is followed by the pixels the view shows; the full ones come when a drawing
    // needs more.
    const bool standIn = picture->IsStandIn();
    const QSize bound = picture_->ViewBound();
    QThreadPool::globalInstance()->start([view, shown, data, standIn, bound] {
        QImage full = standIn ? DecodedPicture::DecodeSharper(data, bound) : DecodedPicture::DecodeFull(data);
        // Taken on the window's thread, by the picture it was decoded for if that is still alive; a picture
        // shown since then never sees it.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [view, shown, data, standIn, full = std::move(full)] {
                if (const auto picture = shown.lock())
                    standIn ? picture->AcceptSharper(data, full) : picture->AcceptFullPixels(data, full);
                if (view && view->fullDecodeData_.constData() == data.constData()) {
                    view->fullDecodeData_ = QByteArray();
                    view->update();
                }
            },
            Qt::QueuedConnection);
    });
}

QAbstractScrollArea* TPictureView::PanningArea() const {
    QWidget* viewport = parentWidget();
    auto* area = viewport ? qobject_cast<QAbstractScrollArea*>(viewport->parentWidget()) : nullptr;
    if (!area || area->viewport() != viewport) return nullptr;
    if (area->horizontalScrollBar()->maximum() <= 0 && area->verticalScrollBar()->maximum() <= 0)
        return nullptr;
    return area;
}

void TPictureView::mousePressEvent(QMouseEvent* event) {
    QAbstractScrollArea* area = dragPans_ && event->button() == Qt::LeftButton ? PanningArea() : nullptr;
    if (!area) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The drag is measured on the screen: the control moves under the mouse while it pans.
    dragging_ = true;
    dragStartGlobal_ = event->globalPosition().toPoint();
    dragStartScroll_ = QPoint(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value());
    hadCursor_ = testAttribute(Qt::WA_SetCursor);
    cursorBeforeDrag_ = cursor();
    setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void TPictureView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        EndDrag();
        return;
    }
    if (QAbstractScrollArea* area = PanningArea()) {
        const QPoint moved = event->globalPosition().toPoint() - dragStartGlobal_;
        area->horizontalScrollBar()->setValue(dragStartScroll_.x() - moved.x());
        area->verticalScrollBar()->setValue(dragStartScroll_.y() - moved.y());
    }
    event->accept();
}

void TPictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        EndDrag();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TPictureView::EndDrag() {
    dragging_ = false;
    if (hadCursor_)
        setCursor(cursorBeforeDrag_);
    else
        unsetCursor();
}

} // namespace quillmark
