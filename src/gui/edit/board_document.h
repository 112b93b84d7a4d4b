#pragma once
// The open board of the desktop: a korvex::Project (board, mesh, diagram,
// S-parameters, the project's capacitor list and noise parameters, the path it
// was opened from or saved to, and whether it changed since) seen with the
// desktop's settings. Exactly one exists while a board is open; destroying it
// frees everything it owns.
#include <memory>
#include <string>

#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/simulation_job.h"
#include "mesh/mesh_model.h"
#include "pdn/simulate_s_capacitor.h"
#include "project/project.h"

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

    Project& ProjectRecord() { return project_; }
    SimMatrix& Board() { return project_.Board(); }
    const SimMatrix& Board() const { return project_.Board(); }
    Mesh& MeshRecord() { return project_.MeshRecord(); }
    Diagram& DiagramRecord() { return project_.DiagramRecord(); }
    SimulateSCapacitorData& SParameters() { return project_.SParameters(); }

    // Empty for a board that was never saved.
    const std::string& Path() const { return project_.Path(); }
    bool IsUntitled() const { return project_.Path().empty(); }
    // "[Untitled]" or the path: the edit window's title.
    std::string Title() const;

    void MarkChanged() { project_.MarkModified(); }
    bool IsChanged() const { return project_.IsModified(); }
    bool HasMesh() const;

    // What the core's jobs work on: this document's records with the
    // desktop's settings (the settings sheet edits those).
    JobEnvironment Environment() const;

private:
    Project project_;
};

}  // namespace korvex::gui
