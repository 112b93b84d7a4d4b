// Project load (plain and gzip readers) and what `info` prints of it, as text and JSON.
#include <cstdint>

#include "board/project_file.h"
#include "board/record_layout.h"
#include "fuzz_support.h"
#include "json_output.h"
#include "pdn/cap_database.h"
#include "board/voltage_noise_param.h"
#include "record_print.h"

using namespace korvex;
using namespace korvex::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzz::AsFile(data, size, "project.sav");
    for (bool viaGzip : {false, true}) {
        SimMatrix board;
        CapDatabase caps;
        InitCapDatabase(&caps);
        VoltageNoiseTimeParam noise;
        std::string error;
        if (LoadProject(path.c_str(), &board, viaGzip, {&caps, &noise}, &error) == 1) {
            nlohmann::json out = RecordToJson(SimMatrixHeaderLayout(), &board);
            std::string text = RecordToText(SimMatrixHeaderLayout(), &board);
            for (const Part* part = board.pFirstPart; part != nullptr; part = part->pNext) {
                out["Parts"].push_back(RecordToJson(*PartRecordLayout(part->Kind), part->pRecord));
                text += RecordToText(*PartRecordLayout(part->Kind), part->pRecord);
            }
            for (int i = 0; i < caps.Count; ++i) out["Caps"].push_back(RecordToJson(CapRecordLayout(), &caps.Caps[i]));
            out["Noise"] = RecordToJson(VoltageNoiseTimeParamLayout(), &noise);
            if (JsonText(out).empty() || text.empty()) __builtin_trap();
            freeSimulationMatrix(&board);
        }
        FreeCapDatabase(&caps);
    }
    return 0;
}
