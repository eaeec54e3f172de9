// quillmark [OPTION]... [PHOTO | FOLDER]: the photo viewer. A photo given on the command line is shown; a
// folder fills the thumbnail strip with its JPEG photos.
#include "FileNames.h"
#include "MainView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <QStringList>

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

const char* const kProgram = "quillmark";

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Quillmark shows a photo with what its metadata says: the EXIF, GPS "
                "and maker-note tags,\nthe JPEG comment and the IPTC records. Photos "
                "and folders can also be dropped on its window."));
    // "-foo" is one unknown option, not the three options -f, -o and -o.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("photo|folder"),
        QCoreApplication::translate("main", "A photo to show, or a folder whose JPEG photos fill the "
                                            "thumbnail strip. Further arguments are ignored."),
        QStringLiteral("[PHOTO | FOLDER]"));
}

void SetIdentity() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgram));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
}

// Prints what --version, --help or --help-all asks for and exits; returns when none of them was given.
void Answer(QCommandLineParser& parser, const QString& program, bool withQtOptions) {
    const char* asked = parser.isSet(QStringLiteral("version"))                     ? "--version"
                        : parser.isSet(QStringLiteral("help"))                      ? "--help"
                        : withQtOptions && parser.isSet(QStringLiteral("help-all")) ? "--help-all"
                                                                                    : nullptr;
    if (asked) parser.process(QStringList{program, QString::fromLatin1(asked)});
}

// The options of arguments the parser did not know, as they were typed.
QStringList UnknownOptions(const QCommandLineParser& parser, const QStringList& arguments) {
    const QStringList unknown = parser.unknownOptionNames();
    QStringList typed;
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QStringLiteral("--")) break;
        if (!argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-")) continue;
        const QString option = argument.section(QLatin1Char('='), 0, 0);
        QString name = option;
        while (name.startsWith(QLatin1Char('-')))
            name.remove(0, 1);
        if (unknown.contains(name) && !typed.contains(option)) typed << option;
    }
    return typed;
}

// Says what was wrong with the command line; the exit status of a usage error.
int UsageError(const QCommandLineParser& parser, const QStringList& arguments) {
    const QStringList unknown = UnknownOptions(parser, arguments);
    if (unknown.isEmpty()) std::fprintf(stderr, "%s: %s\n", kProgram, qPrintable(parser.errorText()));
    for (const QString& option : unknown)
        std::fprintf(stderr, "%s: %s\n", kProgram,
                     qPrintable(QCoreApplication::translate("main", "unknown option '%1'").arg(option)));
    std::fprintf(stderr, "%s\n",
                 qPrintable(QCoreApplication::translate("main", "Try '%1 --help' for the options it knows.")
                                .arg(QString::fromLatin1(kProgram))));
    return 2;
}

// The options every Qt program takes (those --help-all lists, and the X11 platform's). The window system
// takes them out of the command line when it starts; only then can the rest be judged.
bool IsQtOption(const QString& name) {
    static const QStringList qtOptions = {
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),
        QStringLiteral("session"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),
        QStringLiteral("qmljsdebugger"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("name"),
        QStringLiteral("title"),
        QStringLiteral("visual"),
        QStringLiteral("ncols"),
        QStringLiteral("cmap"),
        QStringLiteral("im"),
        QStringLiteral("inputstyle"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("font"),
        QStringLiteral("fn"),
        QStringLiteral("background"),
        QStringLiteral("bg"),
        QStringLiteral("foreground"),
        QStringLiteral("fg"),
        QStringLiteral("button"),
        QStringLiteral("btn"),
        QStringLiteral("testability"),
        QStringLiteral("help-all"),
    };
    return qtOptions.contains(name);
}

// --help, --version and options nobody knows are answered before the window system is reached, so that
// they work without a display (over ssh, in a package check), where starting the window system ends the
// program at once. --help-all waits for the window system, whose options it lists. The exit status when
// the program ends here.
std::optional<int> AnswerBeforeTheWindowSystem(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    Describe(parser);
    const bool parsed = parser.parse(arguments);
    if (!parser.isSet(QStringLiteral("version")) && !parser.isSet(QStringLiteral("help"))) {
        if (parsed) return std::nullopt;
        // An option of Qt's own may take a value, which looks like a file name here: with one of them on
        // the line, the line is judged once Qt has taken its own.
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty() || std::any_of(unknown.begin(), unknown.end(), IsQtOption)) return std::nullopt;
        return UsageError(parser, arguments);
    }
    QCoreApplication core(argc, argv);
    SetIdentity();
    Answer(parser, arguments.value(0), false);
    return 0;
}

// Qt's file dialog keeps its history and last folder in a QtProject.conf in the user's configuration
// folder and reads them back in the next run. Quillmark keeps no settings, Qt's included: user settings
// are pointed at a folder that cannot exist, so nothing is read from it or written to it.
void KeepNoSettings() {
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
}

} // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> status = AnswerBeforeTheWindowSystem(argc, argv)) return *status;
    KeepNoSettings();
    // Set before the window system is reached: X11's window class is taken from the name then. Desktops
    // match the window to the installed desktop entry (its name and icon) by these names.
    SetIdentity();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kProgram));
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
    // The window in the user's language where a translation is built in (and Qt's own dialogs in it too).
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QTranslator texts;
    if (texts.load(QLocale(), QStringLiteral("quillmark"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QApplication::installTranslator(&texts);

    QCommandLineParser parser;
    Describe(parser);
    const QStringList arguments = QApplication::arguments();
    if (!parser.parse(arguments)) return UsageError(parser, arguments);
    Answer(parser, arguments.value(0), true);
    quillmark::TViewerWindows windows(quillmark::ArgumentPaths(parser.positionalArguments(), argc, argv));
    windows.Form1().show();
    return QApplication::exec();
}
