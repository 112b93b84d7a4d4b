#include "netlist/element_counters.h"

ElementCounters gElementCounters;
