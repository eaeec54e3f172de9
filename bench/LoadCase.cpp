// The load case at full size, run by hand: a folder of a few thousand photos and pretenders (camera
// photos, photos cut short or damaged, crafted files whose metadata lies, TIFFs, files that are no
// picture at all, a folder and a dangling link named like photos; tests/app/LoadFolder.h) is opened
// in the viewer, scanned into the strip, and every entry of the strip shown in turn as a click on its
// thumbnail shows it. Reports the time of each phase and the memory: resident size after the scan,
// after each tenth of the showing, and the peak.
//
//   LoadCase [COUNT [FOLDER]]     (defaults: 3000 files in /tmp/quillmark-loadcase)
//   LoadCase 0 FOLDER             (an existing folder as it is, e.g. a folder of one kind of file)
//
// Runs headless (QT_QPA_PLATFORM=offscreen is set when no platform is chosen). Exit status 1 when
// the strip does not list the folder's ".jpg" names or a message other than the expected ones came.
#include "LoadFolder.h"
#include "MainView.h"
#include "ProcessMemory.h"
#include "ThumbnailList.h"
#include "platform/QtPlatform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

using namespace quillmark;
using bench::PeakMb;
using bench::ResidentMb;

namespace {

// Answers the one dialog the run needs (the folder) and counts the messages instead of showing them.
class TLoadPlatform : public TQtPlatform {
public:
    QString Folder;
    QStringList Messages;
    QString ChooseFolder(QWidget*, const QString&, const QString&) override { return Folder; }
    void ShowMessage(QWidget*, const QString& text) override { Messages << text; }
    QString OpenFileName(QWidget*, const TFileDialogRequest&) override { return {}; }
    QString SaveFileName(QWidget*, const TFileDialogRequest&) override { return {}; }
    QString InputBox(QWidget*, const QString&, const QString&, const QString& preset) override {
        return preset;
    }
    bool Confirm(QWidget*, const QString&, const QString&) override { return false; }
    bool OpenUrl(const QString&) override { return true; }
    void CopyImageToClipboard(const QImage&) override {}
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int count = argc > 1 ? std::atoi(argv[1]) : 3000;
    const std::string folderPath = argc > 2 ? argv[2] : "/tmp/quillmark-loadcase";
    QApplication app(argc, argv);

    QElapsedTimer timer;
    timer.start();
    loadcase::TLoadFolder made;
    if (count > 0) {
        made = loadcase::MakeLoadFolder(folderPath, count, QUILLMARK_SAMPLES_DIR);
    } else {
        made = loadcase::ListLoadFolder(folderPath);
    }
    std::printf("folder      %s: %d entries, %zu listed as photos, made in %.1f s\n", folderPath.c_str(),
                made.Files, made.StripNames.size(), double(timer.elapsed()) / 1000.0);

    auto owned = std::make_unique<TLoadPlatform>();
    TLoadPlatform& platform = *owned;
    InstallPlatform(std::move(owned));
    platform.Folder = QFile::decodeName(made.Folder.string().c_str());
    const double startMb = ResidentMb();
    int status = 0;
    {
        TViewerWindows windows;
        TForm1& form = windows.Form1();
        form.show();
        app.processEvents();

        timer.restart();
        form.RunCommand([&form] { form.OpenFolder1Click(); });
        const double scanSeconds = double(timer.elapsed()) / 1000.0;
        TThumbnailList* strip = form.ThumbnailList1;
        const int listed = strip->Thumbnails().ThumbnailCount();
        const double scannedMb = ResidentMb();
        std::printf("scan        %d thumbnails in %.2f s (%.2f ms each); resident %.0f MiB (%.0f before), "
                    "peak so far %.0f MiB\n",
                    listed, scanSeconds, 1000.0 * scanSeconds / std::max(listed, 1), scannedMb, startMb,
                    PeakMb());
        if (listed != int(made.StripNames.size())) {
            std::printf("FAILED: the strip lists %d entries, the folder has %zu photo names\n", listed,
                        made.StripNames.size());
            status = 1;
        }

        timer.restart();
        double highestMb = scannedMb;
        for (int i = 0; i < listed; ++i) {
            strip->SetSelectedIndex(i);
            emit strip->OnClick();
            app.processEvents();
            highestMb = std::max(highestMb, ResidentMb());
            if (listed >= 10 && (i + 1) % (listed / 10) == 0)
                std::printf("  shown %5d: resident %.0f MiB, %.1f s\n", i + 1, ResidentMb(),
                            double(timer.elapsed()) / 1000.0);
        }
        const double showSeconds = double(timer.elapsed()) / 1000.0;
        std::printf(
            "show        %d photos in %.2f s (%.2f ms each); resident at most %.0f MiB, %.0f at the end\n",
            listed, showSeconds, 1000.0 * showSeconds / std::max(listed, 1), highestMb, ResidentMb());
        if (platform.Messages.size() != qsizetype(made.NotFiles.size())) {
            std::printf("FAILED: %lld messages, %zu expected (one per folder or dangling link):\n",
                        static_cast<long long>(platform.Messages.size()), made.NotFiles.size());
            for (const QString& m : platform.Messages.mid(0, 10))
                std::printf("  %s\n", qPrintable(m));
            status = 1;
        }
        form.RunCommand([&form] { form.CloseAll1Click(); });
        app.processEvents();
        std::printf("close all   resident %.0f MiB\n", ResidentMb());
    }
    InstallPlatform(nullptr);
    std::printf("peak        %.0f MiB resident\n", PeakMb());
    return status;
}
