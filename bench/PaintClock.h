// Times from Start to the end of the picture view's next paint that shows a picture: what a benchmark of
// the viewer counts as "painted".
#pragma once

#include "PictureView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

namespace quillmark {

// Times from Start to the end of the view's next paint that shows a picture.
class PaintClock : public QObject {
public:
    explicit PaintClock(TPictureView* view) : view_(view) { view->installEventFilter(this); }
    void Start() {
        painted_ = -1;
        timer_.start();
    }
    // Seconds from Start to the end of that paint; negative when there was none.
    double Painted() const { return painted_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != view_ || event->type() != QEvent::Paint || view_->Picture().IsEmpty() ||
            painted_ >= 0 || !timer_.isValid())
            return false;
        // The paint is run here, inside the paint cycle that delivers it, so that its end can be timed.
        view_->removeEventFilter(this);
        QCoreApplication::sendEvent(view_, event);
        view_->installEventFilter(this);
        painted_ = timer_.nsecsElapsed() / 1e9;
        return true;
    }

private:
    TPictureView* view_;
    QElapsedTimer timer_;
    double painted_ = -1;
};

} // namespace quillmark
