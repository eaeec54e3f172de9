// The viewer with one big photo: start-up to the first painted photo, showing a photo, a repaint of the
// fitted view and a quarter turn, each against the time libjpeg-turbo needs to decode that photo.
//
//   ViewerBenchmark PHOTO [--rounds N] [--summary FILE]
//
// Runs the viewer's own window headless (offscreen unless QT_QPA_PLATFORM says otherwise):
//   start-up     the program started with the photo, from the start of its process until the picture view
//                has painted the photo (this program run again with --first-paint, timed from outside);
//   show         ShowPhoto, cold, in a fitted view of 1600 x 1000 pixels: the file read, decoded at the scale
//                the view shows, painted, its metadata read and listed; with the number of decodes the view
//                ran for it;
//   next         Next to a photo decoded ahead (copies of the photo in a folder), until its frame is painted,
//                and until its metadata is listed too;
//   repaint      the fitted view painted again, nothing changed;
//   zoom         a Zoom In or Zoom Out step and the repaint at the new size (the one reduction a new size
//                costs);
//   quarter turn RotateView(90) and the repaint that shows the turned photo.
// The medians of N rounds are printed with their ratios to the decode; --summary also writes the table.
#include "JpegCodec.h"
#include "MainView.h"
#include "Median.h"
#include "PaintClock.h"
#include "PictureDecoder.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "ViewerWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace quillmark;

namespace {

template <typename F> double Seconds(F&& run) {
    QElapsedTimer timer;
    timer.start();
    run();
    return timer.nsecsElapsed() / 1e9;
}

// The child: the viewer started with the photo; it says "painted" once the view has painted the photo.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(TPictureView* view) : view_(view) { view->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == view_ && event->type() == QEvent::Paint && !view_->Picture().IsEmpty() && !seen_) {
            seen_ = true;
            // Reported once this paint is done.
            QTimer::singleShot(0, [] {
                std::puts("painted");
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    TPictureView* view_;
    bool seen_ = false;
};

int RunFirstPaint(int argc, char** argv, const QString& photo) {
    QApplication app(argc, argv);
    TViewerWindows windows({photo});
    FirstPaint watcher(windows.Form1().PictureView1);
    windows.Form1().show();
    return QApplication::exec();
}

// Wall time from starting this program with --first-paint until it reports the painted photo.
double TimeStartUp(const char* self, const std::string& photo) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execl(self, self, "--first-paint", photo.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    char line[64] = {};
    const ssize_t got = read(pipeEnds[0], line, sizeof line - 1);
    const auto end = std::chrono::steady_clock::now();
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got <= 0 || std::string(line).rfind("painted", 0) != 0) return -1;
    return std::chrono::duration<double>(end - start).count();
}

struct Row {
    const char* name;
    double seconds;
    const char* target;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::string(argv[1]) == "--first-paint")
        return RunFirstPaint(argc, argv, QString::fromLocal8Bit(argv[2]));

