// The statistics package that the desktop program attaches to is started in
// this process, since no package launches the program here. What the package
// has open comes from the command line; these options belong to the
// package, not to Korvana:
//
//     korvana [--output FILE] [DATAFILE]
//
// DATAFILE is opened as the package's data document 0 (.sav, .por, .dta,
// .sas7bdat, .xpt or .csv); without it the package starts with a new, empty
// data set, which the dialog may replace (the data set opened last, File >
// Open Data). After a run the package's output document is saved to FILE
// (HTML; a name ending in .json or .txt gives that rendering instead) or, by
// default, to a time-stamped HTML file in the user's documents folder.
#pragma once

#include <QDateTime>
#include <QStringList>
#include <string>

namespace korvana::spss {
class OutputDocument;
}

namespace korvana::app {

struct StandInOptions {
  std::string dataFile;    // empty: no data document
  std::string outputFile;  // empty: the default output file
  std::string svgFolder;   // empty: the drawings are not saved apart
};

/// Reads the options from the program's arguments (the first is the
/// program). Returns false with a message for the user in *problem (empty
/// after --help or --version, which print their text and want the program to
/// end with status 0).
bool parseStandInOptions(const QStringList& arguments, StandInOptions& options, QString* problem);

/// The default output file: "Korvana output <date> <time>.html" in the
/// user's documents folder (the desktop's documents folder when it exists,
/// else the home folder).
std::string defaultOutputPath(const QDateTime& when);

/// Writes the document to path: HTML, or the JSON or text rendering for a
/// name ending in ".json" or ".txt". Throws EKorvanaError when the file
/// cannot be written.
void saveOutputDocument(const spss::OutputDocument& document, const std::string& path);

}  // namespace korvana::app
