#pragma once
// Import of measured two-port S-parameters from CITI text files ("*.D1"): a
// point count after "VAR FREQ MAG", the frequencies as a segment ("SEG start
// stop count") or as a list, and four "DATA S[..] RI" blocks of "re,im" lines.
#include <cstdint>
#include <string>

namespace korvex {

// The record's fields; SPARAM adds the ownership of the eight arrays.
struct SPARAMFields {
    uint32_t Count = 0;
    uint32_t LogSpacing = 0;   // 1: explicit list, taken as logarithmically spaced
    float StartExponent = 0;   // log10 of the first frequency (lists only)
    float ExponentStep = 0;    // log10 step between points (lists only)
    uint64_t FrequencyStart = 0;
    uint64_t FrequencyStop = 0;
    double* S11Re = nullptr;
    double* S21Re = nullptr;
    double* S22Re = nullptr;
    double* S12Re = nullptr;
    double* S11Im = nullptr;
    double* S21Im = nullptr;
    double* S22Im = nullptr;
    double* S12Im = nullptr;
};

// Owns its arrays: movable (the source is left empty), not copyable, freed
// when destroyed.
struct SPARAM : SPARAMFields {
    SPARAM() = default;
    ~SPARAM();
    SPARAM(const SPARAM&) = delete;
    SPARAM& operator=(const SPARAM&) = delete;
    SPARAM(SPARAM&& other) noexcept;
    SPARAM& operator=(SPARAM&& other) noexcept;
};

extern SPARAM gData;

// Parses the file into *data; 0, or -1 with the reason on the debug log (and
// in *error). Never reads past the file's bytes. Arrays read before a failure
// stay in the record until the next import or freeSPARAM.
int ReadCITIFile(SPARAM* data, const char* path, std::string* error = nullptr);
// Frees the eight arrays and sets them to null.
int freeSPARAM(SPARAM* data);

}  // namespace korvex
