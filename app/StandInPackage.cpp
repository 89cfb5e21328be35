#include "app/StandInPackage.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <filesystem>

#include "output/Version.h"
#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::app {

const char* const standInUsage =
    "Usage: korvana [--output FILE] [DATAFILE]\n"
    "\n"
    "Korvana: hierarchical cluster analysis over random permutations of the objects.\n"
    "The options start the statistics package that Korvana attaches to:\n"
    "\n"
    "  DATAFILE           the data set the package has open (.sav, .por, .dta, .sas7bdat,\n"
    "                     .xpt, .csv); without one Korvana reopens the data set opened\n"
    "                     last, if its file is still there (File > Open Data opens another)\n"
    "  -o, --output FILE  where the package saves its output document after the run\n"
    "                     (HTML; a name ending in .json or .txt gives that rendering);\n"
    "                     default: a time-stamped HTML file in your documents folder\n"
    "      --svg DIR      also save every drawing of the output (trees, curves) as an\n"
    "                     SVG file in DIR (File > Save Drawings as SVG in the dialog)\n"
    "  -h, --help         show this text\n"
    "  -v, --version      show the version\n";

bool parseStandInOptions(const QStringList& arguments, StandInOptions& options, QString* problem) {
  // Parsed before the application object exists, so that --help works
  // without a display; the help text is therefore our own.
  QCommandLineParser parser;
  const QCommandLineOption help({"h", "help"}, "help");
  const QCommandLineOption version({"v", "version"}, "version");
  const QCommandLineOption output({"o", "output"}, "output", "FILE");
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(output);
  const QCommandLineOption svg("svg", "svg", "DIR");
  parser.addOption(svg);
  if (!parser.parse(arguments)) {
    if (problem) *problem = parser.errorText();
    return false;
  }
  if (parser.isSet(help) || parser.isSet(version)) {
    if (parser.isSet(help)) {
      std::fputs(standInUsage, stdout);
    } else {
      std::printf("korvana %s (%d.%d.0.%d)\n", Version::getVersionText().c_str(), Version::getVersionMajor(),
                  Version::getVersionMinor(), Version::getVersionBuild());
    }
    if (problem) problem->clear();
    return false;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) {
    if (problem) *problem = "only one data file can be open: " + positional.join(", ");
    return false;
  }
  options.dataFile = positional.isEmpty() ? std::string() : positional.front().toStdString();
  options.outputFile = parser.value(output).toStdString();
  options.svgFolder = parser.value(svg).toStdString();
  return true;
}

std::string defaultOutputPath(const QDateTime& when) {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  const QString name = "Korvana output " + when.toString("yyyy-MM-dd HH.mm.ss") + ".html";
  return QDir(folder).filePath(name).toStdString();
}

void saveOutputDocument(const spss::OutputDocument& document, const std::string& path) {
  spss::DocumentFiles files;
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension == ".json") {
    files.json = path;
  } else if (extension == ".txt") {
    files.text = path;
  } else {
    files.html = path;
  }
  spss::saveDocument(document.model(), files);
}

}  // namespace korvana::app
