#include "platform/spss/ReadStatDataSetReader.h"

#include <readstat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "common/EKorvanaError.h"
#include "platform/spss/PortableFileSource.h"

namespace korvana::spss {

namespace {

struct ParseState {
  DataSet dataSet;
  std::vector<std::string> labelSetOfVariable;
  std::map<std::string, std::int32_t> labelSetSizes;
  std::vector<bool> widthFromValues;
  std::string failure;
  long declaredCases = -1;  // as the file's header gives it; -1 when it does not
};

std::string view(const char* text) { return text ? std::string(text) : std::string(); }

std::int32_t measurementLevel(readstat_measure_t measure, bool numeric) {
  switch (measure) {
    case READSTAT_MEASURE_NOMINAL:
      return measurementNominal;
    case READSTAT_MEASURE_ORDINAL:
      return measurementOrdinal;
    case READSTAT_MEASURE_SCALE:
      return measurementScale;
    default:
      return numeric ? measurementScale : measurementNominal;
  }
}

std::string trimmedString(const char* text) {
  std::string value = view(text);
  const std::size_t end = value.find_last_not_of(' ');
  value.erase(end == std::string::npos ? 0 : end + 1);
  return value;
}

/// A numeric value of any of ReadStat's numeric types, as a double.
double asDouble(readstat_value_t value) {
  switch (readstat_value_type(value)) {
    case READSTAT_TYPE_INT8:
      return readstat_int8_value(value);
    case READSTAT_TYPE_INT16:
      return readstat_int16_value(value);
    case READSTAT_TYPE_INT32:
      return readstat_int32_value(value);
    case READSTAT_TYPE_FLOAT:
      return static_cast<double>(readstat_float_value(value));
    default:
      return readstat_double_value(value);
  }
}

// The user-missing values the file declares: a range whose ends are equal is
// a single value.
MissingValues missingValuesOf(const readstat_variable_t* variable, bool numeric) {
  MissingValues missing;
  const int count = readstat_variable_get_missing_ranges_count(variable);
  for (int i = 0; i < count; ++i) {
    const readstat_value_t low = readstat_variable_get_missing_range_lo(variable, i);
    const readstat_value_t high = readstat_variable_get_missing_range_hi(variable, i);
    if (!numeric) {
      if (readstat_value_type(low) == READSTAT_TYPE_STRING)
        missing.strings.push_back(trimmedString(readstat_string_value(low)));
      continue;
    }
    if (readstat_value_type(low) == READSTAT_TYPE_STRING) continue;
    const double lowValue = asDouble(low);
    const double highValue = asDouble(high);
    if (std::isnan(lowValue) || std::isnan(highValue)) continue;
    if (lowValue == highValue)
      missing.values.push_back(lowValue);
    else
      missing.ranges.push_back({lowValue, highValue});
  }
  return missing;
}

int onVariable(int index, readstat_variable_t* variable, const char* labelSet, void* context) {
  auto& state = *static_cast<ParseState*>(context);
  try {
    DataVariable entry;
    entry.name = view(readstat_variable_get_name(variable));
    entry.label = view(readstat_variable_get_label(variable));
    const bool numeric = readstat_variable_get_type_class(variable) == READSTAT_TYPE_CLASS_NUMERIC;
    bool widthFromValues = false;
    if (!numeric) {
      const std::size_t stored = readstat_variable_get_storage_width(variable);
      widthFromValues = stored == 0;
      entry.type = static_cast<std::int32_t>(std::min<std::size_t>(std::max<std::size_t>(stored, 1), 32767));
    }
    entry.measurementLevel = measurementLevel(readstat_variable_get_measure(variable), numeric);
    entry.missingValues = missingValuesOf(variable, numeric);
    if (static_cast<std::size_t>(index) != state.dataSet.variableCount()) {
      state.failure = "its variables are out of order";
      return READSTAT_HANDLER_ABORT;
    }
    state.dataSet.addVariable(std::move(entry));
    state.labelSetOfVariable.push_back(view(labelSet));
    state.widthFromValues.push_back(widthFromValues);
    return READSTAT_HANDLER_OK;
  } catch (const std::exception& error) {
    state.failure = error.what();
    return READSTAT_HANDLER_ABORT;
  }
}

int onMetadata(readstat_metadata_t* metadata, void* context) {
  static_cast<ParseState*>(context)->declaredCases = readstat_get_row_count(metadata);
  return READSTAT_HANDLER_OK;
}

int onWeight(readstat_variable_t* variable, void* context) {
  auto& state = *static_cast<ParseState*>(context);
  state.dataSet.setWeightVariable(view(readstat_variable_get_name(variable)));
  return READSTAT_HANDLER_OK;
}

int onValueLabel(const char* labelSet, readstat_value_t, const char*, void* context) {
  auto& state = *static_cast<ParseState*>(context);
  ++state.labelSetSizes[view(labelSet)];
  return READSTAT_HANDLER_OK;
}

double numericValue(readstat_value_t value) {
  if (readstat_value_is_system_missing(value) || readstat_value_is_tagged_missing(value))
    return std::numeric_limits<double>::quiet_NaN();
  return asDouble(value);
}

int onValue(int row, readstat_variable_t* variable, readstat_value_t value, void* context) {
  auto& state = *static_cast<ParseState*>(context);
  try {
    DataSet& data = state.dataSet;
    const auto caseIndex = static_cast<std::size_t>(row);
    while (data.caseCount() <= caseIndex) data.addCase();
    const auto index = static_cast<std::size_t>(readstat_variable_get_index(variable));
    if (data.variable(index).isNumeric()) {
      data.setNumeric(caseIndex, index, numericValue(value));
    } else {
      std::string text = view(readstat_string_value(value));
      const std::size_t trimmed = text.find_last_not_of(' ');
      text.erase(trimmed == std::string::npos ? 0 : trimmed + 1);
      if (state.widthFromValues[index])
        data.variable(index).type = std::max(data.variable(index).type, static_cast<std::int32_t>(text.size()));
      data.setString(caseIndex, index, std::move(text));
    }
    return READSTAT_HANDLER_OK;
  } catch (const std::exception& error) {
    state.failure = error.what();
    return READSTAT_HANDLER_ABORT;
  }
}

}  // namespace

bool ReadStatDataSetReader::formatForExtension(const std::string& extension, Format& format) {
  std::string lower;
  for (char c : extension) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (!lower.empty() && lower.front() == '.') lower.erase(0, 1);
  static const std::map<std::string, Format> formats = {
      {"sav", Format::sav}, {"zsav", Format::sav}, {"por", Format::por},     {"dta", Format::dta},
      {"sas7bdat", Format::sas7bdat}, {"xpt", Format::xpt}};
  const auto found = formats.find(lower);
  if (found == formats.end()) return false;
  format = found->second;
  return true;
}

DataSet ReadStatDataSetReader::read(const std::string& path, Format format, Content content) {
  std::unique_ptr<readstat_parser_t, void (*)(readstat_parser_t*)> parser(readstat_parser_init(),
                                                                          readstat_parser_free);
  if (!parser) throw EKorvanaError("Not enough memory to read the data file " + path);
  ParseState state;
  readstat_set_metadata_handler(parser.get(), onMetadata);
  readstat_set_variable_handler(parser.get(), onVariable);
  readstat_set_fweight_handler(parser.get(), onWeight);
  readstat_set_value_label_handler(parser.get(), onValueLabel);
  if (content == Content::everything) readstat_set_value_handler(parser.get(), onValue);

  readstat_error_t error = READSTAT_OK;
  switch (format) {
    case Format::sav:
      error = readstat_parse_sav(parser.get(), path.c_str(), &state);
      break;
    case Format::por: {
      PortableFileSource source(path);
      source.attachTo(parser.get());
      error = readstat_parse_por(parser.get(), path.c_str(), &state);
      break;
    }
    case Format::dta:
      error = readstat_parse_dta(parser.get(), path.c_str(), &state);
      break;
    case Format::sas7bdat:
      error = readstat_parse_sas7bdat(parser.get(), path.c_str(), &state);
      break;
    case Format::xpt:
      error = readstat_parse_xport(parser.get(), path.c_str(), &state);
      break;
  }
  if (error != READSTAT_OK) {
    const std::string reason = state.failure.empty() ? view(readstat_error_message(error)) : state.failure;
    throw EKorvanaError("The data file " + path + " could not be read: " + reason);
  }

  DataSet& data = state.dataSet;
  if (content == Content::everything && data.variableCount() > 0 && state.declaredCases >= 0 &&
      data.caseCount() != static_cast<std::size_t>(state.declaredCases))
    throw EKorvanaError("The data file " + path + " could not be read: it ends after " +
                        std::to_string(data.caseCount()) + " of the " + std::to_string(state.declaredCases) +
                        " cases its header declares");
  for (std::size_t i = 0; i < data.variableCount(); ++i) {
    const auto found = state.labelSetSizes.find(state.labelSetOfVariable[i]);
    if (!state.labelSetOfVariable[i].empty() && found != state.labelSetSizes.end())
      data.variable(i).valueLabelCount = found->second;
  }
  return std::move(state.dataSet);
}

}  // namespace korvana::spss
