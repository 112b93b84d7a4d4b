#include "edit/board_document.h"

#include "board/project_file.h"
#include "board/settings.h"
#include "pdn/cap_database.h"
#include "util/debug_log.h"

namespace korvex::gui {

BoardDocument::BoardDocument()
{
    // A board that was never saved starts with the standard list of the
    // equivalent-circuit tool; a project file brings its own.
    InitCapDatabaseCreateSpice(&project_.Caps());
}

BoardDocument::~BoardDocument() = default;

std::unique_ptr<BoardDocument> BoardDocument::CreateNew(const SimMatrix& layerStack, std::string* reason)
{
    auto document = std::make_unique<BoardDocument>();
    SimMatrix& board = document->Board();
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
    // With "Compress Files" off only plain files are read; on, both are.
    const Status opened = !compressed && IsCompressedProject(path.c_str())
                              ? Status::Refused("the file is compressed and Compress Files is off")
                              : document->project_.Open(path);
    if (!opened) {
        *reason = opened.Reason();
        printDebug("Cancel Load\r\n");
        return nullptr;
    }
    printDebug("Matrix Loaded\r\n");
    return document;
}

bool BoardDocument::Save(const std::string& path, bool compressed, std::string* reason)
{
    const Status saved = project_.SaveAs(path, compressed);
    if (!saved) *reason = saved.Reason();
    return static_cast<bool>(saved);
}

std::string BoardDocument::Title() const
{
    return IsUntitled() ? std::string("[Untitled]") : Path();
}

bool BoardDocument::HasMesh() const
{
    return GetFirstNode(&const_cast<Project&>(project_).MeshRecord()) != nullptr;
}

JobEnvironment BoardDocument::Environment() const
{
    JobEnvironment env = const_cast<Project&>(project_).Environment();
    env.Settings = &gSettings;
    return env;
}

}  // namespace korvex::gui
