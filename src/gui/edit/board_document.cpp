#include "edit/board_document.h"

#include "board/project_file.h"
#include "board/settings.h"
#include "util/debug_log.h"

namespace korvex::gui {

BoardDocument::BoardDocument()
{
    InitSimulationMatrix(&board_);
}

BoardDocument::~BoardDocument()
{
    FreeMesh(&mesh_);
    freeSimulationMatrix(&board_);
    FreeSimulateSCapacitor(&sParameters_);
}

std::unique_ptr<BoardDocument> BoardDocument::CreateNew(const SimMatrix& layerStack, std::string* reason)
{
    auto document = std::make_unique<BoardDocument>();
    SimMatrix& board = document->board_;
    // Copy the scalar part of the record only; the new document owns its rasters.
    Part* const noParts = board.pFirstPart;
    static_cast<SimMatrixFields&>(board) = layerStack;
    board.CopperMatrix = board.VoltageMatrix = board.CurrentXMatrix = board.CurrentYMatrix = nullptr;
    board.CurrentDensityMatrix = board.TemperatureMatrix = board.ZinMatrix = nullptr;
    board.pFirstPart = noParts;
    if (MallocAllMatrices(&board) != 0) {
        *reason = "Not enough memory for a board of this size";
        return nullptr;
    }
    printDebug("Matrix Created\r\n");
    PrintSimMatrixParts(&board);
    return document;
}

std::unique_ptr<BoardDocument> BoardDocument::Open(const std::string& path, bool compressed, std::string* reason)
{
    auto document = std::make_unique<BoardDocument>();
    printDebug("Load Matrix...%s\r\n", path.c_str());
    const int loaded = compressed ? gzLoadSimMatrix(path.c_str(), &document->board_, reason)
                                  : LoadSimMatrix(path.c_str(), &document->board_, reason);
    if (loaded != 1) {
        printDebug("Cancel Load\r\n");
        return nullptr;
    }
    printDebug("Matrix Loaded\r\n");
    document->path_ = path;
    return document;
}

bool BoardDocument::Save(const std::string& path, bool compressed, std::string* reason)
{
    const int result = compressed ? gzSaveSimMatrix(path.c_str(), &board_, reason)
                                  : SaveSimMatrix(path.c_str(), &board_, reason);
    if (result != 0) return false;
    path_ = path;
    changed_ = false;
    return true;
}

std::string BoardDocument::Title() const
{
    return path_.empty() ? std::string("[Untitled]") : path_;
}

JobEnvironment BoardDocument::Environment() const
{
    JobEnvironment env = GlobalJobEnvironment();
    auto* self = const_cast<BoardDocument*>(this);
    env.Board = &self->board_;
    env.Mesh = &self->mesh_;
    env.Diagram = &self->diagram_;
    env.SParameters = &self->sParameters_;
    env.Settings = &gSettings;
    return env;
}

}  // namespace korvex::gui
