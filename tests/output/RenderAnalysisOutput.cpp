// Writes the output of the five tied objects clustered by single linkage (two
// solutions, each with its dendrogram) as <stem>.html, <stem>.txt and
// <stem>.json: render-analysis-output <stem>
#include <cstdio>
#include <exception>

#include "AnalysisOutputExample.h"
#include "engine/ClusterMethodFactory.h"
#include "platform/spss/outputdoc/OutputDocument.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output stem>\n", argv[0]);
    return 2;
  }
  try {
    korvana::ClusterMethodFactory::createClusterMethods();
    auto analysis = korvana::testing::analyzeTiedFiveObjects(*korvana::ClusterMethodFactory::getSingleLinkage());
    auto doc = korvana::spss::OutputDocument::create();
    korvana::testing::writeAnalysisOutput(doc.get(), *analysis, "ties.sav");
    doc->setSaveLocation(argv[1]);
    doc->save();
    korvana::ClusterMethodFactory::destroyClusterMethods();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
