// korvana-batch end to end, run as a process: the iris example from the .sav
// and the CSV file, a matrix file made by PSPP, the fit table read back by
// PSPP, the output formats and the text on standard output, the exit
// statuses and messages of bad requests and unreadable files, and Ctrl-C
// during a long run.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/TestFiles.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using korvana::test::readFile;
using korvana::test::writeFile;

const std::string examples = KORVANA_EXAMPLES_DIR;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

bool psppAvailable() { return fs::exists("/usr/bin/pspp") && fs::exists("/usr/bin/pspp-convert"); }

struct Finished {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  bool signaled = false;
  std::string out;
  std::string err;
};

class KorvanaBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvana-batch-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    fs::create_directory(folder_ / "tmp");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  /// Starts korvana-batch with the arguments; standard output and error go
  /// to files, the temporary folder is this test's (or temporaryFolder_),
  /// and the shell's ulimit sets limits_ first when there are any.
  pid_t start(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {KORVANA_BATCH_EXECUTABLE};
    if (!limits_.empty()) words = {"/bin/sh", "-c", "ulimit " + limits_ + " && exec \"$0\" \"$@\"", KORVANA_BATCH_EXECUTABLE};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) {
      const std::string text = *variable;
      if (text.rfind("TMPDIR=", 0) != 0 && text.rfind("TMP=", 0) != 0) variables.push_back(text);
    }
    variables.push_back("TMPDIR=" + (temporaryFolder_.empty() ? (folder_ / "tmp").string() : temporaryFolder_));
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = (folder_ / "stdout").string(), err = (folder_ / "stderr").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // Ctrl-C reaches the child with its default handling, whatever this
    // process does with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0) << "cannot start " << argv[0];
    return error == 0 ? pid : -1;
  }

  Finished wait(pid_t pid, std::chrono::seconds limit = 120s) {
    Finished finished;
    if (pid < 0) return finished;
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "korvana-batch did not finish in time";
        break;
      }
      std::this_thread::sleep_for(10ms);
    }
    if (WIFEXITED(status)) finished.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) {
      finished.status = 128 + WTERMSIG(status);
      finished.signaled = true;
    }
    finished.out = readFile(folder_ / "stdout");
    finished.err = readFile(folder_ / "stderr");
    return finished;
  }

  Finished run(const std::vector<std::string>& arguments) { return wait(start(arguments)); }

  /// The iris example's settings with some keys changed (or added to their
  /// section), written into this test's folder.
  std::string settings(const std::map<std::string, std::string>& changes, const std::string& name = "request.ini") {
    std::string text;
    std::map<std::string, std::string> left = changes;
    for (const std::string& line : lines(readFile(examples + "/iris.ini"))) {
      const std::size_t equals = line.find('=');
      const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
      const auto changed = left.find(key);
      if (changed != left.end()) {
        text += key + "=" + changed->second + "\n";
        left.erase(changed);
      } else {
        text += line + "\n";
      }
    }
    EXPECT_TRUE(left.empty()) << "keys not in the example: " << left.begin()->first;
    writeFile(folder_ / name, text);
    return (folder_ / name).string();
  }

  std::string path(const std::string& name) const { return (folder_ / name).string(); }

  json savedJson(const std::string& stem = "out") const {
    const std::string text = readFile(folder_ / (stem + ".json"));
    if (text.empty()) {
      ADD_FAILURE() << "no " << stem << ".json";
      return json::object({{"items", json::array()}});
    }
    return json::parse(text);
  }

  /// Items of the saved JSON output with the label.
  static std::vector<json> itemsLabelled(const json& document, const std::string& label) {
    std::vector<json> found;
    for (const json& item : document["items"])
      if (item["label"] == label) found.push_back(item);
    return found;
  }
  /// The Notes table's cell in the row labelled `row`.
  static std::string notesCell(const json& document, const std::string& row) {
    for (const json& item : itemsLabelled(document, "Notes")) {
      const json& table = item["table"];
      for (std::size_t r = 0; r < table["rowLabels"].size(); ++r) {
        const json& label = table["rowLabels"][r][1];
        if (label.is_object() && label["text"].get<std::string>().find(row) != std::string::npos)
          return table["cells"][r][0]["value"];
      }
    }
    return "(no such Notes row)";
  }
  /// The outline from the "Korvana" heading on: "level kind label".
  static std::vector<std::string> outline(const json& document) {
    std::vector<std::string> result;
    bool started = false;
    for (const json& item : document["items"]) {
      started = started || (item["kind"] == "heading" && item["label"] == "Korvana");
      if (!started) continue;
      const bool titled = item["kind"] == "title" && item.contains("text") && item["text"] != "";
      result.push_back(std::to_string(item["level"].get<int>()) + " " + item["kind"].get<std::string>() + " " +
                       (titled ? item["text"] : item["label"]).get<std::string>());
    }
    return result;
  }
  static std::string lastMessage(const json& document) {
    const json& last = document["items"].back();
    if (!last.contains("table") || !last["table"].is_object()) return "(no table)";
    return last["table"]["cells"][0][0]["value"];
  }

  std::vector<fs::path> leftInTmp() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder_ / "tmp")) found.push_back(entry.path());
    return found;
  }

  fs::path folder_;
  std::string temporaryFolder_;
  std::string limits_;
};

TEST_F(KorvanaBatch, TheIrisExampleFromDataSavesEveryFormatAndPrintsTheText) {
  const std::string request = settings({{"Number of Permutations", "5"}});
  const Finished done =
      run({"--settings", request, "--data", examples + "/iris.sav", "--output", path("out"), "--format",
           "html,json,text"});
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_NE(done.err.find("Output saved to " + path("out.html")), std::string::npos) << done.err;
  EXPECT_NE(done.err.find("Output saved to " + path("out.json")), std::string::npos) << done.err;
  EXPECT_NE(done.err.find("Output saved to " + path("out.txt")), std::string::npos) << done.err;
  EXPECT_TRUE(leftInTmp().empty()) << "the temporary matrix file is deleted";

  // Standard output carries the text rendering, the same as the text file.
  EXPECT_EQ(done.out, readFile(folder_ / "out.txt"));
  EXPECT_NE(done.out.find("\n# Korvana\n"), std::string::npos);
  EXPECT_NE(done.out.find("\n## Ward Linkage\n"), std::string::npos);
  const std::string html = readFile(folder_ / "out.html");
  EXPECT_NE(html.find("<html"), std::string::npos);
  EXPECT_NE(html.find("Ward Linkage"), std::string::npos);

  const json document = savedJson();
  const std::vector<std::string> shape = outline(document);
  ASSERT_GE(shape.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(shape.begin(), shape.begin() + 9),
            (std::vector<std::string>{"1 heading Korvana", "2 title Korvana", "2 table Credit", "2 table Notes",
                                      "2 heading Ward Linkage", "3 title Ward Linkage", "3 table Start Seed", "3 table Permutation Fit",
                                      shape[8]}));
  EXPECT_EQ(notesCell(document, "N of Rows"), "150");
  EXPECT_EQ(notesCell(document, "Number of Permutations"), "5");
  EXPECT_EQ(notesCell(document, "Start Seed"), "19360101");
  EXPECT_EQ(notesCell(document, "Data"), examples + "/iris.sav");
  EXPECT_EQ(notesCell(document, "Proximities Syntax").rfind("PROXIMITIES sepal_length,sepal_width,petal_length,"
                                                            "petal_width /VIEW=CASE /STANDARDIZE=VARIABLE NONE "
                                                            "/MEASURE=SEUCLID /ID=species /PRINT=NONE /MATRIX=OUT('" +
                                                                (folder_ / "tmp").string() + "/kvana",
                                                            0),
            0u)
      << notesCell(document, "Proximities Syntax");
  // Squared Euclidean distances: no warning; the example asks for no object order.
  EXPECT_TRUE(itemsLabelled(document, "Warning").empty());
  EXPECT_TRUE(itemsLabelled(document, "Object Order").empty());
  const auto fits = itemsLabelled(document, "Permutation Fit");
  ASSERT_EQ(fits.size(), 1u);
  EXPECT_EQ(fits[0]["table"]["rows"], 5);
  // The fit shows the digits it holds, none padded (not 2730.324700).
  EXPECT_EQ(fits[0]["table"]["cells"][0][2]["shown"], "2730.324710836");
  // Every solution has its schedule (149 stages), its dendrogram and the
  // dendrogram drawn.
  const auto schedules = itemsLabelled(document, "Agglomeration Schedule");
  ASSERT_GE(schedules.size(), 1u);
  EXPECT_EQ(schedules.size(), itemsLabelled(document, "Fit").size());
  std::map<std::string, std::size_t> dendrogramKinds;
  for (const json& item : itemsLabelled(document, "Dendrogram")) ++dendrogramKinds[item["kind"].get<std::string>()];
  EXPECT_EQ(dendrogramKinds, (std::map<std::string, std::size_t>{{"graphic", schedules.size()},
                                                                  {"title", schedules.size()}}));
  for (const json& schedule : schedules) EXPECT_EQ(schedule["table"]["rows"], 149);
  EXPECT_EQ(document["items"].back()["kind"], "graphic");
}

