// Headless Chromium for the tests that look at a rendered page: finding the
// browser, and running it on a page with a profile of its own.
#pragma once

#include <filesystem>
#include <string>

namespace korvana::testing {

/// The Chromium executable, or empty when none is installed.
std::string findChromium();

/// Runs `chromium` headless on the page with the given arguments (for example
/// "--dump-dom") and a fresh profile `profile` under `work`, where its error
/// output goes as well (<profile>.log). Gives up after 90 seconds. Returns
/// the standard output; *status gets the exit status (-1 when it did not exit).
std::string runChromium(const std::string& chromium, const std::filesystem::path& work, const std::string& profile,
                        const std::string& arguments, const std::filesystem::path& page, int* status);

}  // namespace korvana::testing
