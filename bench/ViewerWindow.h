// The viewer's main window as the viewer benchmarks drive it: shown, with its picture view fitted to a
// screen area of a given size.
#pragma once

#include "MainView.h"

#include <QApplication>
#include <QScrollArea>
#include <QSize>
#include <QTest>

namespace quillmark {

// Shows form and sizes it so that its picture view's area is `viewport` pixels; false when the window
// never appears.
inline bool ShowViewerWindow(TForm1& form, QSize viewport) {
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return false;
    form.resize(form.size() + viewport - form.ScrollBox1->viewport()->size());
    QApplication::processEvents();
    return true;
}

} // namespace quillmark
