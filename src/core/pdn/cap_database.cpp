#include "pdn/cap_database.h"

#include <charconv>
#include <fstream>

#include "util/atomic_file.h"
#include "util/debug_log.h"

namespace korvex {

CapDatabase gCapDatabase;

namespace {
constexpr float kE6[6] = {1.0f, 1.5f, 2.2f, 3.3f, 4.7f, 6.8f};
constexpr float kEsr[42] = {0.56f,  0.471f, 0.4f,   0.34f,  0.29f,  0.25f,  0.215f, 0.18f,  0.16f,  0.14f, 0.124f,
                            0.11f,  0.103f, 0.102f, 0.1f,   0.093f, 0.086f, 0.077f, 0.07f,  0.06f,  0.055f, 0.048f,
                            0.044f, 0.04f,  0.037f, 0.034f, 0.033f, 0.031f, 0.028f, 0.025f, 0.023f, 0.022f, 0.02f,
                            0.02f,  0.018f, 0.005f, 0.005f, 0.005f, 0.005f, 0.005f, 0.005f, 0.005f};

struct E6Table {
    CapRecord rows[42];
    constexpr E6Table() : rows()
    {
        float decade = 1e-10f;
        for (int row = 0; row < 42; ++row) {
            if (row > 0 && row % 6 == 0) decade *= 10.0f;
            rows[row].Index = static_cast<uint32_t>(row);
            rows[row].Capacitance = kE6[row % 6] * decade;
            rows[row].ESR = kEsr[row];
            rows[row].ESL = row < 35 ? 0.7e-9f : 0.9e-9f;
        }
    }
};
constexpr E6Table kE6Table;

void AppendNumber(std::string& line, float value)
{
    char buf[48];
    auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::scientific, 6);
    line.append(buf, res.ptr);
}

// One number of a data line: optional blanks and sign, then a decimal number.
bool ParseNumber(const char*& p, const char* end, float& out)
{
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == '+') ++p;
    double v = 0;
    auto res = std::from_chars(p, end, v);
    if (res.ec != std::errc()) return false;
    p = res.ptr;
    out = static_cast<float>(v);
    return true;
}

bool ParseCapLine(const std::string& line, CapRecord& rec)
{
    const char* p = line.data();
    const char* end = p + line.size();
    if (!ParseNumber(p, end, rec.Capacitance) || p >= end || *p++ != ';') return false;
    if (!ParseNumber(p, end, rec.ESR) || p >= end || *p++ != ';') return false;
    return ParseNumber(p, end, rec.ESL);
}
}  // namespace

// Constant-initialised from the table above, so usable during static initialisation.
const CapRecord E6Init[42] = {
#define ROW(n) kE6Table.rows[n]
    ROW(0),  ROW(1),  ROW(2),  ROW(3),  ROW(4),  ROW(5),  ROW(6),  ROW(7),  ROW(8),  ROW(9),  ROW(10),
    ROW(11), ROW(12), ROW(13), ROW(14), ROW(15), ROW(16), ROW(17), ROW(18), ROW(19), ROW(20), ROW(21),
    ROW(22), ROW(23), ROW(24), ROW(25), ROW(26), ROW(27), ROW(28), ROW(29), ROW(30), ROW(31), ROW(32),
    ROW(33), ROW(34), ROW(35), ROW(36), ROW(37), ROW(38), ROW(39), ROW(40), ROW(41),
#undef ROW
};
const int n_E6Init = 42;

int InitCapDatabase(CapDatabase* db)
{
    if (db == nullptr) return -1;
    FreeCapDatabase(db);
    for (int i = 0; i < n_E6Init; ++i)
        if (AddCap(db, i, &E6Init[i]) != 0) return -1;
    return 0;
}

int InitCapDatabaseCreateSpice(CapDatabase* db)
{
    if (db == nullptr) return -1;
    FreeCapDatabase(db);
    CapRecord branch;
    branch.Capacitance = 1e-7f;
    branch.ESR = 0.01f;
    branch.ESL = 1e-9f;
    return AddCap(db, 0, &branch);
}

int SaveCapDatabase(const CapDatabase* db, const char* path, std::string* error)
{
    if (db == nullptr || path == nullptr) return -1;
    std::string text = "Capacitance;ESR;ESL\n";
    for (int i = 0; i < db->Count; ++i) {
        AppendNumber(text, db->Caps[i].Capacitance);
        text += ';';
        AppendNumber(text, db->Caps[i].ESR);
        text += ';';
        AppendNumber(text, db->Caps[i].ESL);
        text += '\n';
    }
    if (!korvex::WriteFileAtomically(path, text.data(), text.size(), error)) {
        printDebug("%s not found\r\n", path);
        return -1;
    }
    return 0;
}

int LoadCapDatabase(CapDatabase* db, const char* path, std::string* error)
{
    if (db == nullptr || path == nullptr) return -1;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        printDebug("%s not found\r\n", path);
        if (error != nullptr) *error = std::string("cannot open ") + path;
        return -1;
    }
    std::string line;
    if (!std::getline(in, line)) {
        printDebug("Error in File\r\n");
        if (error != nullptr) *error = std::string(path) + " is empty (no header line)";
        return -1;
    }
    CapDatabase loaded;
    while (std::getline(in, line)) {
        CapRecord rec;
        if (ParseCapLine(line, rec)) AddCap(&loaded, loaded.Count, &rec);
    }
    SwapCapDatabase(db, &loaded);
    FreeCapDatabase(&loaded);
    return 0;
}

int LoadOrCreateCapStd(CapDatabase* db, const char* path)
{
    printDebug("Read CapStd.csv\r\n");
    if (LoadCapDatabase(db, path) == 0) return 0;
    printDebug("Using Std Cap Values\r\n");
    InitCapDatabase(db);
    if (SaveCapDatabase(db, path) == 0) printDebug("CapStd.csv created\r\n");
    return 1;
}

}  // namespace korvex
