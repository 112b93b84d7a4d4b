#pragma once
// The open board of the desktop: the board record with its rasters and parts,
// its mesh, the diagram and S-parameter records the jobs fill, the path it was
// opened from or saved to, and whether it changed since. Exactly one exists
// while a board is open; destroying it frees everything it owns.
#include <memory>
#include <string>

#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/simulation_job.h"
#include "mesh/mesh_model.h"
#include "pdn/simulate_s_capacitor.h"

namespace korvex::gui {

class BoardDocument {
public:
    BoardDocument();
    ~BoardDocument();
    BoardDocument(const BoardDocument&) = delete;
    BoardDocument& operator=(const BoardDocument&) = delete;

    // A new board from a layer stack (counts, sizes, materials; no rasters):
    // allocates the seven rasters. Null with the reason when they cannot be.
    static std::unique_ptr<BoardDocument> CreateNew(const SimMatrix& layerStack, std::string* reason);
    // Reads a project file, plain or compressed (`compressed` accepts both).
    // Null with the reason when the file is refused; nothing else changes then.
    static std::unique_ptr<BoardDocument> Open(const std::string& path, bool compressed, std::string* reason);

    // Writes the board to `path` (replacing it safely) and makes it the
    // document's path. False with the reason when the file was not written.
    bool Save(const std::string& path, bool compressed, std::string* reason);

    SimMatrix& Board() { return board_; }
    const SimMatrix& Board() const { return board_; }
    Mesh& MeshRecord() { return mesh_; }
    Diagram& DiagramRecord() { return diagram_; }
    SimulateSCapacitorData& SParameters() { return sParameters_; }

    // Empty for a board that was never saved.
    const std::string& Path() const { return path_; }
    bool IsUntitled() const { return path_.empty(); }
    // "[Untitled]" or the path: the edit window's title.
    std::string Title() const;

    void MarkChanged() { changed_ = true; }
    bool IsChanged() const { return changed_; }
    bool HasMesh() const { return GetFirstNode(&mesh_) != nullptr; }

    // What the core's jobs work on: this document's records.
    JobEnvironment Environment() const;

private:
    SimMatrix board_;
    Mesh mesh_;
    Diagram diagram_;
    SimulateSCapacitorData sParameters_;
    std::string path_;
    bool changed_ = false;
};

}  // namespace korvex::gui
