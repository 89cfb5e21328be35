#include "PeerBenchmarkSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace korvana::bench {

FastestRunReporter::FastestRunReporter()
    : ConsoleReporter(::isatty(::fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

void FastestRunReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    const std::string& name = run.run_name.function_name;
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
      minimum_[name] = run.GetAdjustedRealTime();
    } else if (run.run_type == Run::RT_Iteration) {
      const auto it = minimum_.find(name);
      const double ms = run.GetAdjustedRealTime();
      if (it == minimum_.end() || ms < it->second) minimum_[name] = ms;
    }
  }
  ConsoleReporter::ReportRuns(runs);
}

double FastestRunReporter::milliseconds(const std::string& name) const {
  const auto it = minimum_.find(name);
  return it == minimum_.end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
}

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

std::string peerCommand(const std::string& defaultPython, const std::string& script) {
  const char* pythonOverride = std::getenv("KORVANA_PYTHON");
  const std::string python = pythonOverride && *pythonOverride ? pythonOverride : defaultPython;
  return shellQuote(python) + " " + shellQuote(script);
}

}  // namespace korvana::bench
