#include "jobs/simulation_results.h"

#include <cstring>
#include <utility>

#include "board/raster.h"
#include "jobs/simulation_job.h"
#include "util/large_block.h"

namespace korvex {

SimulationResults::SimulationResults(const JobEnvironment& env)
    : board_(env.Board), mesh_(env.Mesh), inPlace_(env.MapInPlace), nx_(static_cast<int>(env.Board->CountPixelX)),
      ny_(static_cast<int>(env.Board->CountPixelY)), layers_(env.Board->LayerCount)
{
}

SimulationResults::~SimulationResults()
{
    for (Raster& r : rasters_) free3D(r.Data, nx_, ny_);
}

size_t SimulationResults::RasterBytes() const
{
    return sizeof(float) * size_t(nx_) * size_t(ny_) * size_t(layers_);
}

float*** SimulationResults::Add(BoardRaster which)
{
    // In place the board's raster is used as it is: nothing to swap in or free later.
    if (inPlace_ && board_->*which != nullptr) return board_->*which;
    float*** data = malloc3DFloat(nx_, ny_, static_cast<unsigned>(layers_));
    if (data != nullptr) rasters_.push_back({which, data});
    return data;
}

float*** SimulationResults::ZeroedRaster(BoardRaster which)
{
    float*** data = Add(which);
    if (data == nullptr) return nullptr;
    // The board's own raster is cleared. A fresh one starts at zero (malloc3D); its pages are
    // faulted in now (by the kernel alone, where it can), so that a caller running this beside
    // other work spares the painting that.
    if (data == board_->*which) std::memset(RasterData(data, nx_, ny_), 0, RasterBytes());
    else PrefaultPages(RasterData(data, nx_, ny_), RasterBytes());
    return data;
}

float*** SimulationResults::CopiedRaster(BoardRaster which)
{
    float*** source = board_->*which;
    if (source == nullptr) return nullptr;
    float*** data = Add(which);
    if (data != nullptr && data != source)
        std::memcpy(RasterData(data, nx_, ny_), RasterData(source, nx_, ny_), RasterBytes());
    return data;
}

Mesh* SimulationResults::MeshToMap()
{
    if (inPlace_) return mesh_;
    meshCopy_ = std::make_unique<MeshResultCopy>(*mesh_);
    return meshCopy_->Valid() ? meshCopy_->Get() : nullptr;
}

Diagram* SimulationResults::NewDiagram()
{
    diagram_ = std::make_unique<Diagram>();
    return diagram_.get();
}

SimulateSCapacitorData* SimulationResults::NewSParameters()
{
    sparams_ = std::make_unique<SimulateSCapacitorData>();
    return sparams_.get();
}

int SimulationResults::Apply(const JobEnvironment& env)
{
    SimMatrix* board = env.Board;
    if (applied_ || board == nullptr || static_cast<int>(board->CountPixelX) != nx_ ||
        static_cast<int>(board->CountPixelY) != ny_ || board->LayerCount != layers_)
        return -1;
    for (const Raster& r : rasters_)
        if (board->*r.Which == nullptr) return -1;
    if (meshCopy_ != nullptr && meshCopy_->ApplyTo(env.Mesh) != 0) return -1;
    // The board's former rasters go with this record.
    for (Raster& r : rasters_) std::swap(board->*r.Which, r.Data);
    ApplyPartResults(board, parts_);
    parts_.clear();
    if (diagram_ != nullptr && env.Diagram != nullptr) {
        TakeDiagramCurves(env.Diagram, diagram_.get());
        UpdateDiagram(env.Diagram);
    }
    if (sparams_ != nullptr && env.SParameters != nullptr) {
        SimulateSCapacitorData& live = *env.SParameters;
        std::swap(live.Points, sparams_->Points);
        std::swap(live.Frequency, sparams_->Frequency);
        std::swap(live.S11, sparams_->S11);
        std::swap(live.S21, sparams_->S21);
        std::swap(live.S12, sparams_->S12);
        std::swap(live.S22, sparams_->S22);
        std::swap(live.Z11c, sparams_->Z11c);
    }
    meshCopy_.reset();
    applied_ = true;
    return 0;
}

}  // namespace korvex
