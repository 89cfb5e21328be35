#include "batch/BatchRequest.h"

#include "analysis/RequestTranslation.h"
#include "analysis/SettingsFile.h"
#include "common/EKorvanaError.h"

namespace korvana {

BatchRequest readBatchRequest(const std::string& settingsPath) {
  SettingsFile settings;
  settings.load(settingsPath);
  SettingsReport report;
  BatchRequest batch;
  batch.request = settings.readRequest(&report);
  for (const SettingsEntry& unknown : report.unknownKeys)
    batch.warnings.push_back("unknown key '" + unknown.key + "' in [" + unknown.section + "] of '" + settingsPath +
                             "' is not used");
  // Positions are checked against their lists only when they read as numbers.
  for (const SettingsEntry& problem : findListPositionProblems(batch.request)) {
    bool listed = false;
    for (const SettingsEntry& known : report.problems) listed = listed || known.key == problem.key;
    if (!listed) report.problems.push_back(problem);
  }
  if (report.problems.empty()) return batch;
  std::string message;
  for (const SettingsEntry& problem : report.problems) {
    if (!message.empty()) message += '\n';
    message += "'" + settingsPath + "': [" + problem.section + "] " + problem.key + "=" + problem.value +
               " cannot be used; allowed: " + problem.allowed;
  }
  throw EKorvanaError(message);
}

}  // namespace korvana
