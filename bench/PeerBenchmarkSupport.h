// What the benchmarks with a peer program share: a console reporter that keeps
// the fastest time of every benchmark, and the command line of the Python peer
// script that times the peer on the same data.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace korvana::bench {

/// Prints as usual and keeps the fastest repetition (or the "min" aggregate)
/// of every benchmark function, in milliseconds: of the time that passed, or
/// with cpuTime of the processor time the benchmark took (which other work on
/// a shared machine leaves nearly alone).
class FastestRunReporter : public benchmark::ConsoleReporter {
 public:
  explicit FastestRunReporter(bool cpuTime = false);
  void ReportRuns(const std::vector<Run>& runs) override;
  /// Milliseconds per run, or NaN when the benchmark did not run.
  double milliseconds(const std::string& name) const;

 private:
  std::map<std::string, double> minimum_;
  bool cpuTime_;
};

/// The text quoted for the shell.
std::string shellQuote(const std::string& text);

/// "python script" quoted for the shell: the interpreter is KORVANA_PYTHON
/// when set, else `defaultPython`.
std::string peerCommand(const std::string& defaultPython, const std::string& script);

/// Runs the peer command and hands every line of its output, but the
/// "versions …" line, to `onLine` (which returns false for a line it does not
/// understand; such lines are echoed to standard error with `name`).
/// Returns the versions text, or why there is none.
std::string runPeer(const std::string& name, const std::string& command,
                    const std::function<bool(const std::string& word, std::istringstream& rest)>& onLine);

}  // namespace korvana::bench
