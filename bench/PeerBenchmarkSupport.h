// What the benchmarks with a peer program share: a console reporter that keeps
// the fastest time of every benchmark, and the command line of the Python peer
// script that times the peer on the same data.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace korvana::bench {

/// Prints as usual and keeps the fastest repetition (or the "min" aggregate)
/// of every benchmark function, in milliseconds.
class FastestRunReporter : public benchmark::ConsoleReporter {
 public:
  FastestRunReporter();
  void ReportRuns(const std::vector<Run>& runs) override;
  /// Milliseconds per run, or NaN when the benchmark did not run.
  double milliseconds(const std::string& name) const;

 private:
  std::map<std::string, double> minimum_;
};

/// The text quoted for the shell.
std::string shellQuote(const std::string& text);

/// "python script" quoted for the shell: the interpreter is KORVANA_PYTHON
/// when set, else `defaultPython`.
std::string peerCommand(const std::string& defaultPython, const std::string& script);

}  // namespace korvana::bench
