#include "settings_io.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "board/record_layout.h"
#include "jobs/settings_check.h"
#include "board/settings_file.h"
#include "util/atomic_file.h"

namespace fs = std::filesystem;

namespace korvex::cli {

std::string SettingsPath(const std::string& file, const std::string& folder)
{
    if (!file.empty()) return file;
    return (fs::path(folder.empty() ? "." : folder) / kSettingsFileName).string();
}

bool ReadSettingsPath(const std::string& path, Settings* settings, std::string* why)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        *why = "settings file " + path + " does not exist";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(kSettingsFileSize);
    in.read(reinterpret_cast<char*>(bytes.data()), kSettingsFileSize);
    if (!in || in.gcount() != kSettingsFileSize) {
        *why = path + " is too short (" + std::to_string(in.gcount()) + " of " + std::to_string(kSettingsFileSize) +
               " bytes)";
        return false;
    }
    Settings read = *settings;
    DecodeRecord(SettingsLayout(), bytes.data(), bytes.size(), &read);
    if (std::string bad = CheckSettings(read); !bad.empty()) {
        *why = path + " is malformed: " + bad;
        return false;
    }
    *settings = read;
    return true;
}

bool LoadSettings(const std::string& path, bool required, Settings* settings, std::string* why)
{
    *settings = DefaultSettings();
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (!required) return true;
        *why = "settings file " + path + " does not exist";
        return false;
    }
    std::string bad;
    if (!ReadSettingsPath(path, settings, &bad)) {
        *settings = DefaultSettings();
        std::fprintf(stderr, "korvex-cli: warning: %s; using the default settings\n", bad.c_str());
    }
    return true;
}

bool WriteSettingsPath(const std::string& path, const Settings& settings, std::string* why)
{
    uint8_t bytes[kSettingsFileSize];
    EncodeRecord(SettingsLayout(), &settings, bytes);
    return WriteFileAtomically(path, bytes, sizeof bytes, why);
}

}  // namespace korvex::cli
