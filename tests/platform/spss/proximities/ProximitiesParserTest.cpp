// Reading the PROXIMITIES command text: what Korvana writes, the variations
// the package allows, and the rejections.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/spss/proximities/ProximitiesParser.h"

namespace korvana::spss {
namespace {

const std::vector<ProximitiesVariable> kDictionary = {
    {"a", true}, {"B", true}, {"Income.2", true}, {"id", false}, {"name", false}, {"c", true}};

ProximitiesRequest parse(const std::string& text) { return ProximitiesParser::parse(text, kDictionary); }

/// The message of the rejection of `text` (empty when it was accepted).
std::string rejection(const std::string& text) {
  try {
    parse(text);
  } catch (const EProximitiesError& e) {
    return e.what();
  }
  return {};
}

TEST(ProximitiesParser, CommandsAsKorvanaWritesThem) {
  const ProximitiesRequest cases = parse(
      "PROXIMITIES a,B,c /VIEW=CASE /STANDARDIZE=VARIABLE Z /MEASURE=SEUCLID /ID=id /PRINT=NONE "
      "/MATRIX=OUT('C:\\TEMP\\kvana0').");
  EXPECT_EQ(cases.variables, (std::vector<std::string>{"a", "B", "c"}));
  EXPECT_EQ(cases.variableIndexes, (std::vector<std::size_t>{0, 1, 5}));
  EXPECT_EQ(cases.view, ProximityView::cases);
  EXPECT_EQ(cases.standardization, Standardization::z);
  EXPECT_EQ(cases.standardizeBy, StandardizeDirection::byVariable);
  EXPECT_EQ(cases.measure, ProximityMeasure::seuclid);
  EXPECT_EQ(cases.idVariable, "id");
  EXPECT_EQ(cases.idVariableIndex, 3u);
  EXPECT_FALSE(cases.printMatrix);
  EXPECT_EQ(cases.matrixFile, "C:\\TEMP\\kvana0");
  EXPECT_TRUE(cases.isDissimilarity());

  const ProximitiesRequest variables = parse(
      "PROXIMITIES a,B,c /VIEW=VARIABLE /MEASURE=BSEUCLID(1,0) /PRINT=PROXIMITIES /MATRIX=OUT('C:\\TEMP\\kvana0').");
  EXPECT_EQ(variables.view, ProximityView::variables);
  EXPECT_EQ(variables.measure, ProximityMeasure::bseuclid);
  EXPECT_EQ(variables.presentValue, 1);
  EXPECT_EQ(variables.absentValue, 0);
  EXPECT_FALSE(variables.absentIsEveryOtherValue);
  EXPECT_EQ(variables.standardization, Standardization::none);
  EXPECT_TRUE(variables.printMatrix);
  EXPECT_FALSE(variables.idVariable.has_value());

  const ProximitiesRequest one = parse(
      "PROXIMITIES a /VIEW=CASE /STANDARDIZE=CASE RANGE /MEASURE=POWER(3,1) ABSOLUTE REVERSE RESCALE /PRINT=NONE "
      "/MATRIX=OUT('/tmp/kvanaXYZ')");
  EXPECT_EQ(one.variables, std::vector<std::string>{"a"});
  EXPECT_EQ(one.standardizeBy, StandardizeDirection::byCase);
  EXPECT_EQ(one.standardization, Standardization::range);
  EXPECT_EQ(one.power, 3);
  EXPECT_EQ(one.root, 1);
  EXPECT_TRUE(one.absolute && one.reverse && one.rescale);
  EXPECT_EQ(one.measureText(), "POWER(3,1) ABSOLUTE REVERSE RESCALE");
  EXPECT_EQ(parse("PROXIMITIES a /MEASURE=JACCARD(-1,0)").presentValue, -1);
}

TEST(ProximitiesParser, AnyCaseAnyOrderAndThePackagesLiberties) {
  const ProximitiesRequest request = parse(
      "proximities  A b , INCOME.2\n /matrix out ( 'x.sav' ) /Measure = minkowski( 4 ) rescale absolute "
      "/standardize=case /id Name /view variable");
  EXPECT_EQ(request.variables, (std::vector<std::string>{"a", "B", "Income.2"}));  // the dictionary's spelling
  EXPECT_EQ(request.matrixFile, "x.sav");
  EXPECT_EQ(request.measure, ProximityMeasure::minkowski);
  EXPECT_EQ(request.power, 4);
  EXPECT_TRUE(request.absolute && request.rescale && !request.reverse);
  EXPECT_EQ(request.standardization, Standardization::z);  // no method: Z
  EXPECT_EQ(request.standardizeBy, StandardizeDirection::byCase);
  EXPECT_EQ(request.idVariable, "name");
  EXPECT_EQ(request.view, ProximityView::variables);

  const ProximitiesRequest defaults = parse("PROXIMITIES c");
  EXPECT_EQ(defaults.view, ProximityView::cases);
  EXPECT_EQ(defaults.measure, ProximityMeasure::euclid);
  EXPECT_EQ(defaults.standardization, Standardization::none);
  EXPECT_TRUE(defaults.printMatrix);
  EXPECT_FALSE(defaults.matrixFile.has_value());

  EXPECT_EQ(parse("PROXIMITIES a /STANDARDIZE=MAX").standardizeBy, StandardizeDirection::byVariable);
  EXPECT_EQ(parse("PROXIMITIES a /STANDARDIZE").standardization, Standardization::z);
}

TEST(ProximitiesParser, BinaryParameters) {
  const ProximitiesRequest none = parse("PROXIMITIES a /MEASURE=JACCARD");
  EXPECT_EQ(none.presentValue, 1);
  EXPECT_EQ(none.absentValue, 0);
  EXPECT_FALSE(none.absentIsEveryOtherValue);
  EXPECT_EQ(none.measureText(), "JACCARD");
  const ProximitiesRequest presentOnly = parse("PROXIMITIES a /MEASURE=SM(2)");
  EXPECT_EQ(presentOnly.presentValue, 2);
  EXPECT_TRUE(presentOnly.absentIsEveryOtherValue);
  EXPECT_EQ(presentOnly.measureText(), "SM(2)");
  const ProximitiesRequest both = parse("PROXIMITIES a /MEASURE=Q(+3,-2) REVERSE");
  EXPECT_EQ(both.presentValue, 3);
  EXPECT_EQ(both.absentValue, -2);
  EXPECT_EQ(both.measureText(), "Q(3,-2) REVERSE");
  EXPECT_TRUE(both.isDissimilarity());
}

TEST(ProximitiesParser, FileNamesWithQuotesAsKorvanaWritesThem) {
  EXPECT_EQ(parse("PROXIMITIES a /MATRIX=OUT('C:\\Users\\o''brien\\kvana1').").matrixFile, "C:\\Users\\o'brien\\kvana1");
  EXPECT_EQ(parse("PROXIMITIES a /MATRIX=OUT('it''''s')").matrixFile, "it''s");
  EXPECT_EQ(parse("PROXIMITIES a /MATRIX=OUT('a'') b') /PRINT=NONE").matrixFile, "a') b");
  // An undoubled quote ends the name: what follows cannot pass for more of it.
  EXPECT_THROW(parse("PROXIMITIES a /MATRIX=OUT('a') b') /PRINT=NONE"), EProximitiesError);
  EXPECT_EQ(parse("PROXIMITIES a /MATRIX=OUT(\"say 'x'\") /VIEW=CASE").matrixFile, "say 'x'");
  EXPECT_EQ(parse("PROXIMITIES a /MATRIX=OUT('/tmp/x.y').  ").matrixFile, "/tmp/x.y");
}

TEST(ProximitiesParser, RejectionsNameTheTokenAndItsPosition) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"PROXIMITY a", "\"PROXIMITY\" at position 1"},
      {"PROXIMITIES zz", "no variable \"zz\" at position 13"},
      {"PROXIMITIES a,name", "string variable: \"name\" at position 15"},
      {"PROXIMITIES a,A", "twice: \"A\" at position 15"},
      {"PROXIMITIES /VIEW=CASE", "variable list instead of \"/\" at position 13"},
      {"PROXIMITIES ,a", "\",\" at position 13"},
      {"PROXIMITIES a, /VIEW=CASE", "\"/\" at position 16"},
      {"PROXIMITIES a /FOO=1", "unknown subcommand \"FOO\" at position 16"},
      {"PROXIMITIES a /VIEW=ITEMS", "\"ITEMS\" at position 21"},
      {"PROXIMITIES a /VIEW=CASE CASE", "does not take \"CASE\" at position 26"},
      {"PROXIMITIES a /VIEW=CASE /VIEW=CASE", "twice: \"VIEW\" at position 27"},
      {"PROXIMITIES a /STANDARDIZE=VARIABLE LOG", "unknown standardization method \"LOG\" at position 37"},
      {"PROXIMITIES a /MEASURE=SQUARED", "unknown measure \"SQUARED\" at position 24"},
      {"PROXIMITIES a /MEASURE=SEUCLID(2)", "no parameters: \"SEUCLID\" at position 24"},
      {"PROXIMITIES a /MEASURE=MINKOWSKI", "one parameter (power): \"MINKOWSKI\" at position 24"},
      {"PROXIMITIES a /MEASURE=POWER(2)", "two parameters (power,root): \"POWER\""},
      {"PROXIMITIES a /MEASURE=MINKOWSKI(0)", "at least 1"},
      {"PROXIMITIES a /MEASURE=MINKOWSKI(2.5)", "whole number instead of \"2.5\" at position 34"},
      {"PROXIMITIES a /MEASURE=JACCARD(1,0,2)", "at most two parameters"},
      {"PROXIMITIES a /MEASURE=JACCARD(1,1)", "must differ"},
      {"PROXIMITIES a /MEASURE=SEUCLID SQUARE", "unknown transformation \"SQUARE\" at position 32"},
      {"PROXIMITIES a /STANDARDIZE=VARIABLE Z /MEASURE=JACCARD(1,0)",
       "binary measure JACCARD; the subcommand \"STANDARDIZE\" at position 16"},
      {"PROXIMITIES a /ID=nobody", "no ID variable \"nobody\" at position 19"},
      {"PROXIMITIES a /PRINT=ALL", "\"ALL\" at position 22"},
      {"PROXIMITIES a /MATRIX=IN('x')", "only OUT('file'), not \"IN\" at position 23"},
      {"PROXIMITIES a /MATRIX=OUT(*)", "quoted file name, not \"*\" at position 27"},
      {"PROXIMITIES a /MATRIX=OUT('x'", "no closing quote"},
      {"PROXIMITIES a /MATRIX=OUT('')", "empty"},
      {"PROXIMITIES a /MEASURE=", "the end of the command (position 24)"},
      {"PROXIMITIES a VIEW=CASE", "no variable \"VIEW\" at position 15"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string message = rejection(text);
    EXPECT_NE(message.find(expected), std::string::npos) << text << "\n  gave: " << message;
    EXPECT_EQ(message.rfind("PROXIMITIES: ", 0), 0u) << message;
  }
}

}  // namespace
}  // namespace korvana::spss
