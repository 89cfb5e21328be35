// A proximity measure offered in the dialog: its display name, its keyword in
// the PROXIMITIES command and the transformations applied to the computed
// values. The instances are shared objects made once by the factory modules
// (IntervalMeasureFactory, CountsMeasureFactory, BinaryMeasureFactory); the
// dialog writes the per-run settings into them before each run, so a measure
// keeps the settings of the last run.
#pragma once

#include <string>

namespace korvana {

class StandardizeMethod;

class Measure {
 public:
  Measure(std::string name, std::string keyword);
  virtual ~Measure();
  Measure(const Measure&) = delete;
  Measure& operator=(const Measure&) = delete;

  /// The measure part of the PROXIMITIES command, given the standardization
  /// of the analysis (which binary measures leave out).
  virtual std::string syntaxText(const StandardizeMethod& standardizeMethod) const = 0;

  const std::string& getName() const { return name_; }
  const std::string& getKeyword() const { return keyword_; }

  void setAbsolute(bool value) { absolute_ = value; }
  void setReverse(bool value) { reverse_ = value; }
  void setRescale(bool value) { rescale_ = value; }
  bool getAbsolute() const { return absolute_; }
  bool getReverse() const { return reverse_; }
  bool getRescale() const { return rescale_; }

 protected:
  /// " ABSOLUTE", " REVERSE", " RESCALE" for the flags that are set, always
  /// in this order (the order in which the package applies them).
  std::string transformationText() const;

 private:
  std::string name_;
  std::string keyword_;
  bool absolute_ = false;
  bool reverse_ = false;
  bool rescale_ = false;
};

}  // namespace korvana
