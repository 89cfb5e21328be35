#include "PeerBenchmarkSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace korvana::bench {

FastestRunReporter::FastestRunReporter(bool cpuTime)
    : ConsoleReporter(::isatty(::fileno(stdout)) ? OO_ColorTabular : OO_Tabular), cpuTime_(cpuTime) {}

void FastestRunReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    const std::string& name = run.run_name.function_name;
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
      minimum_[name] = cpuTime_ ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
    } else if (run.run_type == Run::RT_Iteration) {
      const auto it = minimum_.find(name);
      const double ms = cpuTime_ ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
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

std::string runPeer(const std::string& name, const std::string& command,
                    const std::function<bool(const std::string& word, std::istringstream& rest)>& onLine) {
  std::fprintf(stderr, "Timing %s: %s\n", name.c_str(), command.c_str());
  std::string versions = name + " did not report";
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "could not start " + command;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word == "versions") {
      versions = std::string(line).substr(9);
      while (!versions.empty() && versions.back() == '\n') versions.pop_back();
    } else if (!onLine(word, in)) {
      std::fprintf(stderr, "%s peer: %s", name.c_str(), line);
    }
  }
  const int status = ::pclose(pipe);
  if (status != 0) versions = name + " peer failed (status " + std::to_string(status) + "): " + versions;
  return versions;
}

}  // namespace korvana::bench
