#include "netlist/element_counters.h"

namespace korvex {

ElementCounters gElementCounters;

}  // namespace korvex