    QString photo, summary;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--summary" && i + 1 < argc)
            summary = QString::fromLocal8Bit(argv[++i]);
        else if (photo.isEmpty() && arg.rfind("--", 0) != 0)
            photo = QString::fromLocal8Bit(argv[i]);
        else
            rounds = 0; // not an option of ours
    }
    if (photo.isEmpty() || rounds == 0) {
        std::fprintf(stderr, "usage: %s PHOTO [--rounds N] [--summary FILE]\n", argv[0]);
        return 2;
    }
    const std::string photoName = QFile::encodeName(photo).toStdString();

    // The start-up runs first, in processes of their own, before this one has grown.
    std::vector<double> startUp;
    for (int round = 0; round < rounds; ++round) {
        const double seconds = TimeStartUp(argv[0], photoName);
        if (seconds < 0) {
            std::fprintf(stderr, "the viewer did not report its first paint\n");
            return 1;
        }
        startUp.push_back(seconds);
    }

    QApplication app(argc, argv);
    std::vector<double> decode, qtDecode;
    TJpegSize size;
    for (int round = 0; round < rounds; ++round) {
        decode.push_back(Seconds([&] {
            const TRgbImage image = DecodeJpegFile(photoName, 1);
            size = {image.Width, image.Height, 3};
        }));
        qtDecode.push_back(Seconds([&] {
            QFile file(photo);
            if (file.open(QIODevice::ReadOnly)) (void)DecodePicture(file.readAll());
        }));
    }

    TViewerWindows windows;
    TForm1& form = windows.Form1();
    // The fitted view of a 1600 x 1000 screen area.
    if (!ShowViewerWindow(form, QSize(1600, 1000))) return 1;
    TPictureView& view = *form.PictureView1;

    std::vector<double> show;
    int decodesPerShow = 0;
    for (int round = 0; round < rounds; ++round) {
        const int before = view.Picture().DecodeCount();
        show.push_back(Seconds([&] { form.ShowPhoto(photo, false); }));
        decodesPerShow = std::max(decodesPerShow, view.Picture().DecodeCount() - before);
    }

    // Next through copies of the photo, each decoded ahead while the one before is looked at.
    QTemporaryDir folder;
    for (int i = 0; i <= rounds; ++i)
        if (!QFile::copy(photo, folder.filePath(QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0'))))) {
            std::fprintf(stderr, "could not copy the photo\n");
            return 1;
        }
    form.OpenFolderPath(folder.path());
    form.ToolButton10Click(); // First
    std::vector<double> next, nextPainted;
    PaintClock clock(&view);
    for (int round = 0; round < rounds && form.Prefetch; ++round) {
        form.Prefetch->WaitUntilIdle();
        const int before = view.Picture().DecodeCount();
        clock.Start();
        next.push_back(Seconds([&] {
            form.ToolButton6Click();
            view.repaint();
        }));
        nextPainted.push_back(clock.Painted());
        if (view.Picture().DecodeCount() != before || clock.Painted() < 0) {
            std::fprintf(stderr, "Next decoded the photo again\n");
            return 1;
        }
    }
    if (next.empty()) {
        std::fprintf(stderr, "nothing was decoded ahead\n");
        return 1;
    }
    form.CloseAll1Click();
    form.ShowPhoto(photo, false);

    std::vector<double> repaint, resize;
    for (int round = 0; round < 4 * rounds; ++round)
        repaint.push_back(Seconds([&] { view.repaint(); }));
    // The first zoom past the reduced decode: painted at once from the reduction, then again when the full
    // pixels come from the worker.
    const double zoomStandIn = Seconds([&] {
        form.ToolButton11Click();
        view.repaint();
    });
    const double zoomSharp = zoomStandIn + Seconds([&] {
                                 while (view.Picture().Decoded()->FullDecodePending())
                                     QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                                 view.repaint();
                             });
    form.ToolButton12Click();
    view.repaint();
    for (int round = 0; round < rounds; ++round) {
        // Zoom In and Zoom Out by turns: the view grows and shrinks by 100 pixels each time.
        const int reductions = view.Picture().RenderReductions();
        resize.push_back(Seconds([&] {
            if (round % 2)
                form.ToolButton12Click();
            else
                form.ToolButton11Click();
            view.repaint();
        }));
        if (view.Picture().RenderReductions() == reductions) {
            std::fprintf(stderr, "the view was not painted at its new size\n");
            return 1;
        }
    }
    form.ToolButton7Click(); // fitted to the window again

    std::vector<double> turn, turnMade;
    for (int round = 0; round < rounds; ++round) {
        turn.push_back(Seconds([&] {
            form.RotateView(90);
            view.repaint();
        }));
        // What the turn leaves for later: the turned pixels and their bitmap, made when Save as, a copy
        // or the next load asks for them.
        turnMade.push_back(Seconds([&] { (void)view.Picture().HeldBytes(); }));
    }

    const double reference = Median(decode);
    const Row rows[] = {
        {"start-up to the first painted photo", Median(startUp), ""},
        {"showing the photo cold (ShowPhoto)", Median(show), "target < 0.4x"},
        {"Next to a photo decoded ahead, painted", Median(nextPainted), "target < 0.05x"},
        {"  and its metadata listed", Median(next), ""},
        {"repaint of the fitted view", Median(repaint), "target < 0.1x"},
        {"first zoom past the reduction, painted", zoomStandIn, ""},
        {"  and painted again from full pixels", zoomSharp, ""},
        {"zoom step, with its repaint", Median(resize), ""},
        {"quarter turn, with its repaint", Median(turn), "target < 0.333x"},
    };
    std::string text;
    char line[512];
    std::snprintf(line, sizeof line, "%s: %d x %d pixels (median of %d rounds; fitted view %d x %d)\n",
                  qPrintable(QFileInfo(photo).fileName()), size.Width, size.Height, rounds, view.width(),
                  view.height());
    text += line;
    std::snprintf(line, sizeof line, "  %-38s %9.2f ms\n", "libjpeg-turbo decode, full size",
                  reference * 1e3);
    text += line;
    std::snprintf(line, sizeof line, "  %-38s %9.2f ms   %7.4fx the decode\n",
                  "Qt decode (the view's decoder)", Median(qtDecode) * 1e3, Median(qtDecode) / reference);
    text += line;
    for (const Row& row : rows) {
        std::snprintf(line, sizeof line, "  %-38s %9.2f ms   %7.4fx the decode   %s\n", row.name,
                      row.seconds * 1e3, row.seconds / reference, row.target);
        text += line;
    }
    std::snprintf(line, sizeof line, "  decodes the view runs to show the photo: %d (target 1)\n",
                  decodesPerShow);
    text += line;
    std::snprintf(
        line, sizeof line,
        "  after a turn, made when first asked for (Save as): turned pixels and their bitmap %.1f ms\n",
        Median(turnMade) * 1e3);
    text += line;
    std::fputs(text.c_str(), stdout);
    if (!summary.isEmpty()) {
        QFile out(summary);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text.c_str()) < 0) return 1;
    }
    return 0;
}
