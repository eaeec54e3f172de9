// What the viewer's tests share: a platform that answers every dialog from a queue and records what the
// window asked of the desktop, a temporary home with its own trash, and photo files made on the spot.
#pragma once

#include "ExifBuilder.h"
#include "MainView.h"
#include "ThumbnailList.h"
#include "platform/Platform.h"
#include "platform/QtPlatform.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace apptest {

using namespace quillmark;

// Answers dialogs without showing them. A dialog with no answer waiting is cancelled and counted in
// Unanswered, so that a test notices a question it did not expect. The trash, event pumping and the
// busy cursor's bookkeeping stay those of the desktop.
class TTestPlatform : public TQtPlatform {
public:
    QStringList OpenAnswers;
    QStringList SaveAnswers;
    QStringList FolderAnswers;
    std::deque<std::optional<QString>> InputAnswers; // nullopt: the user presses Cancel
    std::deque<bool> ConfirmAnswers;

    std::vector<TFileDialogRequest> OpenRequests;
    std::vector<TFileDialogRequest> SaveRequests;
    QStringList FolderTitles;
    QStringList FolderStarts;
    QStringList Messages;
    struct Input {
        QString Title, Prompt, Preset;
    };
    std::vector<Input> Inputs;
    QStringList Questions;
    QStringList OpenedUrls;
    std::vector<QImage> Clipboard;
    int BusyDepth = 0;
    int BusyTimes = 0;
    int Unanswered = 0;
    bool TrashFails = false; // the desktop's trash refuses every file
    bool NoBrowser = false;  // no browser takes an address

    void Reset() { *this = TTestPlatform(); }

    QString OpenFileName(QWidget*, const TFileDialogRequest& request) override {
        OpenRequests.push_back(request);
        return Take(OpenAnswers);
    }
    QString SaveFileName(QWidget*, const TFileDialogRequest& request) override {
        SaveRequests.push_back(request);
        return Take(SaveAnswers);
    }
    QString ChooseFolder(QWidget*, const QString& title, const QString& startFolder) override {
        FolderTitles << title;
        FolderStarts << startFolder;
        return Take(FolderAnswers);
    }
    void ShowMessage(QWidget*, const QString& text) override { Messages << text; }
    QString InputBox(QWidget*, const QString& title, const QString& prompt, const QString& preset) override {
        Inputs.push_back({title, prompt, preset});
        if (InputAnswers.empty()) {
            ++Unanswered;
            return preset;
        }
        const std::optional<QString> answer = InputAnswers.front();
        InputAnswers.pop_front();
        return answer ? *answer : preset;
    }
    bool Confirm(QWidget*, const QString&, const QString& question) override {
        Questions << question;
        if (ConfirmAnswers.empty()) {
            ++Unanswered;
            return false;
        }
        const bool answer = ConfirmAnswers.front();
        ConfirmAnswers.pop_front();
        return answer;
    }
    bool MoveToTrash(const QString& fileName, QString& error) override {
        if (!TrashFails) return TQtPlatform::MoveToTrash(fileName, error);
        error = QStringLiteral("no trash here");
        return false;
    }
    bool OpenUrl(const QString& address) override {
        OpenedUrls << address;
        return !NoBrowser;
    }
    void CopyImageToClipboard(const QImage& image) override { Clipboard.push_back(image); }
    void BeginBusyCursor() override {
        ++BusyDepth;
        ++BusyTimes;
    }
    void EndBusyCursor() override { --BusyDepth; }
    // Counted: the window pumping its own events in the middle of a command lets queued keys re-enter it.
    int Pumps = 0;
    void ProcessEvents() override {
        ++Pumps;
        TQtPlatform::ProcessEvents();
    }

private:
    QString Take(QStringList& answers) {
        if (answers.isEmpty()) {
            ++Unanswered;
            return QString();
        }
        return answers.takeFirst();
    }
};

inline TTestPlatform& TestPlatform() {
    return dynamic_cast<TTestPlatform&>(Platform());
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), qPrintable(path));
}

inline void WriteBytes(const QString& path, const std::string& bytes) {
    WriteBytes(path, QByteArray(bytes.data(), qsizetype(bytes.size())));
}

inline QString SamplePath(const char* name) {
    return QStringLiteral(QUILLMARK_SAMPLES_DIR "/") + QString::fromLatin1(name);
}

