// The file commands: Save as, Recycle, Copy to clipboard, the comment dialog, Enter EXIF comment and
// Write Small.
#include "AppTestSupport.h"
#include "CommentDialog.h"
#include "JpegCodec.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "ThumbnailList.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>

#include <csignal>
#include <sys/resource.h>

using namespace apptest;
using namespace quillmark;

#include <map>

namespace {

QString TrashedFile(const QString& name) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Trash/files/") + name;
}

// The marker codes of a JPEG file's sections up to its first scan.
QList<int> SectionMarkers(const QByteArray& bytes) {
    QList<int> markers;
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && uchar(bytes[at]) == 0xFF) {
        const int marker = uchar(bytes[at + 1]);
        markers << marker;
        if (marker == 0xDA) break;
        at += 2 + (uchar(bytes[at + 2]) << 8 | uchar(bytes[at + 3]));
    }
    return markers;
}

} // namespace

class FileCommandsTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void saveAsWithNothingShownWritesNothing() {
        QTemporaryDir dir;
        const QString keep = dir.filePath(QStringLiteral("keep.jpg"));
        WriteBytes(keep, QByteArray("precious"));
        Viewer viewer;
        TestPlatform().SaveAnswers << keep;
        viewer.Trigger("Saveas1");
        QCOMPARE(TestPlatform().Messages, QStringList{"There is no picture to save."});
        QVERIFY(TestPlatform().SaveRequests.empty());
        QCOMPARE(ReadAll(keep), QByteArray("precious"));
        TestPlatform().SaveAnswers.clear();
    }

    void saveAsWritesTheHeldBytesUnchanged() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
        WriteBytes(photo, ExifJpeg(48, 32));
        Viewer viewer({photo});
        TestPlatform().SaveAnswers << dir.filePath(QStringLiteral("copy.JPG"))
                                   << dir.filePath(QStringLiteral("copy.dat"));
        viewer.Click("ToolButton20");
        viewer.Trigger("Saveas1");
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("copy.JPG"))), ReadAll(photo));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("copy.dat"))), ReadAll(photo));
        // The dialog proposes the name chosen last.
        QCOMPARE(TestPlatform().SaveRequests.at(0).FileName, QString());
        QCOMPARE(TestPlatform().SaveRequests.at(1).FileName, dir.filePath(QStringLiteral("copy.JPG")));
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void saveAsAfterATurnWritesTheNamedType_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::newRow("jpg") << "turned.jpg" << int(TPictureFormat::Jpeg);
        QTest::newRow("png") << "turned.png" << int(TPictureFormat::Png);
        QTest::newRow("bmp") << "turned.bmp" << int(TPictureFormat::Bmp);
    }
    void saveAsAfterATurnWritesTheNamedType() {
        QFETCH(QString, name);
        QFETCH(int, format);
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("photo.png"));
        const QImage original = DistinctPixels(6, 4);
        WriteBytes(photo, Png(original));
        Viewer viewer({photo});
        viewer.Trigger("RotateRight1");
        const QByteArray held = viewer.form().PictureView1->Picture().HeldBytes();
        QCOMPARE(SniffPictureFormat(held), TPictureFormat::Bmp);

        const QString target = dir.filePath(name);
        TestPlatform().SaveAnswers << target;
        viewer.Trigger("Saveas1");
        const QByteArray written = ReadAll(target);
        QCOMPARE(int(SniffPictureFormat(written)), format);
        QImage back;
        QVERIFY(back.loadFromData(written));
        QCOMPARE(back.size(), QSize(4, 6));
        if (format == int(TPictureFormat::Bmp))
            QCOMPARE(written, held);
        else if (format == int(TPictureFormat::Png))
            QCOMPARE(back.convertToFormat(QImage::Format_RGB32), RotateQuarterTurns(original, 90));
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void saveAsAfterATurnKeepsTheMetadataOfAJpeg() {
        namespace craft = quillmark::craft;
        QTemporaryDir dir;
        for (const bool bigEndian : {false, true}) {
            craft::TiffBlock tiff(bigEndian);
            const int exif = tiff.AddIfd();
            tiff.Ascii(0, 0x010F, "Quillmark").Ascii(0, 0x0110, "Test Camera").Short(0, 0x0112, {3});
            tiff.Link(0, craft::kExifIfdTag, exif);
            tiff.Ascii(exif, 0x9003, "2024:05:06 07:08:09")
                .Short(exif, 0xA002, {48})
                .Short(exif, 0xA003, {32});
            craft::JpegFile file;
            file.Soi().Exif(tiff).Iptc({{2, 120, "A caption"}}).Comment("Kept").Image(48, 32, 90);
            const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
            WriteBytes(photo, file.Bytes());
            Viewer viewer({photo});
            viewer.Trigger("RotateRight1");
            const QString target = dir.filePath(QStringLiteral("turned.jpg"));
            TestPlatform().SaveAnswers << target;
            viewer.Trigger("Saveas1");
            QVERIFY(TestPlatform().Messages.isEmpty());

            // Read back with the metadata reader: the sections are kept, marked upright, with the new size.
            TimgData back(255);
            QVERIFY(back.ProcessFile(QFile::encodeName(target).toStdString()));
            QVERIFY(back.ExifReader && back.IptcSection && back.CommentText() == "Kept");
            std::map<std::string, std::string> texts;
            int orientation = 0;
            for (const TTagEntry& entry : back.ExifReader->Entries) {
                texts[entry.Name] = entry.Text;
                if (entry.Tag == 0x0112 && entry.Raw.size() == 2)
                    orientation = bigEndian ? uint8_t(entry.Raw[1]) : uint8_t(entry.Raw[0]);
            }
            QCOMPARE(texts["Make"], std::string("Quillmark"));
            QCOMPARE(texts["Model"], std::string("Test Camera"));
            QCOMPARE(texts["DateTimeOriginal"], std::string("2024:05:06 07:08:09"));
            QCOMPARE(orientation, 1);
            QCOMPARE(back.ExifReader->Width, 32);
            QCOMPARE(back.ExifReader->Height, 48);
            QImage picture;
            QVERIFY(picture.loadFromData(ReadAll(target)));
            QCOMPARE(picture.size(), QSize(32, 48));
            // The photo itself is untouched, and the shown one still carries its own orientation.
            QCOMPARE(ReadAll(photo), QByteArray(file.Bytes().data(), qsizetype(file.Bytes().size())));
        }
    }

    void saveAsFailureLeavesTheTargetIntact() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("big.jpg"));
        WriteBytes(photo, ExifJpeg(400, 300));
        const QString target = dir.filePath(QStringLiteral("target.jpg"));
        WriteBytes(target, QByteArray("the old file"));
        Viewer viewer({photo});
        TestPlatform().SaveAnswers << target;
        {
            // The file-size limit stands in for a disk that fills up half-way.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit previous{};
            getrlimit(RLIMIT_FSIZE, &previous);
            rlimit limit = previous;
            limit.rlim_cur = 1024;
            setrlimit(RLIMIT_FSIZE, &limit);
            viewer.Trigger("Saveas1");
            setrlimit(RLIMIT_FSIZE, &previous);
        }
        QCOMPARE(TestPlatform().Messages.size(), 1);
        QVERIFY(TestPlatform().Messages.first().startsWith("Cannot write " + target));
        QCOMPARE(ReadAll(target), QByteArray("the old file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void recyclesTheCurrentPhotoWithItsThumbnail() {
        QTemporaryDir dir;
        for (const char* name : {"r1.jpg", "r2.jpg", "r3.jpg"})
            WriteBytes(dir.filePath(QString::fromLatin1(name)), PlainJpeg(12, 9));
        Viewer viewer({dir.path()});
        TForm1& form = viewer.form();
        // The folder opens on its first photo.
        viewer.Click("ToolButton6");
        const QString current = dir.filePath(QStringLiteral("r2.jpg"));
        QCOMPARE(form.CurrentFile, current);
        QVERIFY(form.ValueListEditor1->rowCount() > 0);

        TestPlatform().ConfirmAnswers.push_back(true);
        viewer.Click("ToolButton22");
        QCOMPARE(TestPlatform().Questions.size(), 1);
        QVERIFY(TestPlatform().Questions.first().contains(current));
        QVERIFY(!QFile::exists(current));
        QVERIFY(QFile::exists(TrashedFile(QStringLiteral("r2.jpg"))));
        QCOMPARE(viewer.StripCount(), 2);
        QCOMPARE(viewer.StripFile(1), dir.filePath(QStringLiteral("r3.jpg")));
        QVERIFY(form.CurrentFile.isEmpty());
        QCOMPARE(form.Label1->text(), QStringLiteral("Folder: "));
        QCOMPARE(form.Label2->text(), QStringLiteral("File: "));
        QVERIFY(form.PictureView1->Picture().IsEmpty());
        // The lists no longer describe a photo that is gone.
        QCOMPARE(form.ValueListEditor1->rowCount(), 0);

        // With no current photo nothing is asked and nothing moves; the selected thumbnail stays.
        form.ThumbnailList1->SetSelectedIndex(0);
        viewer.Trigger("Recyclephoto1");
        QCOMPARE(TestPlatform().Questions.size(), 1);
        QCOMPARE(viewer.StripCount(), 2);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("r1.jpg"))));
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void recycleTrashesTheShownPhotoWhereverItCameFrom() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("only.jpg"));
        WriteBytes(photo, PlainJpeg(12, 9));
        // A data home that does not exist yet: the trash is made there, never in the working folder.
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        const QString freshHome = dir.filePath(QStringLiteral("fresh/share"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(freshHome));
        const QString workingFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));

        Viewer viewer;
        // Nothing shown: Recycle is disabled, and its key does nothing.
        QVERIFY(!viewer.form().findChild<QAbstractButton*>(QStringLiteral("ToolButton22"))->isEnabled());
        QVERIFY(!viewer.form().findChild<QAction*>(QStringLiteral("Recyclephoto1"))->isEnabled());
        QTest::keyClick(viewer.form().windowHandle(), Qt::Key_Delete, Qt::ControlModifier);

        TestPlatform().OpenAnswers << photo;
        viewer.Trigger("OpenImage1");
        QVERIFY(viewer.form().findChild<QAction*>(QStringLiteral("Recyclephoto1"))->isEnabled());
        const QByteArray recorded =
            QFile::encodeName(QFileInfo(photo).canonicalFilePath()).toPercentEncoding("/");
        TestPlatform().ConfirmAnswers.push_back(true);
        viewer.Trigger("Recyclephoto1");
        // A second photo of the same name, from the command line, takes a name of its own in the trash.
        WriteBytes(photo, QByteArray("second"));
        {
            Viewer again({photo});
            TestPlatform().ConfirmAnswers.push_back(true);
            again.Click("ToolButton22");
        }
        QDir::setCurrent(workingFolder);
        qputenv("XDG_DATA_HOME", dataHome);

        QVERIFY(TestPlatform().Messages.isEmpty());
        QCOMPARE(TestPlatform().Questions.size(), 2);
        QVERIFY(!QFile::exists(photo));
        QCOMPARE(ReadAll(freshHome + QStringLiteral("/Trash/files/only.jpg")),
                 QByteArray(PlainJpeg(12, 9).c_str(), qsizetype(PlainJpeg(12, 9).size())));
        const QStringList info =
            QString::fromUtf8(ReadAll(freshHome + QStringLiteral("/Trash/info/only.jpg.trashinfo")))
                .split(QLatin1Char('\n'));
        QCOMPARE(info.value(0), QStringLiteral("[Trash Info]"));
        QCOMPARE(info.value(1), QStringLiteral("Path=") + QString::fromLatin1(recorded));
        QVERIFY(info.value(2).startsWith(QStringLiteral("DeletionDate=")));
        QCOMPARE(ReadAll(freshHome + QStringLiteral("/Trash/files/only.2.jpg")), QByteArray("second"));
        QVERIFY(QFile::exists(freshHome + QStringLiteral("/Trash/info/only.2.jpg.trashinfo")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("files"))));
        QCOMPARE(viewer.StripCount(), 0);
        QCOMPARE(viewer.form().CurrentFile, QString());
        QVERIFY(!viewer.form().findChild<QAction*>(QStringLiteral("Recyclephoto1"))->isEnabled());
    }

    void recycleDeclinedOrFailedKeepsPhotoAndThumbnail() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("stay.jpg"));
        WriteBytes(photo, PlainJpeg(12, 9));
        Viewer viewer({dir.path()});
        TForm1& form = viewer.form();
        viewer.Click("ToolButton10");
        TestPlatform().ConfirmAnswers.push_back(false);
        viewer.Click("ToolButton22");
        QVERIFY(TestPlatform().Messages.isEmpty());

        TestPlatform().ConfirmAnswers.push_back(true);
        TestPlatform().TrashFails = true;
        viewer.Click("ToolButton22");
        QCOMPARE(TestPlatform().Messages,
                 QStringList{"Could not move " + photo + " to the trash: no trash here"});

        QCOMPARE(TestPlatform().Questions.size(), 2);
        QVERIFY(QFile::exists(photo));
        QCOMPARE(viewer.StripCount(), 1);
        QCOMPARE(form.CurrentFile, photo);
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename: stay.jpg"));
        QVERIFY(!form.PictureView1->Picture().IsEmpty());
    }

    void recyclesTheCurrentPhotoEvenWhenAnotherIsSelected() {
        QTemporaryDir dir;
        WriteBytes(dir.filePath(QStringLiteral("s1.jpg")), PlainJpeg(12, 9));
        WriteBytes(dir.filePath(QStringLiteral("s2.jpg")), PlainJpeg(12, 9));
        Viewer viewer({dir.path()});
        viewer.Click("ToolButton10");
        viewer.form().ShowPhoto(dir.filePath(QStringLiteral("s2.jpg")), false);
        TestPlatform().ConfirmAnswers.push_back(true);
        viewer.Click("ToolButton22");
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("s2.jpg"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("s1.jpg"))));
        QCOMPARE(viewer.StripCount(), 1);
        QCOMPARE(viewer.StripFile(0), dir.filePath(QStringLiteral("s1.jpg")));
    }

    void copiesTheShownPictureToTheClipboard() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("c.png"));
        WriteBytes(photo, Png(DistinctPixels(5, 3)));
        Viewer viewer;
        viewer.Trigger("Copyimagetoclipboard1");
        QVERIFY(TestPlatform().Clipboard.empty());
        viewer.form().ShowPhoto(photo, false);
        viewer.Trigger("Copyimagetoclipboard1");
        QCOMPARE(int(TestPlatform().Clipboard.size()), 1);
        QCOMPARE(TestPlatform().Clipboard.front().convertToFormat(QImage::Format_RGB32),
                 DistinctPixels(5, 3));
    }

    void showsTheCommentDialogWithoutWaiting() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("c.jpg"));
        WriteBytes(photo, CommentOnlyJpeg("Hello"));
        Viewer viewer({photo});
        TfrmComment& dialog = viewer.windows.frmComment();
        QVERIFY(!dialog.isVisible());
        viewer.Click("ToolButton25");
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.isModal());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Comment"));
        QCOMPARE(dialog.Memo1->toPlainText(), QStringLiteral("Hello"));
        dialog.Button1->click();
        QVERIFY(!dialog.isVisible());
    }

    void entersAnExifComment() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("commented.jpg"));
        WriteBytes(photo, ExifJpeg(16, 16, "Old words", 40));
        Viewer viewer({photo});
        TForm1& form = viewer.form();
        const QStringList memoBefore = viewer.MemoLines();

        // Cancel gives back the preset: nothing changes.
        TestPlatform().InputAnswers.push_back(std::nullopt);
        viewer.Trigger("Comment1");
        QCOMPARE(int(TestPlatform().Inputs.size()), 1);
        QCOMPARE(TestPlatform().Inputs[0].Title, QStringLiteral("Enter EXIF comment:"));
        QCOMPARE(TestPlatform().Inputs[0].Prompt,
                 QStringLiteral("Enter a new comment (limited to 40 characters )"));
        QCOMPARE(TestPlatform().Inputs[0].Preset, QStringLiteral("Old words"));
        QCOMPARE(viewer.MemoLines(), memoBefore);
        QCOMPARE(form.ImageData->ExifReader->UserCommentText, std::string("Old words"));

        // OK with new words: the reader and the report have them; the file on disk does not.
        TestPlatform().InputAnswers.push_back(QStringLiteral("New words"));
        viewer.Trigger("Comment1");
        QCOMPARE(TestPlatform().Inputs[1].Preset, QStringLiteral("Old words"));
        QCOMPARE(viewer.MemoLines().last(), QStringLiteral("Comment set to: New words"));
        QCOMPARE(form.ImageData->ExifReader->UserCommentText, std::string("New words"));
        QVERIFY(form.ImageData->ExifSectionPtr()->Data.find("New words") != std::string::npos);
        QVERIFY(ReadAll(photo).contains("Old words"));
        QVERIFY(TestPlatform().Messages.isEmpty());

        // A photo without a comment field says so.
        const QString plain = dir.filePath(QStringLiteral("plain.jpg"));
        WriteBytes(plain, ExifJpeg(16, 16));
        form.ShowPhoto(plain, false);
        viewer.Trigger("Comment1");
        QCOMPARE(TestPlatform().Messages, QStringList{"No EXIF comment field detected"});
    }

    void writesAHalfSizeCopyWithoutMetadata() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("large.jpg"));
        WriteBytes(photo, ExifJpeg(3001, 2001, "Keep me out", 20));
        Viewer viewer({photo});
        const QString proposed = dir.filePath(QStringLiteral("large_smaller.jpg"));
        TestPlatform().SaveAnswers << proposed;
        viewer.Trigger("WriteSmall1");
        QCOMPARE(TestPlatform().SaveRequests.at(0).FileName, proposed);
        QVERIFY(TestPlatform().Messages.isEmpty());

        const QByteArray written = ReadAll(proposed);
        QVERIFY(written.startsWith(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\0", 11)));
        const QList<int> markers = SectionMarkers(written);
        QVERIFY(!markers.contains(0xE1)); // no EXIF
        QVERIFY(!markers.contains(0xED)); // no IPTC
        QVERIFY(!markers.contains(0xFE)); // no comment
        QVERIFY(!written.contains("Exif"));
        const TJpegSize size = ReadJpegSize(std::string_view(written.constData(), size_t(written.size())));
        QCOMPARE(QSize(size.Width, size.Height), QSize(1500, 1000));

        // The container has let go of its sections and readers until the next photo is shown.
        viewer.Trigger("Comment1");
        QCOMPARE(TestPlatform().Messages, QStringList{"No EXIF comment field detected"});
    }

    void writeSmallCancelledOrUnreadableWritesNothing() {
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("p.png"));
        WriteBytes(photo, Png(DistinctPixels(8, 8)));
        Viewer viewer({photo});
        TestPlatform().SaveAnswers << QString() << dir.filePath(QStringLiteral("out.jpg"));
        viewer.Trigger("WriteSmall1");
        QCOMPARE(TestPlatform().SaveRequests.at(0).FileName, dir.filePath(QStringLiteral("p_smaller.jpg")));
        viewer.Trigger("WriteSmall1");
        QCOMPARE(TestPlatform().Messages.size(), 1);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.jpg"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("p_smaller.jpg"))));
    }
};

QUILLMARK_APP_TEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