TEST_F(KorvanaBatch, TheCsvFileGivesTheSameAnalysisAsTheSavFile) {
  const std::string request = settings({{"Number of Permutations", "4"}, {"Object Order", "1"}});
  Finished done = run({"-s", request, "-d", examples + "/iris.sav", "-o", path("sav"), "-q"});
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(done.out, "") << "--quiet prints nothing";
  done = run({"-s", request, "-d", examples + "/iris.csv", "-o", path("csv"), "-q"});
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_TRUE(leftInTmp().empty());

  // Everything after the Notes table (which names the data file) is the same.
  const auto afterNotes = [](const json& document) {
    std::vector<json> items;
    bool notes = false;
    for (const json& item : document["items"]) {
      if (notes) {
        json copy = item;
        copy.erase("index");
        items.push_back(copy);
      }
      notes = notes || item["label"] == "Notes";
    }
    return items;
  };
  const json fromSav = savedJson("sav"), fromCsv = savedJson("csv");
  EXPECT_EQ(notesCell(fromCsv, "Data"), examples + "/iris.csv");
  EXPECT_EQ(notesCell(fromCsv, "N of Rows"), "150");
  const std::vector<json> sav = afterNotes(fromSav), csv = afterNotes(fromCsv);
  ASSERT_GT(sav.size(), 5u);
  ASSERT_EQ(sav.size(), csv.size());
  for (std::size_t i = 0; i < sav.size(); ++i) EXPECT_EQ(sav[i], csv[i]) << "item " << i << " after the Notes";
  EXPECT_EQ(itemsLabelled(fromCsv, "Object Order").size(), itemsLabelled(fromCsv, "Fit").size());
}

// A CSV file that is not UTF-8 is read as Latin-1, the output says so, and
// its labels travel through the matrix file unharmed.
TEST_F(KorvanaBatch, ACsvFileInLatin1IsReadAsLatin1AndSaysSo) {
  std::string csv = readFile(examples + "/iris.csv");
  csv.replace(csv.find("setosa"), 6, "set\xE9sa");
  writeFile(folder_ / "latin1.csv", csv);
  const std::string request = settings({{"Number of Permutations", "2"}});
  const Finished done = run({"-s", request, "-d", path("latin1.csv"), "-o", path("out"), "-f", "text"});
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_NE(done.out.find("The data file " + path("latin1.csv") +
                          " is not UTF-8 text; it was read as Latin-1 (ISO 8859-1), one character per byte."),
            std::string::npos);
  EXPECT_NE(done.out.find("set\xC3\xA9sa"), std::string::npos) << "the label in the dendrogram";
}

