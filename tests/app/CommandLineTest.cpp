// The two programs' command lines as a user types them: --help and --version (without a display), and the
// messages for options they do not know.
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// Runs a program to its end. Without a display the window system cannot be reached at all, so whatever
// answers has answered without it.
// display: the offscreen platform; otherwise X11 without a display, or no platform named at all.
Run RunProgram(const QString& program, const QStringList& arguments, bool display = false,
               bool namePlatform = true) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (namePlatform)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                           display ? QStringLiteral("offscreen") : QStringLiteral("xcb"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

const QString kViewer = QStringLiteral(QUILLMARK_VIEWER);
const QString kReportTool = QStringLiteral(QUILLMARK_REPORT_TOOL);
const QString kVersion = QStringLiteral(QUILLMARK_VERSION);

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void viewerAnswersHelpAndVersionWithoutADisplay() {
        for (const char* option : {"--version", "-v"}) {
            const Run run = RunProgram(kViewer, {QString::fromLatin1(option)});
            QCOMPARE(run.status, 0);
            QCOMPARE(run.out, QStringLiteral("quillmark ") + kVersion + QLatin1Char('\n'));
            QCOMPARE(run.err, QString());
        }
        for (const char* option : {"--help", "-h"}) {
            const Run run = RunProgram(kViewer, {QString::fromLatin1(option), QStringLiteral("photo.jpg")});
            QCOMPARE(run.status, 0);
            QVERIFY2(run.out.startsWith(QStringLiteral("Usage: ")), qPrintable(run.out));
            for (const char* text : {"[options] [PHOTO | FOLDER]", "-h, --help", "-v, --version",
                                     "--help-all", "photo|folder", "dropped"})
                QVERIFY2(run.out.contains(QLatin1String(text)), text);
            QVERIFY(!run.out.contains(QStringLiteral("-platform")));
        }
        // --help-all lists Qt's own options, which it learns from the window system.
        const Run all = RunProgram(kViewer, {QStringLiteral("--help-all")}, true);
        QCOMPARE(all.status, 0);
        QVERIFY(all.out.contains(QStringLiteral("-platform")));
        // Qt's own options, which the parser does not know, do not stand in the way.
        const Run withQtOptions = RunProgram(
            kViewer, {QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("--version")});
        QCOMPARE(withQtOptions.status, 0);
        QCOMPARE(withQtOptions.out, QStringLiteral("quillmark ") + kVersion + QLatin1Char('\n'));
    }

    void viewerNamesTheOptionsItDoesNotKnow() {
        const Run run =
            RunProgram(kViewer,
                       {QStringLiteral("--bogus"), QStringLiteral("-x"), QStringLiteral("--zoom=3"),
                        QStringLiteral("photo.jpg"), QStringLiteral("--"), QStringLiteral("-later")},
                       true);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QString());
        // (after whatever Qt itself had to say about the test machine)
        QVERIFY2(run.err.endsWith(QStringLiteral("quillmark: unknown option '--bogus'\n"
                                                 "quillmark: unknown option '-x'\n"
                                                 "quillmark: unknown option '--zoom'\n"
                                                 "Try 'quillmark --help' for the options it knows.\n")),
                 qPrintable(run.err));
        QCOMPARE(run.err.count(QStringLiteral("quillmark:")), 3);

        // Without any display, and without a platform named, the same answer, before the window system
        // would end the program.
        const Run bare = RunProgram(kViewer, {QStringLiteral("--zoom")}, false, false);
        QCOMPARE(bare.status, 2);
        QCOMPARE(bare.err, QStringLiteral("quillmark: unknown option '--zoom'\n"
                                          "Try 'quillmark --help' for the options it knows.\n"));
    }

    void reportToolAnswersVersion() {
        const Run run = RunProgram(kReportTool, {QStringLiteral("--version")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("quillmark-report ") + kVersion + QLatin1Char('\n'));
        const Run help = RunProgram(kReportTool, {QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains(QStringLiteral("--version")));
        // After "--" it is a file name like any other.
        const Run file = RunProgram(kReportTool, {QStringLiteral("--"), QStringLiteral("--version")});
        QCOMPARE(file.status, 2);
        QCOMPARE(file.out, QString());
        QCOMPARE(file.err, QStringLiteral("quillmark-report: --version: No such file or directory\n"));
    }

    // The sample maker answers --help, and takes no option it does not know for a folder to make.
    void sampleMakerAnswersHelp() {
        QTemporaryDir work;
        const QString maker = QStringLiteral(QUILLMARK_MAKE_SAMPLES);
        const struct {
            const char* argument;
            int status;
            const char* says;
        } cases[] = {{"--help", 0, "usage: "}, {"-h", 0, "usage: "}, {"--bogus", 2, "Try '"}};
        for (const auto& c : cases) {
            QProcess process;
            process.setWorkingDirectory(work.path());
            process.start(maker, {QString::fromLatin1(c.argument)});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), c.status);
            const QString said =
                QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
            QVERIFY2(said.contains(QString::fromLatin1(c.says)), qPrintable(said));
            QVERIFY(QDir(work.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
