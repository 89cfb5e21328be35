// What one PROXIMITIES command asks for: the variables, the view, the
// standardization, the measure with its parameters and transformations, the ID
// variable, the printing and the matrix file. Filled by ProximitiesParser
// from the command text; the computation (ProximitiesComputation) works from
// it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/EKorvanaError.h"

namespace korvana::spss {

/// A PROXIMITIES command that cannot be run as written, or data it cannot use;
/// the message names the reason (and, for the text, the token and position).
class EProximitiesError : public EKorvanaError {
 public:
  using EKorvanaError::EKorvanaError;
};

/// Which objects the proximities are computed between.
enum class ProximityView { cases, variables };

/// The direction of a standardization: each variable across the cases, or
/// each case across the variables (independent of the view).
enum class StandardizeDirection { byVariable, byCase };

enum class Standardization { none, z, range, rescale, max, mean, sd };

enum class MeasureFamily { interval, counts, binary };

enum class ProximityMeasure {
  // interval
  euclid, seuclid, cosine, correlation, chebychev, block, minkowski, power,
  // counts
  chisq, ph2,
  // binary
  beuclid, bseuclid, size, pattern, variance, disper, bshape, sm, phi, lambda, d, dice, hamann, jaccard,
  k1, k2, blwmn, ochiai, rt, rr, ss1, ss2, ss3, ss4, ss5, y, q
};

struct MeasureInfo {
  ProximityMeasure measure;
  const char* keyword;  // upper case, as in the command
  MeasureFamily family;
  bool isSimilarity;  // the kind of the untransformed values
};

/// Every measure, in the order of the enumeration.
const std::vector<MeasureInfo>& allMeasures();
const MeasureInfo& measureInfo(ProximityMeasure measure);
/// The measure with this keyword (any case), if there is one.
std::optional<ProximityMeasure> findMeasure(std::string_view keyword);

/// The keyword of a standardization method (NONE, Z, RANGE, RESCALE, MAX,
/// MEAN, SD) and the reverse lookup (any case).
const char* standardizationKeyword(Standardization method);
std::optional<Standardization> findStandardization(std::string_view keyword);

struct ProximitiesRequest {
  /// The variables, as the dictionary spells them, and their positions in it.
  std::vector<std::string> variables;
  std::vector<std::size_t> variableIndexes;

  ProximityView view = ProximityView::cases;
  Standardization standardization = Standardization::none;
  StandardizeDirection standardizeBy = StandardizeDirection::byVariable;

  ProximityMeasure measure = ProximityMeasure::euclid;
  /// MINKOWSKI(p) and POWER(p,r); p ≥ 1 and r ≥ 1.
  std::int32_t power = 2;
  std::int32_t root = 2;
  /// Binary measures: the value counted as present and the one counted as
  /// absent; values that are neither leave the position out of a pair's
  /// table. With absentIsEveryOtherValue (the keyword was given the present
  /// value only) every value other than the present one counts as absent.
  std::int32_t presentValue = 1;
  std::int32_t absentValue = 0;
  bool absentIsEveryOtherValue = false;
  /// Whether the binary parameters were written (for the label text).
  bool binaryParametersGiven = false;

  bool absolute = false;
  bool reverse = false;
  bool rescale = false;

  /// The ID variable as the dictionary spells it, and its position.
  std::optional<std::string> idVariable;
  std::optional<std::size_t> idVariableIndex;

  bool printMatrix = true;
  /// The file of /MATRIX=OUT('file'); none without a MATRIX subcommand.
  std::optional<std::string> matrixFile;

  MeasureFamily family() const { return measureInfo(measure).family; }
  /// The kind of the resulting values: the measure's kind, turned round by
  /// REVERSE.
  bool isDissimilarity() const { return measureInfo(measure).isSimilarity == reverse; }
  /// The measure as written: keyword, parameters, transformations, for
  /// example "MINKOWSKI(3) ABSOLUTE" or "JACCARD(1,0) REVERSE RESCALE".
  std::string measureText() const;
};

}  // namespace korvana::spss
