#include "board/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "board/part_records.h"
#include "board/record_layout.h"
#include "util/atomic_file.h"
#include "util/debug_log.h"

namespace korvex {

std::string gszFolderSettings = ".";
std::string gszFolderLTSPICE = kNoPathSelected;

namespace {
std::string SettingsPath(const std::string& folder)
{
    return (folder.empty() ? std::string(".") : folder) + "/" + kSettingsFileName;
}

bool IsRegularFile(const std::string& path, bool executable)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return !executable || ::access(path.c_str(), X_OK) == 0;
}
}  // namespace

std::string ProgramFolder()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<size_t>(n));
    const size_t slash = exe.find_last_of('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash == 0 ? 1 : slash);
}

std::string DefaultLTspicePath(const std::string& programFolder)
{
    if (programFolder.empty()) return kNoPathSelected;
    const std::string sim = programFolder + "/korvex-sim";
    return IsRegularFile(sim, true) && sim.size() < sizeof(Settings::LTspicePath) ? sim : kNoPathSelected;
}

Settings DefaultSettings()
{
    Settings s;
    CopyName(s.LTspicePath, DefaultLTspicePath(ProgramFolder()).c_str());
    return s;
}

int ReadSettingsFile(Settings* settings, const std::string& folder, std::string* reason)
{
    if (settings == nullptr) return -1;
    const std::string path = SettingsPath(folder);
    std::ifstream in(path, std::ios::binary);
    if (!in || !IsRegularFile(path, false)) {
        if (reason != nullptr) *reason = "cannot open " + path;
        return -1;
    }
    std::vector<uint8_t> bytes(kSettingsFileSize);
    in.read(reinterpret_cast<char*>(bytes.data()), kSettingsFileSize);
    const auto got = in.gcount();
    if (got < kSettingsFileSize) {
        if (reason != nullptr)
            *reason = path + " is too short (" + std::to_string(got) + " of " + std::to_string(kSettingsFileSize) +
                      " bytes)";
        return -1;
    }
    DecodeRecord(SettingsLayout(), bytes.data(), bytes.size(), settings);
    return 0;
}

int WriteSettingsFile(const Settings* settings, const std::string& folder, std::string* reason)
{
    if (settings == nullptr) return -1;
    const std::string path = SettingsPath(folder);
    printDebug("Settings %s\r\n", path.c_str());
    uint8_t bytes[kSettingsFileSize];
    EncodeRecord(SettingsLayout(), settings, bytes);
    std::string why;
    if (!korvex::WriteFileAtomically(path, bytes, sizeof bytes, &why)) {
        printDebug("Settings Datei %s konnte nicht angelegt werden", path.c_str());
        if (reason != nullptr) *reason = why;
        return -1;
    }
    return 0;
}

int CheckLTSpicePath(Settings* settings, std::string* message, std::string* caption)
{
    if (settings == nullptr) return -1;
    const std::string path = SettingsPath(gszFolderSettings);
    printDebug("Read Settings %s\r\n", path.c_str());
    std::string reason;
    if (ReadSettingsFile(settings, gszFolderSettings, &reason) == 0) {
        if (IsRegularFile(settings->LTspicePath, false)) {
            printDebug("LTSpice File %s exists\r\n", settings->LTspicePath);
            return 0;
        }
        printDebug("LTSpice File %s does not exist\r\n", settings->LTspicePath);
    } else {
        // A short file counts as missing: the settings in force stay unchanged.
        printDebug("Settings.set %s konnte nicht gefunden werden", path.c_str());
        printDebug(" (%s)\r\n", reason.c_str());
    }
    if (message != nullptr) *message = "Set Correct LTSpice File";
    if (caption != nullptr) *caption = "Error";
    return -1;
}

}  // namespace korvex
