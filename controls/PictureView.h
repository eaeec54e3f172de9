// TPictureView: the control that paints the current photo from its own TPictureHolder.
//
// It paints no background of its own: wherever the picture does not reach, the parent shows through.
// Zooming is done by the caller changing the control's size; "actual size" is AutoSize, which makes the
// control exactly as large as the picture. Inside a scroll area, dragging the control pans it whenever it
// is larger than the area shows, however it got that large. A file that cannot be shown leaves a short
// reason painted in the control, in the palette's text colour.
#pragma once

#include "PictureHolder.h"

#include <QCursor>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAbstractScrollArea;
class QTimer;

namespace quillmark {

enum TPicturePosition {
    bpTopLeft,
    bpTopRight,
    bpBottomLeft,
    bpBottomRight,
    bpCenter,
    bpTiled,
    bpStretched,
    bpStretchedWithAspect,
};

// Whether the five corner and centre placements reduce a picture larger than the control.
enum TStretchMode { smNever, smShrink };

// What the placement needs to know of a picture: its display size (which places it) and its pixel size
// (at which it is drawn unscaled).
struct PictureSizes {
    int displayWidth = 0;
    int displayHeight = 0;
    int pixelWidth = 0;
    int pixelHeight = 0;
};

// Calls draw with each rectangle into which the picture is stretched (DrawInto) for a control of
// width x height, in drawing order. Tiles that cannot reach `visible` once moved by frameOffset are left
// out. A picture without a display size draws nothing.
void PlacePicture(int width, int height, const PictureSizes& sizes, TPicturePosition position,
                  TStretchMode stretchMode, const QRect& visible, QPoint frameOffset,
                  const std::function<void(const QRect&)>& draw);

// Every rectangle PlacePicture draws into over the whole control.
std::vector<QRect> PicturePlacement(int width, int height, const PictureSizes& sizes,
                                    TPicturePosition position, TStretchMode stretchMode);

class TPictureView : public QWidget {
    Q_OBJECT

public:
    // Animation tick period: a GIF delay of d hundredths of a second holds a frame for d ticks.
    static constexpr int kAnimationIntervalMs = 10;

    explicit TPictureView(QWidget* parent = nullptr);
    ~TPictureView() override;

    bool Animate() const { return animate_; }
    void SetAnimate(bool animate);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    TPictureHolder& Picture() { return *picture_; }
    const TPictureHolder& Picture() const { return *picture_; }
    // Copies picture into the owned one (AssignPicture); none clears the view.
    void SetPicture(const TPictureHolder* picture);
    TPicturePosition PicturePosition() const { return position_; }
    void SetPicturePosition(TPicturePosition position);
    TStretchMode StretchMode() const { return stretchMode_; }
    void SetStretchMode(TStretchMode stretchMode);
    QString Version() const { return QStringLiteral("1.3.1.1"); }

    // The picture is a GIF with more than one frame.
    bool IsAnimated() const { return isAnimated_; }
    int TickCount() const { return tickCount_; }
    int NextFrameTick() const { return nextFrameTick_; }
    bool HasAnimationTimer() const { return animationTimer_ != nullptr; }
    // One step of the animation, as the timer runs it every 10 ms while Animate is on.
    void AnimationTick();

    // Why the last file loaded into the picture cannot be shown, in a few words; empty when it can.
    QString FailureText() const;

    // Whether a left-button drag pans the scroll area the control lies in (on unless switched off).
    bool DragPans() const { return dragPans_; }
    void SetDragPans(bool dragPans) { dragPans_ = dragPans; }

signals:
    // After every frame change of the picture, including the one that follows each load.
    void OnFrameChange();
    // A file loaded into the picture cannot be shown; reason is FailureText.
    void OnLoadFailure(const QString& reason);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The scroll area whose viewport holds the control, when it is larger than that viewport; none else.
    QAbstractScrollArea* PanningArea() const;
    void EndDrag();
    void PictureChanged();
    void PictureFrameChanged();
    void ClearView();
    void ApplyAutoSize();
    // Decodes the shown picture's full pixels on a worker thread, once, and repaints with them when they
    // come; meanwhile the reduced decode is drawn stretched where they will be.
    void DecodeFullInBackground();

    std::unique_ptr<TPictureHolder> picture_;
    std::unique_ptr<QTimer> animationTimer_;
    bool animate_ = false;
    bool autoSize_ = false;
    TPicturePosition position_ = bpTopLeft;
    TStretchMode stretchMode_ = smNever;
    int tickCount_ = 0;
    int nextFrameTick_ = 0;
    bool isAnimated_ = false;
    bool suppressPicture_ = false;
    bool dragPans_ = true;
    bool dragging_ = false;
    QPoint dragStartGlobal_;
    QPoint dragStartScroll_;
    bool hadCursor_ = false;
    QCursor cursorBeforeDrag_;
    // The JPEG being decoded whole in the background; empty when none is.
    QByteArray fullDecodeData_;
};

} // namespace quillmark
