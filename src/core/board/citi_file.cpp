#include "board/citi_file.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>

#include "util/debug_log.h"
#include "util/number_text.h"

namespace korvex {

SPARAM gData;

namespace {

// Smallest data line "0,0\r\n": four blocks of them bound the point count.
constexpr size_t kMinDataLine = 5;

int Fail(std::string* error, const char* logText, const std::string& reason)
{
    printDebug("%s", logText);
    if (error != nullptr) *error = reason;
    return -1;
}

// A bounded window of the file text.
std::string_view Window(std::string_view text, size_t from, size_t length)
{
    if (from >= text.size()) return {};
    return text.substr(from, length);
}

void SkipBlanks(std::string_view& s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
}

template <class T>
bool TakeUnsigned(std::string_view& s, T& out)
{
    auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    if (res.ec != std::errc()) return false;
    s.remove_prefix(static_cast<size_t>(res.ptr - s.data()));
    return true;
}

bool TakeDouble(std::string_view& s, double& out)
{
    SkipBlanks(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    if (res.ec != std::errc()) return false;
    s.remove_prefix(static_cast<size_t>(res.ptr - s.data()));
    return true;
}

double* NewArray(uint32_t count)
{
    return static_cast<double*>(std::calloc(count, sizeof(double)));
}

struct Block {
    const char* keyword;
    const char* name;
    double* SPARAM::*re;
    double* SPARAM::*im;
};

// The four blocks in file order.
constexpr Block kBlocks[4] = {
    {"DATA S[1,1] RI", "S11", &SPARAM::S11Re, &SPARAM::S11Im},
    {"DATA S[2,1] RI", "S21", &SPARAM::S21Re, &SPARAM::S21Im},
    {"DATA S[1,2] RI", "S12", &SPARAM::S12Re, &SPARAM::S12Im},
    {"DATA S[2,2] RI", "S22", &SPARAM::S22Re, &SPARAM::S22Im},
};

int ReadFrequencies(SPARAM* d, std::string_view text, std::string* error)
{
    const size_t seg = text.find("SEG_LIST_BEGIN");
    if (seg != std::string_view::npos) {
        std::string_view w = Window(text, seg + 16, 30);
        uint64_t start = 0, stop = 0;
        uint32_t count = 0;
        bool ok = w.substr(0, 3) == "SEG";
        if (ok) w.remove_prefix(3);
        SkipBlanks(w);
        ok = ok && TakeUnsigned(w, start);
        SkipBlanks(w);
        ok = ok && TakeUnsigned(w, stop);
        SkipBlanks(w);
        ok = ok && TakeUnsigned(w, count);
        if (!ok) return Fail(error, "Frequency: couldn't read'\r\r\n", "cannot read the frequency segment");
        if (count != d->Count)
            return Fail(error, "Segmented List not supported\n", "the segment's point count differs from VAR FREQ MAG");
        d->LogSpacing = 0;
        d->FrequencyStart = start;
        d->FrequencyStop = stop;
        printDebug("FrequencyStart = %llu\n FrequencyStop = %llu\n", static_cast<unsigned long long>(start),
                   static_cast<unsigned long long>(stop));
        return 0;
    }
    printDebug("SEG_LIST_BEGIN not found\r\r\n");
    const size_t list = text.find("VAR_LIST_BEGIN");
    if (list == std::string_view::npos) {
        if (error != nullptr) *error = "neither a frequency segment nor a frequency list";
        return -1;
    }
    std::string_view w = Window(text, list + 16, 40);
    uint64_t f0 = 0, f1 = 0;
    bool ok = TakeUnsigned(w, f0) && w.substr(0, 2) == "\r\n";
    if (ok) w.remove_prefix(2);
    ok = ok && TakeUnsigned(w, f1) && f0 > 0 && f1 > 0;
    if (!ok) return Fail(error, "Frequency: couldn't read'\r\r\n", "cannot read the first two listed frequencies");
    d->LogSpacing = 1;
    d->StartExponent = static_cast<float>(std::log10(static_cast<double>(f0)));
    d->ExponentStep = static_cast<float>(std::log10(static_cast<double>(f1)) - std::log10(static_cast<double>(f0)));
    d->FrequencyStart = static_cast<uint64_t>(std::llround(std::pow(10.0, d->StartExponent)));
    const double stopExponent = d->StartExponent + static_cast<double>(d->Count) * d->ExponentStep;
    d->FrequencyStop = stopExponent < 19.0 ? static_cast<uint64_t>(std::llround(std::pow(10.0, stopExponent))) : 0;
    printDebug("FrequencyStart = %s ", FloatToChar(static_cast<float>(d->FrequencyStart)).c_str());
    printDebug("FrequencyStop = %s\r\n", FloatToChar(static_cast<float>(d->FrequencyStop)).c_str());
    return 0;
}

// Reads Count "re,im" lines starting at `pos`; returns the position after the
// block, or npos on failure.
size_t ReadBlock(SPARAM* d, std::string_view text, size_t pos, const Block& block, std::string* error)
{
    for (uint32_t i = 0; i < d->Count; ++i) {
        const size_t lineEnd = text.find("\r\n", pos);
        std::string_view line = Window(text, pos, (lineEnd == std::string_view::npos ? text.size() : lineEnd) - pos);
        double re = 0, im = 0;
        bool ok = TakeDouble(line, re);
        SkipBlanks(line);
        ok = ok && !line.empty() && line.front() == ',';
        if (ok) line.remove_prefix(1);
        ok = ok && TakeDouble(line, im);
        if (!ok) {
            const std::string log = std::string(block.name) + " Data couldn't read'\r\r\n";
            Fail(error, log.c_str(), "cannot read line " + std::to_string(i + 1) + " of the " + block.name + " data");
            return std::string_view::npos;
        }
        (d->*block.re)[i] = re;
        (d->*block.im)[i] = im;
        if (lineEnd == std::string_view::npos) {
            if (i + 1 < d->Count) {
                Fail(error, "No further data found\n", std::string("the ") + block.name + " data end early");
                return std::string_view::npos;
            }
            return text.size();
        }
        pos = lineEnd + 2;
    }
    return pos;
}

}  // namespace

SPARAM::~SPARAM()
{
    freeSPARAM(this);
}

SPARAM::SPARAM(SPARAM&& other) noexcept : SPARAMFields(other)
{
    static_cast<SPARAMFields&>(other) = SPARAMFields{};
}

SPARAM& SPARAM::operator=(SPARAM&& other) noexcept
{
    if (this != &other) {
        freeSPARAM(this);
        static_cast<SPARAMFields&>(*this) = other;
        static_cast<SPARAMFields&>(other) = SPARAMFields{};
    }
    return *this;
}

int freeSPARAM(SPARAM* d)
{
    if (d == nullptr) return -1;
    for (double** p : {&d->S11Re, &d->S21Re, &d->S22Re, &d->S12Re, &d->S11Im, &d->S21Im, &d->S22Im, &d->S12Im}) {
        std::free(*p);
        *p = nullptr;
    }
    return 0;
}

int ReadCITIFile(SPARAM* d, const char* path, std::string* error)
{
    if (d == nullptr || path == nullptr) return -1;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        printDebug("Datei %s nicht gefunden\r\r\n", path);
        if (error != nullptr) *error = std::string("cannot open ") + path;
        return -1;
    }
    const std::string buffer((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    printDebug("Total size of %s = %d bytes\r\r\n", path, static_cast<int>(buffer.size()));
    printDebug("File closed\r\r\n");
    const std::string_view text(buffer);

    const size_t citi = text.find("CITIFILE");
    if (citi == std::string_view::npos) return Fail(error, "CITIFILE not fount\r\r\n", "not a CITI file");
    const size_t var = text.find("VAR FREQ MAG", citi);
    if (var == std::string_view::npos) return Fail(error, "VAR FREQ MAG not found\r\r\n", "no VAR FREQ MAG line");
    std::string_view countText = Window(text, var + 13, 20);
    uint32_t count = 0;
    if (!TakeUnsigned(countText, count) || count == 0 || count > text.size() / (4 * kMinDataLine))
        return Fail(error, "No. Points: couldn't read'\r\r\n", "no usable point count after VAR FREQ MAG");
    d->Count = count;
    printDebug("No. Points = %u\r\r\n", count);
    if (ReadFrequencies(d, text, error) != 0) return -1;

    size_t keyword = var;
    size_t blockEnd = 0;
    for (const Block& block : kBlocks) {
        keyword = text.find(block.keyword, keyword);
        if (keyword == std::string_view::npos) {
            const std::string log = std::string(block.keyword) + " not found\r\r\n";
            return Fail(error, log.c_str(), std::string("no ") + block.keyword + " block");
        }
        printDebug("%s Data found\r\r\n", block.name);
        std::free(d->*block.re);
        std::free(d->*block.im);
        d->*block.re = NewArray(count);
        d->*block.im = NewArray(count);
        const size_t begin = text.find("\nBEGIN\r\n", blockEnd);
        if (begin == std::string_view::npos)
            return Fail(error, "BEGIN not found\n", std::string("no BEGIN line for the ") + block.name + " data");
        blockEnd = ReadBlock(d, text, begin + 8, block, error);
        if (blockEnd == std::string_view::npos) return -1;
    }
    return 0;
}

}  // namespace korvex
