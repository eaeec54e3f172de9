// The load case in small: a folder of about a hundred photos and pretenders (LoadFolder.h) opened
// in the viewer, scanned into the strip, and every entry of the strip shown in turn as a click on
// its thumbnail shows it. Nothing may crash or hang; the strip lists exactly the ".jpg" names; a
// folder or a dangling link named like a photo is reported once when clicked; camera photos fill the
// lists; the window works as before afterwards. The full-size run, with time and memory, is
// bench/LoadCase.cpp.
#include "AppTestSupport.h"
#include "LoadFolder.h"
#include "PictureView.h"

#include <algorithm>

using namespace apptest;
using namespace quillmark;

class LoadCaseTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void scansAndShowsEveryFileOfAHostileFolder() {
        QTemporaryDir dir;
        const loadcase::TLoadFolder made =
            loadcase::MakeLoadFolder(QFile::encodeName(dir.filePath(QStringLiteral("photos"))).toStdString(),
                                     100, QUILLMARK_SAMPLES_DIR);
        for (const std::string& path : made.Missing)
            QFAIL(("missing test data file " + path).c_str());
        QVERIFY(made.CameraPhotos.size() >= 10);
        const QString folder = QFile::decodeName(made.Folder.string().c_str());

        Viewer viewer;
        TForm1& form = viewer.form();
        TestPlatform().FolderAnswers << folder;
        viewer.Trigger("OpenFolder1");
        QVERIFY(TestPlatform().Messages.isEmpty());

        // Exactly the pictures' names, in the folder listing's order, folders and dangling links included.
        QStringList expected;
        for (const std::string& name : made.StripNames)
            expected << folder + QLatin1Char('/') + QString::fromStdString(name);
        QStringList listed;
        for (int i = 0; i < viewer.StripCount(); ++i)
            listed << viewer.StripFile(i);
        QCOMPARE(listed, expected);

        // Each entry shown as a click on its thumbnail shows it.
        TThumbnailList* strip = form.ThumbnailList1;
        int filled = 0;
        for (int i = 0; i < viewer.StripCount(); ++i) {
            strip->SetSelectedIndex(i);
            emit strip->OnClick();
            const QString name = QFileInfo(viewer.StripFile(i)).fileName();
            if (std::count(made.CameraPhotos.begin(), made.CameraPhotos.end(), name.toStdString())) {
                QCOMPARE(form.CurrentFile, viewer.StripFile(i));
                QVERIFY2(viewer.Column(form.ValueListEditor1, 0).size() > 5, qPrintable(name));
                QVERIFY2(!form.PictureView1->Picture().IsEmpty(), qPrintable(name));
                ++filled;
            }
        }
        QCOMPARE(filled, int(made.CameraPhotos.size()));
        QStringList notFiles;
        for (const std::string& name : made.NotFiles)
            notFiles << QStringLiteral("File does not exists: ") + folder + QLatin1Char('/') +
                            QString::fromStdString(name);
        QCOMPARE(TestPlatform().Messages, notFiles);

        // The window goes on as before: a camera photo shows its lists and picture.
        const QString camera = folder + QLatin1Char('/') + QString::fromStdString(made.CameraPhotos.front());
        form.ShowPhoto(camera, false);
        QCOMPARE(form.CurrentFile, camera);
        QVERIFY(viewer.Column(form.ValueListEditor3, 0).size() == 17);
        viewer.Trigger("CloseAll1");
        QCOMPARE(viewer.StripCount(), 0);
    }
};

QUILLMARK_APP_TEST_MAIN(LoadCaseTest)
#include "LoadCaseTest.moc"
