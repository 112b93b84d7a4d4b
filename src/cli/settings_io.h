#pragma once
// The settings file the command line works with: "Settings.set" in the work
// folder, or any file given with --settings. A file that is there but
// malformed (short, or with implausible values) is reported with a warning and
// the defaults are used; it is never taken silently.
#include <string>

#include "board/settings.h"

namespace korvex::cli {

// FILE when given, else FOLDER/Settings.set.
std::string SettingsPath(const std::string& file, const std::string& folder);

// Fills *settings with the defaults, then with the file at PATH when it is
// there and well-formed. A missing file is an error only when REQUIRED (an
// explicit --settings): false with the reason.
bool LoadSettings(const std::string& path, bool required, Settings* settings, std::string* why);

// The 368 bytes, read and checked; false with the reason (missing, short, implausible).
bool ReadSettingsPath(const std::string& path, Settings* settings, std::string* why);

// Replaces PATH atomically with the record; false with the reason.
bool WriteSettingsPath(const std::string& path, const Settings& settings, std::string* why);

}  // namespace korvex::cli
