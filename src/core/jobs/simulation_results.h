#pragma once
// The scratch records of one simulation job: rasters painted apart from the
// board, a copy of the mesh's nodes holding the new node results, part results
// (via currents, junction and heat-sink temperatures), a diagram of its own
// and S-parameters. Apply swaps the rasters in, copies the node results over
// and writes the part values: one call on the owner's thread. For a job that
// maps in place (JobEnvironment::MapInPlace) the rasters and the mesh handed
// out are the board's and the mesh's own, and Apply writes the rest.
#include <memory>
#include <vector>

#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/job_outcome.h"
#include "mesh/mesh_result_copy.h"
#include "pdn/simulate_s_capacitor.h"
#include "raw/raw_reader_op.h"

namespace korvex {

// One of the board's result rasters.
using BoardRaster = float*** SimMatrix::*;

class SimulationResults : public JobResults {
public:
    // Results for env's board and mesh (the board's size and layer count are read now).
    explicit SimulationResults(const JobEnvironment& env);
    ~SimulationResults() override;

    // A raster of the board's size to be swapped for `which`: zeroed, or a copy
    // of the board's when the analysis paints over only part of it. Null when
    // out of memory. In place: the board's own raster, zeroed or as it is.
    float*** ZeroedRaster(BoardRaster which);
    float*** CopiedRaster(BoardRaster which);
    // The mesh to map into: a copy of the nodes, or in place the mesh itself. Null when out of
    // memory.
    Mesh* MeshToMap();
    std::vector<PartResult>& Parts() { return parts_; }
    // A diagram of its own for swept analyses (curves taken over on Apply).
    Diagram* NewDiagram();
    // S-parameter arrays of their own (the selection of the live record stays).
    SimulateSCapacitorData* NewSParameters();

    int Apply(const JobEnvironment& env) override;

private:
    struct Raster {
        BoardRaster Which;
        float*** Data;
    };
    float*** Add(BoardRaster which);
    size_t RasterBytes() const;
    SimMatrix* board_;
    Mesh* mesh_;
    bool inPlace_;
    int nx_, ny_, layers_;
    bool applied_ = false;  // a second Apply would swap the former rasters back
    std::vector<Raster> rasters_;
    std::unique_ptr<MeshResultCopy> meshCopy_;
    std::vector<PartResult> parts_;
    std::unique_ptr<Diagram> diagram_;
    std::unique_ptr<SimulateSCapacitorData> sparams_;
};

}  // namespace korvex
