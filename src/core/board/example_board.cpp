#include "board/example_board.h"

#include <utility>

namespace korvex {

namespace {

constexpr int kTop = 0;
constexpr int kBottom = 1;

void FillRect(SimMatrix* b, int layer, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, float value)
{
    for (uint32_t x = x0; x < x1 && x < b->CountPixelX; ++x)
        for (uint32_t y = y0; y < y1 && y < b->CountPixelY; ++y) b->CopperMatrix[x][y][layer] = value;
}

void FillCircle(SimMatrix* b, int layer, int cx, int cy, int r, float value)
{
    for (int x = cx - r; x <= cx + r; ++x)
        for (int y = cy - r; y <= cy + r; ++y)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r && x >= 0 && y >= 0 &&
                x < static_cast<int>(b->CountPixelX) && y < static_cast<int>(b->CountPixelY))
                b->CopperMatrix[x][y][layer] = value;
}

void DrawCopper(SimMatrix* b)
{
    FillRect(b, kBottom, 0, 0, b->CountPixelX, b->CountPixelY, 1.0f);  // ground plane
    FillRect(b, kTop, 8, 8, 152, 92, 1.0f);                             // supply pour
    FillRect(b, kTop, 50, 20, 70, 45, 0.0f);                            // cut-outs
    FillRect(b, kTop, 90, 55, 110, 80, 0.0f);
    FillCircle(b, kTop, 80, 30, 8, 0.0f);
    FillRect(b, kTop, 56, 28, 64, 37, 1.0f);  // ground islands inside the cut-outs
    FillRect(b, kTop, 96, 63, 104, 72, 1.0f);
    FillRect(b, kTop, 0, 47, 8, 53, 1.0f);      // feed trace from the left edge
    FillRect(b, kTop, 152, 20, 160, 23, 1.0f);  // thin trace to the right edge
    FillRect(b, kTop, 20, 92, 23, 100, 1.0f);   // and one to the bottom edge
}

void PlaceParts(SimMatrix* b)
{
    Current source;
    source.Net1X = 2;
    source.Net1Y = 50;
    source.Net2X = 140;
    source.Net2Y = 50;
    source.Current = 2.0;
    AddPart(b, PART_CURRENT, &source);

    Resistor ground;  // connection to ground at the load
    ground.Net1X = ground.Net2X = 140;
    ground.Net1Y = ground.Net2Y = 50;
    CopyName(ground.Net2Name, "0");
    ground.Rser = 1e-6f;
    AddPart(b, PART_RESISTOR, &ground);
    ground.Net1X = ground.Net2X = 5;
    ground.Net1Y = ground.Net2Y = 5;
    ground.Net1Z = ground.Net2Z = kBottom;  // and of the plane
    AddPart(b, PART_RESISTOR, &ground);

    Via via;
    for (const auto& [x, y] : {std::pair{60u, 32u}, std::pair{100u, 67u}}) {
        via.x = x;
        via.y = y;
        AddPart(b, PART_VIA, &via);
    }

    HeatSource chip;
    chip.RectAX = 120;
    chip.RectAY = 40;
    chip.RectBX = 135;
    chip.RectBY = 60;
    chip.Power = 2.0;
    CopyName(chip.Net, "U1");
    AddPart(b, PART_HEATSOURCE, &chip);

    HeatSink sink;
    sink.RectAX = 20;
    sink.RectAY = 70;
    sink.RectBX = 40;
    sink.RectBY = 90;
    sink.RectAZ = sink.RectBZ = kBottom;
    sink.ThermalResistance = 10.0;
    AddPart(b, PART_HEATSINK, &sink);

    Port port;
    port.x = 140;
    port.y = 55;
    AddPart(b, PART_PORT, &port);

    struct CapPlace {
        uint32_t x, y, ref;
        float c, esr, esl;
    };
    const CapPlace caps[] = {{130, 70, 1, 10e-6f, 0.005f, 0.9e-9f},
                             {145, 30, 2, 100e-9f, 0.04f, 0.7e-9f},
                             {115, 84, 3, 1e-6f, 0.02f, 0.7e-9f}};
    for (const CapPlace& p : caps) {
        Cap cap;
        cap.x = p.x;
        cap.y = p.y;
        cap.Ref = p.ref;
        cap.Capacitance = p.c;
        cap.ESR = p.esr;
        cap.ESL = p.esl;
        AddPart(b, PART_CAP, &cap);
    }
}

}  // namespace

int CreateExampleBoard(SimMatrix* board)
{
    if (board == nullptr) return -1;
    freeSimulationMatrix(board);
    *board = SimMatrix{};
    ApplyNewBoardDefaults(board);
    if (MallocAllMatrices(board) != 0) return -1;
    DrawCopper(board);
    PlaceParts(board);
    return 0;
}

}  // namespace korvex
