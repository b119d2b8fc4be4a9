#include "app/shell/CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

#include "config/ProductVersion.h"

namespace {

// What QApplication and its platform plugins take from the command line themselves.
const char* const kQtOptionsWithValue[] = {"platform",      "platformpluginpath",
                                           "platformtheme", "plugin",
                                           "qmljsdebugger", "qwindowgeometry",
                                           "qwindowicon",   "qwindowtitle",
                                           "session",       "display",
                                           "geometry",      "title",
                                           "icon",          "name",
                                           "visual",        "style",
                                           "stylesheet"};
const char* const kQtFlags[] = {"reverse", "testability", "sync",
                                "nograb",  "dograb",      "widgetcount"};

struct Parser {
  QCommandLineParser parser;
  QCommandLineOption version{QStringLiteral("version"),
                             QStringLiteral("Prints the product and version.")};
  QCommandLineOption workdir{QStringLiteral("workdir"),
                             QStringLiteral("Folder with the configuration files (default: "
                                            "~/.config/kalvora)."),
                             QStringLiteral("DIR")};
  Parser() {
    parser.setApplicationDescription(
        QStringLiteral("Imports patient media into DICOM stations; lives in the tray."));
    // Qt's options are written with one dash (-platform xcb).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addOption(version);
    parser.addOption(workdir);
    for (const char* name : kQtOptionsWithValue) addHidden(name, QStringLiteral("value"));
    for (const char* name : kQtFlags) addHidden(name, QString());
  }
  void addHidden(const char* name, const QString& valueName) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), valueName);
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
};

void print(FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

// Qt lists its options only with an application object: one on the offscreen platform, which
// needs no display. process() prints the help and ends the program.
[[noreturn]] void printHelpWithQtOptions(QCommandLineParser& parser) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "kalvora";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  parser.process(QStringList{QStringLiteral("kalvora"), QStringLiteral("--help-all")});
  std::exit(0);
}

}  // namespace

CommandLine readCommandLine(int argc, char** argv) {
  Parser options;
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  CommandLine result;
  if (!options.parser.parse(arguments)) {
    print(stderr,
          QStringLiteral("kalvora: %1\nTry 'kalvora --help'.\n").arg(options.parser.errorText()));
    result.exitStatus = 1;
    return result;
  }
  if (options.parser.isSet(options.version)) {
    std::printf("%s\n", productVersionText().c_str());
    result.exitStatus = 0;
    return result;
  }
  if (options.parser.isSet(QStringLiteral("help-all"))) printHelpWithQtOptions(options.parser);
  if (options.parser.isSet(QStringLiteral("help"))) {
    print(stdout, options.parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                    QStringLiteral("kalvora")));
    result.exitStatus = 0;
    return result;
  }
  if (options.parser.isSet(options.workdir)) {
    // As the command line: the folder must be there; a typo must not make a new one.
    const QString given = options.parser.value(options.workdir);
    const QFileInfo folder(given);
    if (!folder.isDir()) {
      print(stderr, QStringLiteral("kalvora: --workdir: %1: %2\n")
                        .arg(folder.exists() ? QStringLiteral("Not a folder")
                                             : QStringLiteral("Directory does not exist"),
                             given));
      result.exitStatus = 1;
      return result;
    }
    result.workdir = folder.absoluteFilePath();
  }
  return result;
}