// A JPEG with a small EXIF block (Make, Model, and, when commentRoom > 0, a user comment field with room
// for commentRoom characters and a closing zero) and a real picture.
inline std::string ExifJpeg(int width, int height, const std::string& userComment = {}, int commentRoom = 0) {
    namespace craft = quillmark::craft;
    craft::TiffBlock tiff(false);
    const int exif = tiff.AddIfd();
    tiff.Ascii(0, 0x010F, "Quillmark").Ascii(0, 0x0110, "Test Camera").Link(0, craft::kExifIfdTag, exif);
    tiff.Rational(exif, 0x829D, {{28, 10}});
    if (commentRoom > 0) {
        std::string field = std::string("ASCII\0\0\0", 8) + userComment;
        field.resize(8 + size_t(commentRoom) + 1, '\0');
        tiff.Undefined(exif, 0x9286, field);
    }
    craft::JpegFile file;
    file.Soi().Exif(tiff).Image(width, height, 85);
    return file.Bytes();
}

// A JPEG whose only metadata is a comment.
inline std::string CommentOnlyJpeg(const std::string& comment, int width = 16, int height = 12) {
    quillmark::craft::JpegFile file;
    file.Soi().Comment(comment).Image(width, height, 85);
    return file.Bytes();
}

inline std::string PlainJpeg(int width, int height) {
    quillmark::craft::JpegFile file;
    file.Soi().Image(width, height, 85);
    return file.Bytes();
}

// A picture whose every pixel differs from every other, so that a pixel that moved wrongly shows.
inline QImage DistinctPixels(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 37) & 0xFF, (y * 53) & 0xFF, (x * 7 + y * 11 + 1) & 0xFF));
    return image;
}

inline QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

// The window's three windows, shown and ready, with a fresh platform.
struct Viewer {
    explicit Viewer(QStringList arguments = {}) : windows(std::move(arguments)) {
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
        // The command line's photo or folder is opened once the window is up.
        QCoreApplication::sendPostedEvents(&form(), QEvent::MetaCall);
    }
    // Runs the photo the navigation keys led to, as the window does once their events are all taken.
    void Settle() { QCoreApplication::sendPostedEvents(&form(), QEvent::MetaCall); }
    TForm1& form() { return windows.Form1(); }
    QStringList Column(QTableWidget* list, int column) {
        QStringList texts;
        for (int row = 0; row < list->rowCount(); ++row)
            texts << (list->item(row, column) ? list->item(row, column)->text() : QStringLiteral("<none>"));
        return texts;
    }
    QStringList MemoLines() { return form().Memo1->toPlainText().split(QLatin1Char('\n')); }
    int StripCount() { return form().ThumbnailList1->Thumbnails().ThumbnailCount(); }
    QString StripFile(int i) { return form().ThumbnailList1->Thumbnails().ThumbnailAt(i)->Filename(); }
    void Trigger(const char* action) {
        auto* entry = form().findChild<QAction*>(QString::fromLatin1(action));
        QVERIFY2(entry, action);
        entry->trigger();
    }
    void Click(const char* button) {
        auto* widget = form().findChild<QAbstractButton*>(QString::fromLatin1(button));
        QVERIFY2(widget, button);
        widget->click();
    }

    TViewerWindows windows;
};

// What every test class of the viewer starts and ends each test with: a fresh answering platform, and
// at the end no question left unanswered and the busy cursor given back.
class TViewerTestCase : public QObject {
    Q_OBJECT

protected:
    static void CheckCleanEnd() {
        QCOMPARE(TestPlatform().Unanswered, 0);
        QCOMPARE(TestPlatform().BusyDepth, 0);
    }

private slots:
    void init() { TestPlatform().Reset(); }
    void cleanup() { CheckCleanEnd(); }
};

} // namespace apptest

// A test program's main: a temporary home (with its own trash) set before the application starts, and
// the answering platform installed for the whole run.
#define QUILLMARK_APP_TEST_MAIN(TestClass)                                                                   \
    int main(int argc, char** argv) {                                                                        \
        QTemporaryDir home;                                                                                  \
        if (!home.isValid()) return 1;                                                                       \
        QDir(home.path()).mkpath(QStringLiteral(".local/share"));                                            \
        QDir(home.path()).mkpath(QStringLiteral("runtime"));                                                 \
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")),                                      \
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);     \
        qputenv("HOME", QFile::encodeName(home.path()));                                                     \
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));          \
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral(".cache"))));               \
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath(QStringLiteral("runtime"))));             \
        QApplication::setAttribute(Qt::AA_Use96Dpi);                                                         \
        QApplication app(argc, argv);                                                                        \
        quillmark::InstallPlatform(std::make_unique<apptest::TTestPlatform>());                              \
        TestClass test;                                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        const int result = QTest::qExec(&test, argc, argv);                                                  \
        quillmark::InstallPlatform(nullptr);                                                                 \
        return result;                                                                                       \
    }
