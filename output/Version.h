// The program's fixed identity: version numbers, file names, the mutex names,
// the web address and the legal notice. Every value is a constant of the
// program (not read from the program file) and never changes at run time.
#pragma once

#include <string>

namespace korvana::Version {

inline constexpr int versionMajor = 1;
inline constexpr int versionMinor = 0;
inline constexpr int versionBuild = 39;
inline constexpr const char* versionText = "1.0";

/// The project has no web page of its own, so this is the project's name, not
/// an address: the about box shows it as text, and asking the shell to open
/// it opens nothing.
inline constexpr const char* websiteAddress = "Korvana project";
inline constexpr const char* legalNotice = "Copyright (c) the Korvana developers";

inline constexpr const char* userGuideFileName = "Korvana 1.0 User's Guide.pdf";
inline constexpr const char* settingsFileName = "Korvana.ini";
inline constexpr const char* productName = "Korvana";
/// The host's folder separator.
inline constexpr const char* pathSeparator = "/";

int getVersionMajor();
int getVersionMinor();
int getVersionBuild();
/// "1.0".
std::string getVersionText();
std::string getWebsiteAddress();
std::string getLegalNotice();

/// The folder of the running program file, with its trailing separator;
/// empty when the system does not tell.
std::string getProgramFolder();

/// "file:///" followed by the program folder (its leading "/" is the third
/// slash) and the user guide's file name, unescaped: blanks stay blanks.
std::string getUserGuideUrl();

/// The settings file: the user's application-data folder (XDG_CONFIG_HOME,
/// else $HOME/.config), a separator and "Korvana.ini". Without either
/// variable, the program folder followed by "Korvana.ini".
std::string getSettingsFilePath();
/// Makes the application-data folder where it is missing (each missing
/// folder with mode 0700), so that a first run can save its settings. Throws
/// EKorvanaError naming the folder when it cannot be made.
void createSettingsFolder();

/// The product name, "Korvana".
std::string getMutexName();
/// "Global\" followed by the product name.
std::string getGlobalMutexName();

}  // namespace korvana::Version
