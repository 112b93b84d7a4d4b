#pragma once
// "Settings.set": the Settings record as 368 bytes, field by field, in the
// settings folder; and the check of the simulator path.
#include <string>

#include "board/settings.h"

namespace korvex {

constexpr char kSettingsFileName[] = "Settings.set";
constexpr char kNoPathSelected[] = "NoPathSelected";

// Folder of "Settings.set" and "CapStd.csv" (the current directory at start-up,
// or the program's folder when a project was given on the command line).
extern std::string gszFolderSettings;
// The simulator executable the jobs run (copied from LTspicePath).
extern std::string gszFolderLTSPICE;

// Folder of the running program, from /proc/self/exe; empty when unknown.
std::string ProgramFolder();
// "korvex-sim" beside `programFolder` when it is an executable file, else
// "NoPathSelected".
std::string DefaultLTspicePath(const std::string& programFolder);
// The built-in defaults, with LTspicePath as above for the running program.
Settings DefaultSettings();

// Reads folder/Settings.set over *settings. A missing, unreadable or short
// file (fewer than 368 bytes) leaves *settings as it was: -1 with the reason.
int ReadSettingsFile(Settings* settings, const std::string& folder, std::string* reason = nullptr);
// Replaces folder/Settings.set safely with all 368 bytes. 0, or -1 with the
// reason ("Settings Datei %s konnte nicht angelegt werden" on the debug log).
int WriteSettingsFile(const Settings* settings, const std::string& folder, std::string* reason = nullptr);

// Loads gszFolderSettings/Settings.set into *settings and checks that
// LTspicePath names an existing file that is not a folder. 0 when it does;
// otherwise -1 and, for the caller to show, the message "Set Correct LTSpice
// File" with the caption "Error".
int CheckLTSpicePath(Settings* settings, std::string* message = nullptr, std::string* caption = nullptr);

}  // namespace korvex
