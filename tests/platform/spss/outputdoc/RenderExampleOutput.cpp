// Writes the example output document as <stem>.html, <stem>.txt and
// <stem>.json: render-example-output <stem>
#include <gtest/gtest.h>

#include <cstdio>

#include "ExampleOutput.h"
#include "platform/spss/outputdoc/OutputDocument.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output stem>\n", argv[0]);
    return 2;
  }
  auto doc = korvana::spss::OutputDocument::create();
  korvana::spss::example::writeExampleOutput(*doc);
  doc->setSaveLocation(argv[1]);
  std::string reason;
  if (!doc->saveAfterError(&reason)) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    return 1;
  }
  return 0;
}
