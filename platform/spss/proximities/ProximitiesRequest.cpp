#include "platform/spss/proximities/ProximitiesRequest.h"

#include <array>
#include <cctype>

namespace korvana::spss {

namespace {

bool sameKeyword(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

constexpr std::array<const char*, 7> kStandardizationKeywords = {"NONE", "Z", "RANGE", "RESCALE", "MAX", "MEAN", "SD"};

}  // namespace

const std::vector<MeasureInfo>& allMeasures() {
  using M = ProximityMeasure;
  constexpr auto I = MeasureFamily::interval;
  constexpr auto C = MeasureFamily::counts;
  constexpr auto B = MeasureFamily::binary;
  static const std::vector<MeasureInfo> measures = {
      {M::euclid, "EUCLID", I, false},    {M::seuclid, "SEUCLID", I, false},
      {M::cosine, "COSINE", I, true},     {M::correlation, "CORRELATION", I, true},
      {M::chebychev, "CHEBYCHEV", I, false}, {M::block, "BLOCK", I, false},
      {M::minkowski, "MINKOWSKI", I, false}, {M::power, "POWER", I, false},
      {M::chisq, "CHISQ", C, false},      {M::ph2, "PH2", C, false},
      {M::beuclid, "BEUCLID", B, false},  {M::bseuclid, "BSEUCLID", B, false},
      {M::size, "SIZE", B, false},        {M::pattern, "PATTERN", B, false},
      {M::variance, "VARIANCE", B, false}, {M::disper, "DISPER", B, true},
      {M::bshape, "BSHAPE", B, false},    {M::sm, "SM", B, true},
      {M::phi, "PHI", B, true},           {M::lambda, "LAMBDA", B, true},
      {M::d, "D", B, true},               {M::dice, "DICE", B, true},
      {M::hamann, "HAMANN", B, true},     {M::jaccard, "JACCARD", B, true},
      {M::k1, "K1", B, true},             {M::k2, "K2", B, true},
      {M::blwmn, "BLWMN", B, false},      {M::ochiai, "OCHIAI", B, true},
      {M::rt, "RT", B, true},             {M::rr, "RR", B, true},
      {M::ss1, "SS1", B, true},           {M::ss2, "SS2", B, true},
      {M::ss3, "SS3", B, true},           {M::ss4, "SS4", B, true},
      {M::ss5, "SS5", B, true},           {M::y, "Y", B, true},
      {M::q, "Q", B, true},
  };
  return measures;
}

const MeasureInfo& measureInfo(ProximityMeasure measure) {
  return allMeasures()[static_cast<std::size_t>(measure)];
}

std::optional<ProximityMeasure> findMeasure(std::string_view keyword) {
  for (const MeasureInfo& info : allMeasures())
    if (sameKeyword(keyword, info.keyword)) return info.measure;
  return std::nullopt;
}

const char* standardizationKeyword(Standardization method) {
  return kStandardizationKeywords[static_cast<std::size_t>(method)];
}

std::optional<Standardization> findStandardization(std::string_view keyword) {
  for (std::size_t i = 0; i < kStandardizationKeywords.size(); ++i)
    if (sameKeyword(keyword, kStandardizationKeywords[i])) return static_cast<Standardization>(i);
  return std::nullopt;
}

std::string ProximitiesRequest::measureText() const {
  std::string text = measureInfo(measure).keyword;
  if (measure == ProximityMeasure::minkowski) {
    text += "(" + std::to_string(power) + ")";
  } else if (measure == ProximityMeasure::power) {
    text += "(" + std::to_string(power) + "," + std::to_string(root) + ")";
  } else if (family() == MeasureFamily::binary && binaryParametersGiven) {
    text += "(" + std::to_string(presentValue);
    if (!absentIsEveryOtherValue) text += "," + std::to_string(absentValue);
    text += ")";
  }
  if (absolute) text += " ABSOLUTE";
  if (reverse) text += " REVERSE";
  if (rescale) text += " RESCALE";
  return text;
}

}  // namespace korvana::spss
