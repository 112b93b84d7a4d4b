// CapStd.csv, the capacitor list.
#include <cstdint>

#include "fuzz_support.h"
#include "pdn/cap_database.h"

using namespace korvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzz::AsFile(data, size, "CapStd.csv");
    CapDatabase db;
    InitCapDatabase(&db);
    std::string error;
    LoadCapDatabase(&db, path.c_str(), &error);
    FreeCapDatabase(&db);
    return 0;
}
