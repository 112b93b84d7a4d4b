#pragma once
// The AC netlist: the parts, the plane transmission-line network of every mesh
// node and plane pair, per-node probes and dielectric-loss resistors, the
// skin-effect parameters and the frequency plan; sources, terminations and
// saved quantities depend on the analysis mode of the job.
#include <cstdint>

#include "netlist/netlist_writer.h"

namespace korvex {

struct AcJob;
struct Mesh;
struct Part;
struct Settings;
struct SimMatrix;

// Writes the netlist to `path` with the AC block of `acSettings`, numbering
// elements from COUNTERS (null: the program-wide ones). Refused with the reason
// when the job, the frequency plan or the file is unusable (also reported on
// the debug log; nothing is left at `path`).
Status WriteAcNetlist(const char* path, const SimMatrix* board, const Mesh* mesh, const Settings* acSettings,
                      const AcJob* job, ElementCounters* counters = nullptr);
// The same as 0, or -1 when refused.
int CreateSpiceAC(const char* path, const SimMatrix* board, const Mesh* mesh, const Settings* acSettings,
                  const AcJob* job);
// The same text into an open writer; the caller has checked the frequency plan.
void WriteSpiceAC(korvex::NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Settings* acSettings,
                  const AcJob* job);

// The lines of one part; -1 for a null part, else 0.
int CreateSpiceACParts(korvex::NetlistWriter* file, const SimMatrix* board, const Mesh* mesh, const Part* part,
                       const AcJob* job);
// The same with a known via key (the part's position in the part list).
int WriteAcPart(korvex::NetlistWriter& out, const SimMatrix* board, const Mesh* mesh, const Part* part,
                const AcJob* job, uint64_t viaKey);

// The layer at which a via meets the AC network: the lowest signal layer
// (above the bottom reference plane) on which its node carries copper,
// LayerCount - 2 when none does; -1 for boards of fewer than two layers.
int AcViaLayer(const SimMatrix* board, const Mesh* mesh, uint32_t x, uint32_t y);

}  // namespace korvex
