// KeyRepeatBenchmark FOLDER [--presses N] [--rate R]: Page Down held over a folder of camera-size photos.
//
// The folder fills the viewer's strip; then a thread sends N Page Down presses at R a second (30 by
// default, a desktop's key repeat), as the window system would while the key is held, however busy the
// window is. Every press should count: the view ends on the photo N places on (or the last), painted with
// its lists. Prints the presses lost (goal 0), the delay from the last press to the painted photo and to
// its filled lists, and how many photos were shown on the way.
//
// Make a folder with `quillmark-bench-corpus OUT --small 0 --large 60` (OUT/12mp).
#include "MainView.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "ThumbnailList.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

using namespace quillmark;
using Clock = std::chrono::steady_clock;

namespace {

// Counts the view's paints and times the first one of the photo the keys lead to: the strip's frame is on
// it and no key waits to be shown any more.
class TPaintWatch : public QObject {
public:
    TPaintWatch(TForm1& form, int target) : form_(form), target_(target) {
        form.PictureView1->installEventFilter(this);
    }
    Clock::time_point TargetPainted;
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++Paints;
            if (TargetPainted == Clock::time_point() && !form_.NavigationPending() &&
                form_.ThumbnailList1->SelectedIndex() == target_)
                TargetPainted = Clock::now();
        }
        return false;
    }

private:
    TForm1& form_;
    int target_;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    QString folder;
    int presses = 150;
    double rate = 30;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--presses" && i + 1 < argc)
            presses = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--rate" && i + 1 < argc)
            rate = std::max(1.0, std::atof(argv[++i]));
        else
            folder = QString::fromLocal8Bit(argv[i]);
    }
    if (folder.isEmpty()) {
        std::fprintf(stderr, "usage: %s FOLDER [--presses N] [--rate R]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    TViewerWindows windows;
    TForm1& form = windows.Form1();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    const auto scanStart = Clock::now();
    if (!form.ScanFolder(folder)) return 1;
    const double scanMs = Ms(Clock::now() - scanStart);
    const int count = form.ThumbnailList1->Thumbnails().ThumbnailCount();
    if (form.Prefetch) form.Prefetch->WaitUntilIdle();
    QCoreApplication::processEvents();
    const int start = form.ThumbnailList1->SelectedIndex();
    const int expected = std::min(count - 1, start + presses);

    TPaintWatch watch(form, expected);
    // The keyboard device is made here, on the window's thread, before the first key names it.
    QKeyEvent(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    std::atomic<bool> sent{false};
    Clock::time_point lastPress;
    QWindow* window = form.windowHandle();
    std::thread keys([&] {
        const auto period = std::chrono::duration<double>(1.0 / rate);
        const auto begin = Clock::now();
        for (int i = 0; i < presses; ++i) {
            std::this_thread::sleep_until(begin + std::chrono::duration_cast<Clock::duration>(period * i));
            // Posted as the window system queues a held key's repeats: whatever the window is doing.
            QCoreApplication::postEvent(
                window, new QKeyEvent(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier, QString(), i > 0));
            lastPress = Clock::now();
        }
        sent = true;
    });

    // Waits until the last press is taken and the photo it leads to is shown with its lists.
    Clock::time_point settled;
    QEventLoop loop;
    QTimer poll;
    const auto deadline =
        Clock::now() + std::chrono::seconds(60) + std::chrono::milliseconds(int(1000.0 * presses / rate));
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (Clock::now() > deadline) loop.quit();
        if (!sent || form.NavigationPending()) return;
        if (form.NavigationPresses() < presses) return;
        if (form.ValueListEditor1->rowCount() == 0) return;
        settled = Clock::now();
        loop.quit();
    });
    const int paintsBefore = watch.Paints;
    poll.start(1);
    loop.exec();
    keys.join();

    const QString target = form.ThumbnailList1->Thumbnails().ThumbnailAt(expected)->Filename();
    const int reached = form.ThumbnailList1->SelectedIndex();
    const int lost = expected - reached + int(presses - std::min<int64_t>(presses, form.NavigationPresses()));
    std::printf("folder: %s (%d photos, strip filled in %.0f ms)\n", qPrintable(folder), count, scanMs);
    std::printf("presses: %d at %.0f/s, from photo %d to %d (expected %d)\n", presses, rate, start + 1,
                reached + 1, expected + 1);
    std::printf("presses lost: %d (goal 0)\n", std::max(0, lost));
    std::printf("shown photo matches the strip's frame: %s\n", form.CurrentFile == target ? "yes" : "NO");
    std::printf("view paints during the run: %d\n", watch.Paints - paintsBefore);
    if (settled != Clock::time_point() && watch.TargetPainted != Clock::time_point()) {
        std::printf("last press to painted photo: %.1f ms\n", Ms(watch.TargetPainted - lastPress));
        std::printf("last press to photo with its lists: %.1f ms\n", Ms(settled - lastPress));
    } else {
        std::printf("the photo the presses lead to was not shown within the time allowed\n");
        return 1;
    }
    return lost == 0 ? 0 : 1;
}
