// korvana_proximities_dump DATA CASES VARIABLES SUBCOMMANDS OUT
//
// Reads CASES × VARIABLES raw native doubles (case by case) from DATA, runs
// "PROXIMITIES v1,…,vk SUBCOMMANDS" on them and writes the strict lower
// triangle (1,0), (2,0), (2,1), … of the result to OUT as raw doubles. Used by
// pdist_peer_test.py.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/spss/proximities/ProximitiesComputation.h"
#include "platform/spss/proximities/ProximitiesParser.h"

using namespace korvana::spss;

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s DATA CASES VARIABLES SUBCOMMANDS OUT\n", argv[0]);
    return 2;
  }
  try {
    ProximitiesData data;
    data.caseCount = std::strtoull(argv[2], nullptr, 10);
    data.variableCount = std::strtoull(argv[3], nullptr, 10);
    data.values.resize(data.caseCount * data.variableCount);
    std::ifstream in(argv[1], std::ios::binary);
    in.read(reinterpret_cast<char*>(data.values.data()), static_cast<std::streamsize>(data.values.size() * sizeof(double)));
    if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);

    std::vector<ProximitiesVariable> dictionary;
    std::string command = "PROXIMITIES";
    for (std::size_t v = 0; v < data.variableCount; ++v) {
      dictionary.push_back({"v" + std::to_string(v + 1), true});
      command += (v ? "," : " ") + dictionary.back().name;
    }
    command += std::string(" ") + argv[4] + ".";
    const ProximitiesResult result = computeProximities(ProximitiesParser::parse(command, dictionary), data);

    std::ofstream out(argv[5], std::ios::binary);
    for (std::size_t i = 1; i < result.itemCount(); ++i)
      out.write(reinterpret_cast<const char*>(result.lower.row(static_cast<int>(i))),
                static_cast<std::streamsize>(i * sizeof(double)));
    if (!out) throw std::runtime_error(std::string("cannot write ") + argv[5]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvana_proximities_dump: %s\n", e.what());
    return 1;
  }
  return 0;
}
