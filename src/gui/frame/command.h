#pragma once
// Every command of the desktop with its number. Menus, toolbars, the edit
// window and tests trigger commands by number through MainFrame::Execute.
namespace korvex::gui {

enum class Command : int {
    // File
    New = 9070,
    Settings = 9071,
    Exit = 9072,
    Open = 9074,
    Save = 9075,
    SaveAs = 9076,
    ImportCiti = 9106,
    // Edit
    ImportScreenshot = 9077,
    ImportBitmap = 9078,
    SetLayerstack = 9079,
    // Simulate
    CreateBMPs = 9083,
    CreateMesh = 9084,
    OptimizeCaps = 9085,
    CreateSpiceCircuit = 9086,
    SimulateCurrentDensityAtF = 9087,
    SimulateCurrentNoiseTransfer = 9088,
    SimulateNoiseTransfer = 9089,
    SimulateVoltageNoiseAtF = 9090,
    SimulateVoltageNoiseTime = 9091,
    SimulateS21 = 9093,
    SimulateZin = 9094,
    SimulateZAtF = 9095,
    SimulateElectrical = 9096,
    SimulateThermal = 9097,
    DrawNode = 9098,
    DrawMesh = 9099,
    SimulateCapsOnPosition = 9107,
    // Window
    Cascade = 9100,
    ArrangeIcons = 9102,
    TileHorizontal = 9103,
    TileVertical = 9104,
    // About
    About = 9105,
    // Right toolbar: layers 8000 ... 8007, result views 8008 ... 8011
    Layer1 = 8000,
    Layer2 = 8001,
    Layer3 = 8002,
    Layer4 = 8003,
    Layer5 = 8004,
    Layer6 = 8005,
    Layer7 = 8006,
    Layer8 = 8007,
    ShowVoltage = 8008,
    ShowCurrentDensity = 8009,
    ShowTemperature = 8010,
    ShowZin = 8011,
    // Left toolbar: edit tools 8012 ... 8029 (tool number = command - 8012)
    DrawCopper = 8012,
    DrawLine = 8013,
    DrawFilledRectangle = 8014,
    DeleteCopper = 8015,
    DeleteRectangle = 8016,
    DeletePart = 8017,
    EditPart = 8018,
    MovePart = 8019,
    AddVia = 8020,
    AddCurrentSource = 8021,
    AddHeatSource = 8022,
    AddHeatsink = 8023,
    AddResistor = 8024,
    AddGround = 8025,
    AddPort = 8026,
    AddCapacitor = 8027,
    AddSubcircuit = 8028,
    AddSeriesSubcircuit = 8029,
};

constexpr int kFirstToolCommand = 8012;
constexpr int kToolCount = 18;
constexpr int kLayerCommandCount = 8;

// The edit tools, numbered as the left toolbar (command - 8012).
enum Tool : int {
    kToolDrawCopper = 0,
    kToolDrawLine = 1,
    kToolFilledRectangle = 2,
    kToolDeleteCopper = 3,
    kToolDeleteRectangle = 4,
    kToolDeletePart = 5,
    kToolEditPart = 6,
    kToolMovePart = 7,
    kToolVia = 8,
    kToolCurrentSource = 9,
    kToolHeatSource = 10,
    kToolHeatsink = 11,
    kToolResistor = 12,
    kToolGround = 13,
    kToolPort = 14,
    kToolCapacitor = 15,
    kToolSubcircuit = 16,
    kToolSeriesSubcircuit = 17,
};

constexpr int CommandNumber(Command c) { return static_cast<int>(c); }

}  // namespace korvex::gui
