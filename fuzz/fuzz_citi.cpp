// CITI import (S-parameter files).
#include <cstdint>

#include "board/citi_file.h"
#include "fuzz_support.h"

using namespace korvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzz::AsFile(data, size, "input.citi");
    SPARAM sparam{};
    std::string error;
    ReadCITIFile(&sparam, path.c_str(), &error);
    freeSPARAM(&sparam);
    return 0;
}
