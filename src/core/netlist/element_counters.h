#pragma once
// Program-wide element numbers of the netlists: one counter per element kind,
// starting at 1 when the program starts and never reset, so numbers continue
// from one netlist to the next.
#include <cstdint>

namespace korvex {

struct ElementCounters {
    uint32_t Resistor = 1;           // "R%u" resistor parts of the DC netlist
    uint32_t CurrentSource = 1;      // "I%u" current sources of the DC netlist
    uint32_t VoltageSource = 1;      // "V%u" the ambient source of the thermal netlist
    uint32_t JunctionCase = 1;       // "RHJC%s%u" heat source junction to case
    uint32_t HeatSourceCurrent = 1;  // "IH%u" heat source power
    uint32_t JunctionAmbient = 1;    // "RHJA%s%u" heat source junction to ambient
    uint32_t SinkAmbient = 1;        // "RHSAMB%u" heat sink to ambient
    uint32_t ThermalVia = 1;         // "RV%u_%1u" / "IHV%u_%1u" via barrels of the thermal netlist
    uint32_t AcResistor = 1;         // "L%u" resistor parts of the AC netlist
};

extern ElementCounters gElementCounters;

}  // namespace korvex