TEST_F(KorvanaBatch, AMatrixFileIsAnalyzedWithoutData) {
  if (!psppAvailable()) GTEST_SKIP() << "PSPP is not installed";
  // Five objects with ties, in the layout of the package's matrix output.
  writeFile(folder_ / "matrix.sps",
            "DATA LIST LIST /ROWTYPE_ (A8) id (A7) CASENO_ (F8.0) VARNAME_ (A8) V1 V2 V3 V4 V5.\n"
            "BEGIN DATA\n"
            "PROX alpha 1 V1 0 1 2 2 3\n"
            "PROX bravo 2 V2 1 0 2 2 3\n"
            "PROX charlie 3 V3 2 2 0 1 2\n"
            "PROX delta 4 V4 2 2 1 0 2\n"
            "PROX echo 5 V5 3 3 2 2 0\n"
            "END DATA.\n"
            "VALUE LABELS ROWTYPE_ 'PROX' 'Dissimilarity: EUCLID'.\n"
            "SAVE OUTFILE='" + path("ties.sav") + "'.\n");
  ASSERT_EQ(std::system(("/usr/bin/pspp -o " + path("pspp.txt") + " " + path("matrix.sps") + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const std::string request = settings({{"Analysis Type", "1"},
                                        {"Matrix Filename", path("ties.sav")},
                                        {"Cluster Method", "2"},
                                        {"Number of Permutations", "6"},
                                        {"Seed", "12345"},
                                        {"Cluster Variables", ""},
                                        {"Label Variable", ""}});
  const Finished done = run({"-s", request, "-o", path("out"), "-f", "json"});
  ASSERT_EQ(done.status, 0) << done.err;
  EXPECT_FALSE(fs::exists(folder_ / "out.html")) << "only the chosen format is saved";
  const json document = savedJson();
  EXPECT_EQ(notesCell(document, "Data"), path("ties.sav"));
  EXPECT_EQ(notesCell(document, "N of Rows"), "5");
  EXPECT_EQ(notesCell(document, "Analysis Type"), "analyze proximities");
  const std::vector<std::string> shape = outline(document);
  ASSERT_GE(shape.size(), 12u);
  EXPECT_EQ(std::vector<std::string>(shape.begin() + 4, shape.begin() + 12),
            (std::vector<std::string>{"2 heading Single Linkage", "3 title Single Linkage", "3 table Start Seed", "3 table Permutation Fit",
                                      "3 heading Multiple Solutions", "4 title Multiple Solutions",
                                      "4 heading Solution 1", "5 title Solution 1"}));
  EXPECT_EQ(itemsLabelled(document, "Fit").size(), 2u);
  EXPECT_NE(done.out.find("  charlie    3   "), std::string::npos) << "the dendrogram labels the objects";
  // Euclidean, not squared: Ward's warning reaches the terminal, in a dry run
  // and in a run; single linkage has none.
  for (const std::vector<std::string>& extra : {std::vector<std::string>{"--dry-run"}, std::vector<std::string>{}}) {
    std::vector<std::string> arguments = {"-s", request, "--method", "ward", "-o", path("ward"), "-f", "json", "-q"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const Finished ward = run(arguments);
    ASSERT_EQ(ward.status, 0) << ward.err;
    EXPECT_NE(ward.err.find("warning: The squared Euclidean interval measure should be used"), std::string::npos)
        << ward.err;
  }
  EXPECT_EQ(done.err.find("warning:"), std::string::npos) << done.err;
}

// A permutation that cannot be clustered (Ward's update leaves the range of
// the search) ends the run with its error in the output and on standard
// error, with several jobs as with one; no fit table is written.
TEST_F(KorvanaBatch, AFailingPermutationEndsTheRunWithItsErrorAndNoFitTable) {
  if (!psppAvailable()) GTEST_SKIP() << "PSPP is not installed";
  writeFile(folder_ / "matrix.sps",
            "DATA LIST LIST /ROWTYPE_ (A8) VARNAME_ (A8) V1 V2 V3.\n"
            "BEGIN DATA\n"
            "PROX V1 0 -9E49 9E49\n"
            "PROX V2 -9E49 0 9E49\n"
            "PROX V3 9E49 9E49 0\n"
            "END DATA.\n"
            "VALUE LABELS ROWTYPE_ 'PROX' 'Dissimilarity: SEUCLID'.\n"
            "SAVE OUTFILE='" + path("far.sav") + "'.\n");
  ASSERT_EQ(std::system(("/usr/bin/pspp -o " + path("pspp.txt") + " " + path("matrix.sps") + " >/dev/null 2>&1")
                            .c_str()),
            0);
  for (const std::string jobs : {"1", "2"}) {
    SCOPED_TRACE("jobs " + jobs);
    const std::string request = settings({{"Analysis Type", "1"},
                                          {"Matrix Filename", path("far.sav")},
                                          {"Number of Permutations", "8"},
                                          {"Save Permutation Fit Table", "1"},
                                          {"Permutation Fit Table Filename", path("fit.sav")},
                                          {"Cluster Variables", ""},
                                          {"Label Variable", ""}});
    const Finished done = run({"-s", request, "-o", path("out"), "-f", "json", "--jobs", jobs});
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.err.find("korvana-batch: No pair of clusters could be merged at stage"), std::string::npos)
        << done.err;
    EXPECT_EQ(lastMessage(savedJson()).rfind("No pair of clusters could be merged at stage", 0), 0u);
    EXPECT_FALSE(fs::exists(folder_ / "fit.sav"));
  }
}

TEST_F(KorvanaBatch, TheSavedFitTableIsReadByPsppAndMatchesThePermutationFitTable) {
  if (!psppAvailable()) GTEST_SKIP() << "PSPP is not installed";
  const std::string request = settings({{"Number of Permutations", "7"},
                                        {"Dendrogram", "0"},
                                        {"Save Permutation Fit Table", "1"},
                                        {"Permutation Fit Table Filename", path("fit")}});
  const Finished done = run({"-s", request, "-d", examples + "/iris.sav", "-o", path("out"), "-q"});
  ASSERT_EQ(done.status, 0) << done.err;
  // ".sav" is added to a name without one.
  ASSERT_TRUE(fs::exists(folder_ / "fit.sav"));
  ASSERT_EQ(std::system(("/usr/bin/pspp-convert " + path("fit.sav") + " " + path("fit.csv") + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const std::vector<std::string> table = lines(readFile(folder_ / "fit.csv"));
  ASSERT_EQ(table.size(), 8u);
  EXPECT_EQ(table[0], "permu,sid,ssdif,nssdif,cophcorr,randseed");

  const json document = savedJson();
  EXPECT_EQ(notesCell(document, "Permutation Fit Table Filename"), path("fit.sav"));
  const auto fits = itemsLabelled(document, "Permutation Fit");
  ASSERT_EQ(fits.size(), 1u);
  const json& cells = fits[0]["table"]["cells"];
  for (std::size_t i = 1; i < table.size(); ++i) {
    SCOPED_TRACE(table[i]);
    std::vector<std::string> fields;
    std::istringstream in(table[i]);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (table[i].back() == ',') fields.push_back("");
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0], std::to_string(i));
    // The same solution id and seed as the output's row; the identity's seed
    // is missing in both.
    EXPECT_EQ(fields[1], cells[i - 1][0]["value"].get<std::string>());
    std::string seed = cells[i - 1][4]["value"];
    seed.erase(0, seed.find_first_not_of(' '));
    EXPECT_EQ(fields[5] == " " ? std::string() : fields[5], seed);
  }
  EXPECT_EQ(cells[0][4]["value"].get<std::string>().find_first_not_of(' '), std::string::npos);
}

// The jobs change nothing but the time: the text output (apart from the
// creation time and the temporary file's name), the fit table, the results
// file and the trees file are the same for any number of them, on the
// tie-rich iris distances, with the hierarchies counted and shown.
TEST_F(KorvanaBatch, AnyNumberOfJobsGivesTheSameOutputAndFitTable) {
  const auto normalized = [](std::string text) {
    const std::size_t created = text.find("Output Created");
    if (created != std::string::npos) text.erase(created, text.find('\n', created) - created);
    for (std::size_t at = text.find("/kvana"); at != std::string::npos; at = text.find("/kvana", at + 1))
      text.replace(at + 6, 6, "XXXXXX");
    return text;
  };
  std::string first, firstTable, firstFiles;
  for (const std::string jobs : {"1", "2", "7"}) {
    SCOPED_TRACE("jobs " + jobs);
    const std::string request = settings({{"Number of Permutations", "40"},
                                          {"Fist Permutation Identity", "0"},
                                          {"Object Order", "1"},
                                          {"Save Permutation Fit Table", "1"},
                                          {"Permutation Fit Table Filename", path("fit.sav")}});
    const Finished done = run({"-s", request, "-d", examples + "/iris.sav", "-o", path("out" + jobs), "-f",
                               "text,results,trees", "--support", "--solutions", "hierarchies", "--jobs", jobs});
    fs::remove(folder_ / "fit.csv");
    ASSERT_EQ(done.status, 0) << done.err;
    const std::string text = normalized(readFile(folder_ / ("out" + jobs + ".txt")));
    EXPECT_EQ(text, normalized(done.out));
    const std::string files = readFile(folder_ / ("out" + jobs + ".results.json")) + readFile(folder_ / ("out" + jobs + ".trees.nwk"));
    ASSERT_EQ(lines(readFile(folder_ / ("out" + jobs + ".trees.nwk"))).size(), 40u) << "a line per permutation";
    std::string table;
    if (psppAvailable()) {
      ASSERT_EQ(std::system(("/usr/bin/pspp-convert " + path("fit.sav") + " " + path("fit.csv") +
                             " >/dev/null 2>&1")
                                .c_str()),
                0);
      table = readFile(folder_ / "fit.csv");
      EXPECT_EQ(lines(table).size(), 41u);
    }
    if (first.empty()) {
      first = text;
      firstTable = table;
      firstFiles = files;
    } else {
      EXPECT_TRUE(text == first) << "the output differs";
      EXPECT_EQ(table, firstTable);
      EXPECT_TRUE(files == firstFiles) << "the results or trees file differs";
    }
  }
}

/// The text output without what changes from run to run: the creation time
/// and the temporary matrix file's name.
std::string comparable(std::string text) {
  const std::size_t created = text.find("Output Created");
  if (created != std::string::npos) text.erase(created, text.find('\n', created) - created);
  for (std::size_t at = text.find("/kvana"); at != std::string::npos; at = text.find("/kvana", at + 1))
    text.replace(at + 6, 6, "XXXXXX");
  return text;
}

// A request by names gives the output of the same request as a settings
// file: every method, a measure of each family with its parameters, a
// standardization by cases, transformations, and a matrix file.
TEST_F(KorvanaBatch, NamedOptionsGiveTheSameOutputAsTheSettingsFile) {
  writeFile(folder_ / "binary.csv",
            "name,a,b,c,d\nw,1,0,1,1\nx,0,0,1,1\ny,1,1,0,0\nz,1,0,0,1\nv,0,1,1,0\nu,1,1,1,0\n");
  const std::string iris = examples + "/iris.sav";
  const std::vector<std::string> common = {"--permutations", "4", "--seed", "11", "--print", "fit,schedule,dendrogram"};
  const std::map<std::string, std::string> commonKeys = {{"Number of Permutations", "4"}, {"Seed", "11"},
                                                         {"Seed Type", "1"}};
  struct Case {
    std::string what;
    std::vector<std::string> options;
    std::map<std::string, std::string> keys;
    std::string data;
  };
  std::vector<Case> cases;
  const char* methods[] = {"average", "within", "single", "complete", "centroid", "median", "ward"};
  for (int m = 0; m < 7; ++m)
    cases.push_back({methods[m],
                     {"--method", methods[m], "--variables", "sepal_length TO petal_width", "--label", "species",
                      "--measure", "seuclid"},
                     {{"Cluster Method", std::to_string(m)}},
                     iris});
  cases.push_back({"minkowski",
                   {"--method", "single", "--variables", "sepal_length,petal_width", "--cluster", "cases", "--measure",
                    "MINKOWSKI", "--power", "3", "--standardize", "z", "--standardize-by", "cases", "--transform",
                    "absolute,rescale", "--label", "species"},
                   {{"Cluster Method", "2"}, {"Cluster Variables", "sepal_length:petal_width"},
                    {"Interval Measure", "6"}, {"Interval Measure Power", "2"}, {"Standardise Method", "1"},
                    {"Standardise View", "0"}, {"Absolute Values", "1"}, {"Rescale", "1"}},
                   iris});
  cases.push_back({"chi-square, variables",
                   {"--method", "complete", "--variables", "sepal_length TO petal_width", "--cluster", "variables",
                    "--measure", "chisq", "--standardize", "range1"},
                   {{"Cluster Method", "3"}, {"Cluster View", "2"}, {"Selected Measure", "1"}, {"Counts Measure", "0"},
                    {"Standardise Method", "3"}, {"Label Variable", ""}},
                   iris});
  cases.push_back({"jaccard",
                   {"--method", "average", "--variables", "a TO d", "--label", "name", "--measure", "Jaccard",
                    "--present", "1", "--absent", "0", "--transform", "reverse"},
                   {{"Cluster Method", "0"}, {"Cluster Variables", "a:b:c:d"}, {"Label Variable", "name"},
                    {"Selected Measure", "2"}, {"Binary Measure", "13"}, {"Binary Measure Present", "1"},
                    {"Binary Measure Absent", "0"}, {"Change Sign", "1"}},
                   path("binary.csv")});
  if (psppAvailable()) {
    writeFile(folder_ / "matrix.sps",
              "DATA LIST LIST /ROWTYPE_ (A8) VARNAME_ (A8) V1 V2 V3 V4.\nBEGIN DATA\n"
              "PROX V1 0 1 2 2\nPROX V2 1 0 2 2\nPROX V3 2 2 0 1\nPROX V4 2 2 1 0\nEND DATA.\n"
              "VALUE LABELS ROWTYPE_ 'PROX' 'Dissimilarity: EUCLID'.\nSAVE OUTFILE='" + path("m.sav") + "'.\n");
    ASSERT_EQ(std::system(("/usr/bin/pspp -o " + path("pspp.txt") + " " + path("matrix.sps") + " >/dev/null 2>&1")
                              .c_str()),
              0);
    cases.push_back({"matrix file",
                     {"--method", "single", "--matrix", path("m.sav")},
                     {{"Cluster Method", "2"}, {"Analysis Type", "1"}, {"Matrix Filename", path("m.sav")},
                      {"Cluster Variables", ""}, {"Label Variable", ""}},
                     ""});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> named = c.options;
    named.insert(named.end(), common.begin(), common.end());
    if (!c.data.empty()) named.insert(named.end(), {"-d", c.data});
    named.insert(named.end(), {"-o", path("named"), "-f", "text", "--jobs", "1"});
    const Finished byName = run(named);
    ASSERT_EQ(byName.status, 0) << byName.err;
    std::map<std::string, std::string> keys = commonKeys;
    keys.insert(c.keys.begin(), c.keys.end());
    std::vector<std::string> bySettingsArguments = {"-s", settings(keys), "-o", path("file"), "-f", "text", "--jobs", "1"};
    if (!c.data.empty()) bySettingsArguments.insert(bySettingsArguments.end(), {"-d", c.data});
    const Finished bySettings = run(bySettingsArguments);
    ASSERT_EQ(bySettings.status, 0) << bySettings.err;
    EXPECT_TRUE(comparable(byName.out) == comparable(bySettings.out)) << "the outputs differ";
  }
}

// Every value an option cannot take is refused with the option, the value
// and what is allowed, one line each, before anything runs.
TEST_F(KorvanaBatch, RejectedOptionValuesNameTheOptionAndWhatIsAllowed) {
  const std::string iris = examples + "/iris.sav";
  const struct {
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {{"--method", "wards"}, "--method: 'wards' cannot be used; allowed: average, within, single, complete, centroid"},
      {{"--permutations", "0"}, "--permutations: '0' cannot be used; allowed: a whole number from 1 to 2147483647"},
      {{"--permutations", "many"}, "--permutations"},
      {{"--seed", "4294967296"}, "--seed: '4294967296' cannot be used; allowed: a whole number from -2147483648"},
      {{"--measure", "euclidean"}, "--measure: 'euclidean' cannot be used; allowed: EUCLID, SEUCLID,"},
      {{"--measure", "seuclid", "--power", "2"}, "--power: '2' cannot be used; allowed: only with MINKOWSKI and POWER"},
      {{"--measure", "minkowski", "--power", "5"}, "--power: '5' cannot be used; allowed: 1, 2, 3 or 4"},
      {{"--measure", "minkowski", "--root", "2"}, "--root: '2' cannot be used; allowed: only with POWER, not MINKOWSKI"},
      {{"--measure", "euclid", "--present", "1"}, "--present: '1' cannot be used; allowed: only with a binary measure"},
      {{"--standardize", "range2"}, "--standardize: 'range2' cannot be used; allowed: NONE, Z, RANGE, RANGE1, MAX"},
      {{"--standardize-by", "rows"}, "--standardize-by: 'rows' cannot be used; allowed: variables, cases"},
      {{"--cluster", "objects"}, "--cluster: 'objects' cannot be used; allowed: cases, variables"},
      {{"--transform", "absolute,square"}, "--transform: 'square' cannot be used; allowed: absolute, reverse"},
      {{"--print", "fit,tree"}, "--print: 'tree' cannot be used; allowed: matrix, fit, order, schedule"},
      {{"--variables", "x9 TO x1"}, "--variables: 'x9 TO x1': the data set has no variable 'x9'"},
      {{"--variables", "petal_width TO sepal_length"},
       "--variables: 'petal_width TO sepal_length': sepal_length comes before petal_width in the data set"},
      {{"--matrix", "m.sav", "--variables", "a,b"}, "--matrix excludes --variables"},
      {{"--identity", "--no-identity"}, "--identity excludes --no-identity"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"-d", iris, "-o", path("out")});
    const Finished done = run(arguments);
    EXPECT_EQ(done.status, 1);
    EXPECT_EQ(done.err.rfind("korvana-batch: ", 0), 0u) << done.err;
    EXPECT_NE(done.err.find(c.message), std::string::npos) << done.err;
    EXPECT_FALSE(fs::exists(folder_ / "out.json"));
  }
}

// --save-settings writes the whole request: read back, it is the same
// request, and with --dry-run nothing else is written.
TEST_F(KorvanaBatch, SavedSettingsReadBackAsTheSameRequest) {
  const std::vector<std::string> request = {"--method", "median", "--permutations", "17", "--seed", "-5",
                                            "--no-identity", "--variables", "sepal_length TO petal_length",
                                            "--measure", "power", "--power", "3", "--root", "2", "--transform",
                                            "reverse", "--print", "order,fit", "--fit-table", path("fit"),
                                            "--support", "--order-free"};
  std::vector<std::string> saving = request;
  saving.insert(saving.end(), {"-d", examples + "/iris.sav", "--save-settings", path("saved.ini"), "--dry-run"});
  const Finished saved = run(saving);
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_TRUE(fs::exists(folder_ / "saved.ini"));
  EXPECT_FALSE(fs::exists(folder_ / "fit.sav"));
  EXPECT_FALSE(fs::exists(folder_ / "korvana-output.json"));
  const std::string text = readFile(folder_ / "saved.ini");
  for (const char* line : {"Cluster Method=5\n", "Number of Permutations=17\n", "Seed=-5\n", "Seed Type=1\n",
                           "Cluster Variables=sepal_length:sepal_width:petal_length\n", "Interval Measure=7\n",
                           "Interval Measure Power=2\n", "Interval Measure Root=1\n", "Change Sign=1\n",
                           "Object Order=1\n", "Dendrogram=0\n", "Save Permutation Fit Table=1\n",
                           "Cluster Support=1\n", "Order Free Tree=1\n", "Fist Permutation Identity=0\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  const Finished reread = run({"-s", path("saved.ini"), "-d", examples + "/iris.sav", "--dry-run"});
  ASSERT_EQ(reread.status, 0) << reread.err;
  EXPECT_EQ(reread.out, saved.out);
  EXPECT_NE(reread.out.find("PROXIMITIES sepal_length,sepal_width,petal_length /VIEW=CASE"), std::string::npos)
      << reread.out;
}

TEST_F(KorvanaBatch, BadRequestsAndUnreadableFilesEndWithAMessageAndStatusOne) {
  struct Case {
    std::string what;
    std::vector<std::string> arguments;
    std::string message;
  };
  writeFile(folder_ / "broken.sav", "this is no data file");
  const std::vector<Case> cases = {
      {"missing settings file",
       {"--settings", path("none.ini"), "--data", examples + "/iris.sav"},
       "--settings: File does not exist: " + path("none.ini") + "\n"},
      {"missing data file",
       {"--settings", settings({}), "--data", path("none.sav")},
       "--data: File does not exist: " + path("none.sav") + "\n"},
      {"no settings file", {"--data", examples + "/iris.sav"},
       "korvana-batch: no request: give a settings file with --settings or the request's options (see --help)\n"},
      {"unknown cluster variable",
       {"-s", settings({{"Cluster Variables", "sepal_length:petal_size:petal_width"}}, "unknown.ini"), "-d",
        examples + "/iris.sav"},
       "korvana-batch: The data set has no numeric variable 'petal_size'\n"},
      {"unknown label variable",
       {"-s", settings({{"Label Variable", "kind"}}, "label.ini"), "-d", examples + "/iris.sav"},
       "korvana-batch: The data set has no string variable 'kind' to label the cases\n"},
      {"unreadable data file",
       {"-s", settings({}), "-d", path("broken.sav")},
       "korvana-batch: The data file " + path("broken.sav") + " could not be read"},
      {"unknown format", {"-s", settings({}), "-d", examples + "/iris.sav", "--format", "pdf"},
       "--format: pdf not in {html,json,text,results,trees}\n"},
      {"unknown option", {"--permutation-count", "5"}, "korvana-batch: The following arguments were not expected: 5 --permutation-count"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-o", path("out")});
    const Finished done = run(arguments);
    EXPECT_EQ(done.status, 1);
    EXPECT_FALSE(done.signaled);
    EXPECT_NE(done.err.find(c.message), std::string::npos) << done.err;
    EXPECT_EQ(done.out.find("# Korvana"), std::string::npos) << "no analysis ran";
  }
}

// A value korvana-batch cannot honour is refused before anything starts: the
// message names the file, the key, the value and what is allowed, and an
// earlier output of the same name stays as it was.
TEST_F(KorvanaBatch, RefusedRequestValuesAreNamedAndLeaveEarlierOutputAlone) {
  struct Case {
    const char* key;
    const char* value;
    const char* allowed;
  };
  const Case cases[] = {
      {"Cluster Method", "42", "allowed: 0 to 6 (0 Between-groups linkage, "},
      {"Number of Permutations", "5x", "allowed: a whole number from 1 to 2147483647"},
      {"Number of Permutations", "0", "allowed: a whole number from 1 to 2147483647"},
      {"Seed", "99999999999", "allowed: a whole number from -2147483648 to 2147483647"},
      {"Interval Measure", "8", "allowed: 0 to 7 (0 Euclidean distance, "},
      {"Dendrogram", "2", "allowed: 0 (no) or 1 (yes)"},
  };
  writeFile(folder_ / "out.json", "an earlier output");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    const std::string request = settings({{c.key, c.value}});
    const Finished done = run({"-s", request, "-d", examples + "/iris.sav", "-o", path("out"), "-f", "json,html"});
    EXPECT_EQ(done.status, 1);
    const std::string expected = "korvana-batch: '" + request + "': [" +
                                 (std::string(c.key) == "Seed" || std::string(c.key) == "Dendrogram" ? "Options"
                                                                                                     : "General") +
                                 "] " + c.key + "=" + c.value + " cannot be used; " + c.allowed;
    EXPECT_NE(done.err.find(expected), std::string::npos) << done.err;
    EXPECT_EQ(readFile(folder_ / "out.json"), "an earlier output");
    EXPECT_FALSE(fs::exists(folder_ / "out.html"));
  }
}

TEST_F(KorvanaBatch, UnknownKeysAreWarnedAboutAndKept) {
  const std::string request = settings({{"Number of Permutations", "2"}});
  writeFile(request, readFile(request) + "Clustr Method=3\n");
  const Finished done = run({"-s", request, "-d", examples + "/iris.sav", "-o", path("out"), "-q"});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_NE(done.err.find("korvana-batch: warning: unknown key 'Clustr Method' in [Options] of '" + request +
                          "' is not used"),
            std::string::npos)
      << done.err;
  EXPECT_NE(readFile(request).find("Clustr Method=3\n"), std::string::npos);
}

// No output may replace an input, however its path is spelled.
TEST_F(KorvanaBatch, OutputsThatAreInputsAreRefused) {
  fs::create_directory(folder_ / "sub");
  fs::copy_file(examples + "/iris.sav", folder_ / "iris.sav");
  const std::string data = path("iris.sav");
  const std::string original = readFile(data);
  struct Case {
    std::string what;
    std::map<std::string, std::string> changes;
    std::string output;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"fit table is the data file",
       {{"Save Permutation Fit Table", "1"}, {"Permutation Fit Table Filename", path("sub/../iris.sav")}},
       path("out"),
       "the fit table, is the data file '" + data + "'"},
      {"output is the settings file", {}, path("sub/../request"), "the JSON output, is the settings file"},
      {"fit table is an output",
       {{"Save Permutation Fit Table", "1"}, {"Permutation Fit Table Filename", path("out.json")}},
       path("out"),
       "would be both the JSON output and the fit table"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string request = settings(c.changes, "request.json");
    const std::string requestText = readFile(request);
    const Finished done = run({"-s", request, "-d", data, "-o", c.output, "-f", "html,json"});
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.err.find(c.message), std::string::npos) << done.err;
    EXPECT_EQ(readFile(data), original);
    EXPECT_EQ(readFile(request), requestText);
  }
}

TEST_F(KorvanaBatch, ARunThatCannotFitInMemoryIsRefusedUpFront) {
  const std::string request = settings({{"Number of Permutations", "2147483647"}});
  const auto started = std::chrono::steady_clock::now();
  const Finished done = run({"-s", request, "-d", examples + "/iris.sav", "-o", path("out")});
  EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
  EXPECT_EQ(done.status, 1);
  EXPECT_NE(done.err.find("korvana-batch: Keeping the fit of 2147483647 permutations needs "), std::string::npos)
      << done.err;
  EXPECT_NE(done.err.find(" permutations fit (more without the permutation fit table in the output)"),
            std::string::npos)
      << done.err;
  EXPECT_FALSE(fs::exists(folder_ / "out.json"));
}

TEST_F(KorvanaBatch, AMatrixThatCannotBeLoadedStopsWithTheErrorTableSaved) {
  const std::string request =
      settings({{"Analysis Type", "1"}, {"Matrix Filename", path("missing.sav")}, {"Cluster Variables", ""}});
  const Finished done = run({"-s", request, "-o", path("out"), "-f", "json"});
  EXPECT_EQ(done.status, 1);
  EXPECT_NE(done.err.find("korvana-batch: the analysis stopped; the output says why"), std::string::npos)
      << done.err;
  const json document = savedJson();
  EXPECT_EQ(outline(document), (std::vector<std::string>{"1 heading Korvana", "2 title Korvana", "2 table Credit",
                                                         "2 table Notes", "2 table Error"}));
  EXPECT_EQ(lastMessage(document),
            "Proximity matrix '" + path("missing.sav") + "' could not be loaded, analysis stopped.");
}

// Ctrl-C, and a polite kill (SIGTERM) alike, cancel the run: the output ends
// with the "Canceled" table and the status tells which signal it was.
TEST_F(KorvanaBatch, CtrlCAndSigtermCancelTheRunAndTheOutputEndsWithTheCanceledTable) {
  for (const int signal : {SIGINT, SIGTERM}) {
  SCOPED_TRACE(signal);
  // Far more permutations than can run before the interrupt.
  const std::string request = settings({{"Number of Permutations", "1000000"}});
  const pid_t pid =
      start({"-s", request, "-d", examples + "/iris.sav", "-o", path("out"), "-f", "json,text,results"});
  ASSERT_GT(pid, 0);
  // The matrix file is reserved in the temporary folder and deleted once it
  // has been read, right before the permutations start. Should a slow
  // machine hide it between two looks, half a minute is surely enough; a
  // second after it is gone the permutations are running even in the
  // ThreadSanitizer build on a loaded machine.
  const auto begun = std::chrono::steady_clock::now();
  bool reserved = false;
  while (std::chrono::steady_clock::now() - begun < 30s) {
    const bool present = !leftInTmp().empty();
    if (reserved && !present) break;
    reserved = reserved || present;
    std::this_thread::sleep_for(2ms);
  }
  std::this_thread::sleep_for(1s);
  ASSERT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "korvana-batch ended before the interrupt";
  ASSERT_EQ(::kill(pid, signal), 0);
  const Finished done = wait(pid, 60s);
  EXPECT_FALSE(done.signaled) << "the signal must not kill the program";
  EXPECT_EQ(done.status, 128 + signal) << done.err;
  EXPECT_TRUE(leftInTmp().empty());
  EXPECT_NE(done.err.find("korvana-batch: the analysis was canceled"), std::string::npos) << done.err;
  const json document = savedJson();
  EXPECT_EQ(outline(document), (std::vector<std::string>{"1 heading Korvana", "2 title Korvana", "2 table Credit",
                                                         "2 table Notes", "2 table Canceled"}));
  EXPECT_EQ(lastMessage(document), "Korvana analysis has been canceled by user.");
  EXPECT_EQ(done.out, readFile(folder_ / "out.txt"));
  // The results file holds the permutations completed, and says so.
  const json results = json::parse(readFile(folder_ / "out.results.json"));
  EXPECT_TRUE(results["canceled"].get<bool>());
  EXPECT_EQ(results["completed"], results["permutations"].size());
  EXPECT_LT(results["completed"].get<int>(), 1000000);
  }
}

TEST_F(KorvanaBatch, TheVersionAndTheHelpAreShownWithoutARun) {
  Finished done = run({"--version"});
  EXPECT_EQ(done.status, 0);
  EXPECT_EQ(done.out.rfind("korvana-batch ", 0), 0u) << done.out;
  EXPECT_NE(done.out.find("(1.0.0."), std::string::npos) << done.out;
  done = run({"--help"});
  EXPECT_EQ(done.status, 0);
  for (const char* option : {"--settings", "--data", "--output", "--format", "--quiet", "--version"})
    EXPECT_NE(done.out.find(option), std::string::npos) << option;
  EXPECT_TRUE(leftInTmp().empty());
  EXPECT_FALSE(fs::exists(folder_ / "korvana-output.html"));
}

// A header is any text, and the temporary folder any name. Named as a
// cluster variable, a label variable or the end of a range, or holding a
// quote, neither adds a command: the file the header names stays as it was,
// and the header as written still names its column.
TEST_F(KorvanaBatch, NamesAndTheTemporaryFolderCannotAddACommand) {
  writeFile(folder_ / "thesis.sav", "precious");
  const std::string tail = ".\nPROXIMITIES a b /PRINT=NONE /MATRIX=OUT('" + path("thesis.sav") + "').\nTITLE";
  const std::string number = "c" + tail, text = "l" + tail;
  std::string csv = "a,b,\"" + number + "\",\"" + text + "\"\n";
  for (int i = 0; i < 6; ++i) csv += std::to_string(i) + "," + std::to_string(i * i % 5) + "," + std::to_string(i % 4) + ",x\n";
  writeFile(folder_ / "headers.csv", csv);
  fs::create_directory(folder_ / "o'brien");
  const std::string made = "c._PROXIMITIES_a_b__PRINT_NONE";
  const struct {
    std::vector<std::string> arguments;
    std::string temporary, command;
  } cases[] = {
      {{"--variables", "a,b," + number}, "", "PROXIMITIES a,b," + made},
      {{"--variables", "a,b", "--label", text}, "", "/ID=l._PROXIMITIES_a_b__PRINT_NONE"},
      {{"--variables", "a TO " + number}, "", "PROXIMITIES a,b," + made},
      {{"--variables", "a,b"}, path("o'brien"), "/MATRIX=OUT('" + path("o''brien") + "/kvana"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    temporaryFolder_ = c.temporary;
    std::vector<std::string> arguments = {"-d", path("headers.csv"), "-p", "3", "-o", path("out"), "-f", "json"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const Finished done = run(arguments);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(readFile(folder_ / "thesis.sav"), "precious");
    const std::string syntax = notesCell(savedJson(), "Proximities Syntax");
    EXPECT_EQ(syntax.find('\n'), std::string::npos) << syntax;
    EXPECT_NE(syntax.find(c.command), std::string::npos) << syntax;
    EXPECT_TRUE(leftInTmp().empty() && (c.temporary.empty() || fs::is_empty(c.temporary)));
  }
}

// What a run cannot do is refused before the package runs anything or a
// file is written, by a dry run as well.
TEST_F(KorvanaBatch, RequestsThatCannotRunAreRefusedBeforeAnythingRunsAlsoInADryRun) {
  const std::string request = settings({{"Number of Permutations", "3"}}), two = "sepal_length,petal_width";
  fs::create_directory(folder_ / "line\nbreak");
  const struct {
    std::vector<std::string> arguments;
    std::string message, temporary;
  } cases[] = {
      {{"--variables", two + ",sepal_length"}, "The cluster variable 'sepal_length' is named twice", ""},
      {{"--variables", two, "--measure", "jaccard", "--present", "2", "--absent", "2"},
       "The binary measure's present and absent values are both 2; they must differ", ""},
      {{"--variables", two, "--label", "kind"}, "The data set has no string variable 'kind' to label", ""},
      {{"--variables", two, "--label", "sepal_width"}, "'sepal_width' is a numeric variable", ""},
      {{"-o", folder_.string()}, "is a folder; give the output's file stem", ""},
      {{"-o", path("new") + "/"}, "'" + path("new") + "/' is a folder", ""},
      {{"-o", path("none/out")}, "the folder '" + path("none") + "' does not exist", ""},
      {{"--newick", request}, "', the Newick folder, is a file, not a folder", ""},
      {{}, "The temporary folder (TMPDIR) '" + path("line break") + "' holds a line break", path("line\nbreak")},
  };
  for (const char* mode : {"--dry-run", "--quiet"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.message + " " + mode);
      temporaryFolder_ = c.temporary;
      std::vector<std::string> arguments = {"-s", request, "-d", examples + "/iris.sav", mode};
      if (std::find(c.arguments.begin(), c.arguments.end(), "-o") == c.arguments.end())
        arguments.insert(arguments.end(), {"-o", path("out")});
      arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
      const Finished done = run(arguments);
      EXPECT_EQ(done.status, 1);
      EXPECT_NE(done.err.find(c.message), std::string::npos) << done.err;
      EXPECT_TRUE(done.out.empty() && !fs::exists(folder_ / "out.json") && leftInTmp().empty());
    }
  }
}

// The Newick folder may not hold an input under a tree's name, and it holds
// this run's trees only: trees an earlier run left beyond them are removed,
// and nothing else in it is touched.
TEST_F(KorvanaBatch, TheNewickFolderHoldsThisRunsTreesAndNoInput) {
  fs::create_directory(folder_ / "trees");
  const std::string inside = settings({{"Number of Permutations", "3"}}, "trees/solution-1.nwk");
  const std::string text = readFile(inside);
  Finished done = run({"-s", inside, "-d", examples + "/iris.sav", "--newick", path("trees"), "-o", path("out")});
  EXPECT_NE(done.err.find("holds the settings file '" + inside + "' under a name its trees are written to"),
            std::string::npos)
      << done.err;
  EXPECT_EQ(readFile(inside), text);
  fs::remove(inside);
  for (int k = 1; k <= 12; ++k) writeFile(folder_ / "trees" / ("solution-" + std::to_string(k) + ".nwk"), "old");
  for (const char* mine : {"notes.txt", "solution-01.nwk"}) writeFile(folder_ / "trees" / mine, "mine");
  const std::string request = settings({{"Number of Permutations", "3"}});
  done = run({"-s", request, "-d", examples + "/iris.sav", "--newick", path("trees"), "-o", path("out"), "-q"});
  ASSERT_EQ(done.status, 0) << done.err;
  const std::size_t kept = json::parse(readFile(folder_ / "out.results.json"))["solutions"].size();
  for (std::size_t k = 1; k <= 12; ++k) {
    const fs::path tree = folder_ / "trees" / ("solution-" + std::to_string(k) + ".nwk");
    EXPECT_TRUE(k <= kept ? fs::exists(tree) && readFile(tree) != "old" : !fs::exists(tree)) << tree;
  }
  for (const char* mine : {"notes.txt", "solution-01.nwk"}) EXPECT_EQ(readFile(folder_ / "trees" / mine), "mine");
}

// A cancellation before the permutations begin (here while the program waits
// for its data) still replaces an earlier run's results with a file that
// says the run was canceled.
TEST_F(KorvanaBatch, ACancelBeforeThePermutationsWritesACanceledResultsFile) {
  writeFile(folder_ / "out.results.json", "{\"from\": \"an earlier, complete run\"}");
  const std::string fifo = path("slow.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t pid = start({"--data", fifo, "--variables", "a,b", "-o", path("out"), "-f", "json,results"});
  const auto handlesSigint = [pid] {
    const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("SigCgt:");
    return at != std::string::npos && (std::stoull(status.substr(at + 7), nullptr, 16) & (1u << (SIGINT - 1))) != 0;
  };
  const auto begun = std::chrono::steady_clock::now();
  while (!handlesSigint() && std::chrono::steady_clock::now() - begun < 20s) std::this_thread::sleep_for(5ms);
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  int writer = -1;
  while ((writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && std::chrono::steady_clock::now() - begun < 30s)
    std::this_thread::sleep_for(5ms);
  ASSERT_GE(writer, 0) << "the program never opened its data";
  const std::string data = "a,b\n1,2\n3,5\n4,4\n";
  EXPECT_EQ(::write(writer, data.data(), data.size()), static_cast<ssize_t>(data.size()));
  ::close(writer);
  const Finished done = wait(pid, 60s);
  EXPECT_EQ(done.status, 130) << done.err;
  const json results = json::parse(readFile(folder_ / "out.results.json"));
  EXPECT_TRUE(results["canceled"].get<bool>() && results["completed"] == 0 && results["permutations"].empty());
  EXPECT_TRUE(leftInTmp().empty());
}

// Renderings that cannot be saved (over the file size limit) are named, every
// one, and no new results file is written beside the earlier ones.
TEST_F(KorvanaBatch, AnOutputNotSavedWholeNamesEveryFileAndWritesNoResults) {
  writeFile(folder_ / "out.results.json", "earlier");
  limits_ = "-f 400";
  const Finished done = run({"-s", settings({}), "-d", examples + "/iris.sav", "-o", path("out"), "-f",
                             "html,json,text,results", "-q"});
  EXPECT_EQ(done.status, 1);
  for (const char* file : {"out.html", "out.json", "out.txt", "out.results.json"})
    EXPECT_NE(done.err.find(path(file) + "'"), std::string::npos) << file << "\n" << done.err;
  EXPECT_EQ(readFile(folder_ / "out.results.json"), "earlier");
}

// What the run can know of its memory (the permutations' records and tallies)
// is refused before it starts; what it cannot (the distinct trees it keeps
// where many fit equally well) ends it saying so, never "Out of memory!".
TEST_F(KorvanaBatch, ARunThatCannotFitInMemoryEndsWithWhatDidNotFit) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer reserves more address space than the limit allows";
#endif
  // The whole run is counted once the package has read the data, while its
  // reading thread may still hold tens of megabytes of address space: the
  // run that outgrows the memory is counted well within the limit.
  limits_ = "-v 170000";
  const std::string request = settings({{"Permutation Fit", "0"}});
  for (const auto& [permutations, message] :
       {std::pair{"50000", "The run of 50000 permutations of 150 objects outgrew the memory"},
        std::pair{"600000", "Keeping the fit of 600000 permutations needs"}}) {
    const Finished done = run({"-s", request, "-d", examples + "/iris.sav", "-p", permutations, "-j", "1", "-o",
                               path("out"), "-f", "json,results", "-q"});
    EXPECT_EQ(done.status, 1);
    EXPECT_NE(done.err.find(message), std::string::npos) << done.err;
    EXPECT_EQ(done.err.find("Out of memory!"), std::string::npos) << done.err;
    EXPECT_FALSE(fs::exists(folder_ / "out.results.json"));
  }
}

// A binary measure that finds neither value in the data leaves every
// proximity missing: the run says so, and which values to check.
TEST_F(KorvanaBatch, MissingProximitiesAreReportedAsMissing) {
  const Finished done =
      run({"-s", settings({}), "-d", examples + "/iris.sav", "--measure", "jaccard", "-o", path("out"), "-f", "json"});
  EXPECT_EQ(done.status, 1);
  EXPECT_NE(done.err.find("The proximity of objects 1 and 2 in '"), std::string::npos) << done.err;
  EXPECT_NE(done.err.find("' is missing; the binary measure JACCARD has no value for a pair whose variables hold "
                          "neither the present value 1 nor the absent value 0"),
            std::string::npos)
      << done.err;
  EXPECT_TRUE(leftInTmp().empty());
}
}  // namespace

// Every kept solution of a tie-rich run comes back, alone, from its Random
// Seed; a run without a seed says on standard error which one the clock gave.
TEST_F(KorvanaBatch, EachKeptSolutionIsReproducedFromItsSeedAlone) {
  const std::vector<std::string> request = {"-d", examples + "/iris.sav", "--variables", "sepal_length TO petal_width",
                                            "--label", "species", "--method", "ward", "-f", "results", "-q"};
  const auto withRequest = [&](std::vector<std::string> options) {
    options.insert(options.end(), request.begin(), request.end());
    return options;
  };
  Finished done = run(withRequest({"--permutations", "8", "-o", path("run")}));
  ASSERT_EQ(done.status, 0) << done.err;
  const json results = json::parse(readFile(folder_ / "run.results.json"));
  const std::string clock = "start seed " + std::to_string(results.at("startSeed").get<long long>()) + ", from the clock";
  EXPECT_NE(done.err.find(clock), std::string::npos) << done.err;
  EXPECT_TRUE(results.at("startSeedFromClock").get<bool>());
  int reproduced = 0;
  for (const json& solution : results.at("solutions")) {
    if (solution.at("seed").is_null()) continue;  // the identity: --permutations 1 clusters it
    const std::string seed = std::to_string(solution.at("seed").get<long long>());
    done = run(withRequest({"--reproduce", seed, "-o", path("one")}));
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(done.err.find("from the clock"), std::string::npos);
    const json one = json::parse(readFile(folder_ / "one.results.json"));
    ASSERT_EQ(one.at("permutations").size(), 1u);
    EXPECT_EQ(one.at("permutations")[0].at("seed").get<long long>(), solution.at("seed").get<long long>());
    EXPECT_EQ(one.at("solutions")[0].at("solution"), solution.at("solution")) << "seed " << seed;
    ++reproduced;
  }
  EXPECT_GE(reproduced, 2) << "Ward on iris keeps several merge orders";
  done = run(withRequest({"--reproduce", "5", "--permutations", "3", "-o", path("refused")}));
  EXPECT_EQ(done.status, 1);
  EXPECT_NE(done.err.find("--reproduce clusters one permutation"), std::string::npos) << done.err;
}

// A .csv fit table holds the results file's numbers exactly (they read back
// to the same doubles); a name in another format is refused before the run.
TEST_F(KorvanaBatch, TheFitTableFormatFollowsItsExtension) {
  const std::vector<std::string> request = {"-d", examples + "/iris.sav", "--variables", "sepal_length TO petal_width",
                                            "--method", "average", "--permutations", "5", "--seed", "3",
                                            "-f", "results", "-o", path("out"), "-q"};
  std::vector<std::string> arguments = request;
  arguments.insert(arguments.end(), {"--fit-table", path("fit.CSV")});
  Finished done = run(arguments);
  ASSERT_EQ(done.status, 0) << done.err;
  const json results = json::parse(readFile(folder_ / "out.results.json"));
  const std::vector<std::string> table = lines(readFile(folder_ / "fit.CSV"));
  ASSERT_EQ(table.size(), 6u);
  EXPECT_EQ(table[0], "permu,sid,ssdif,nssdif,cophcorr,randseed\r");
  for (std::size_t i = 1; i < table.size(); ++i) {
    SCOPED_TRACE(table[i]);
    std::vector<std::string> fields;
    std::istringstream in(table[i].substr(0, table[i].size() - 1));
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (fields.size() == 5) fields.push_back("");
    ASSERT_EQ(fields.size(), 6u);
    const json& permutation = results.at("permutations")[i - 1];
    EXPECT_EQ(fields[1], permutation.at("solution").get<std::string>());
    EXPECT_EQ(std::stod(fields[2]), permutation.at("ssdif").get<double>());
    EXPECT_EQ(std::stod(fields[3]), permutation.at("normalizedSSDif").get<double>());
    EXPECT_EQ(std::stod(fields[4]), permutation.at("copheneticCorrelation").get<double>());
    EXPECT_EQ(fields[5], permutation.at("seed").is_null() ? "" : std::to_string(permutation.at("seed").get<long long>()));
  }
  arguments = request;
  arguments.insert(arguments.end(), {"--fit-table", path("fit.txt")});
  done = run(arguments);
  EXPECT_EQ(done.status, 1);
  EXPECT_NE(done.err.find("'" + path("fit.txt") + "' cannot be saved in that format"), std::string::npos) << done.err;
  EXPECT_FALSE(fs::exists(folder_ / "fit.txt"));
}
