#pragma once
// A diagram of curves over frequency (or time): ten curves, four reference
// curves for imported S-parameters, the impedance of one capacitor and of a
// fitted equivalent circuit. Analyses fill curves through the data functions
// below and ask the window to redraw with UpdateDiagram; the window paints
// from the same record. All data functions return 0, or -1 for a bad argument,
// which leaves the record unchanged.
#include <cstdint>
#include <mutex>

namespace korvex {

struct Diagram;
struct Part;

constexpr int kDiagramCurves = 10;
constexpr int kDiagramRefCurves = 4;
constexpr int kDiagramCurveNameSize = 100;
constexpr int kDiagramMaxPoints = 100000;
// Points of the capacitor and fitted-circuit curves that the window shows.
constexpr int kDiagramCapPoints = 500;

// Y-axis modes.
enum DiagramYAxis : unsigned {
    kYAxisLinear = 0,
    kYAxisLog = 1,
    kYAxisDb = 2,
    kYAxisSignedLinear = 3,  // linear over the signed real part (time diagram)
};

struct DiagramRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Whoever shows a diagram. UpdateDiagram calls DiagramChanged, possibly from a
// worker thread, which must not wait for a repaint: the window only schedules
// one, and on its own thread takes a copy with CopyDiagram and paints that.
class DiagramWindow {
public:
    virtual ~DiagramWindow() = default;
    virtual void DiagramChanged(Diagram& diagram) = 0;
};

struct DiagramCurve {
    unsigned bValid = 0;
    char szName[kDiagramCurveNameSize] = {};
    int PointCount = 0;
    float* pX = nullptr;  // frequency (or time)
    float* pY = nullptr;  // real part
    float* pZ = nullptr;  // imaginary part
    unsigned bSecondaryAxis = 0;
    unsigned Style = 0;  // 1: each point drawn as a vertical line
};

struct Diagram {
    DiagramWindow* hWnd = nullptr;
    float fMinX = 1e6f, fMaxX = 1e9f;
    float fMinY = 0.01f, fMaxY = 1.0f;
    float fGridX = 1e8f, fGridY = 0.1f;
    unsigned YAxis = kYAxisLinear;
    unsigned bLogX = 0;
    float fDecadeMinX = 0, fDecadeMaxX = 0, fDecadesX = 0, fPixelPerDecadeX = 0;
    float fDecadeMinY = 0, fDecadeMaxY = 0, fDecadesY = 0, fPixelPerDecadeY = 0;
    DiagramRect rectDC;
    DiagramRect rectPlot;
    unsigned FontHeight = 18, FontWidth = 6, Margin = 3;
    DiagramCurve Curve[kDiagramCurves];
    DiagramCurve RefCurve[kDiagramRefCurves];
    Part* pCapPart = nullptr;
    DiagramCurve CapCurve;
    DiagramCurve SpiceCurve;
    unsigned bSecondaryY = 0;
    float fMinY2 = 0, fMaxY2 = 0, fGridY2 = 0;

    // Held by every data function and by whoever paints, so that a redraw on
    // the user-interface thread never reads arrays a worker is replacing.
    // Never hold it across UpdateDiagram.
    mutable std::mutex Lock;

    Diagram() = default;
    Diagram(const Diagram&) = delete;
    Diagram& operator=(const Diagram&) = delete;
    ~Diagram();
};

extern Diagram gDiagram;

int InitDiagram(Diagram* diagram, DiagramWindow* window);
int InitDiagramRef(Diagram* diagram);
int InitDiagramData(Diagram* diagram, const char* name, int curve, int count);
int InitDiagramDataRef(Diagram* diagram, const char* name, int curve, int count);
int InitDiagramCapData(Diagram* diagram, const char* name, int count);
int InitDiagramCreateSpiceData(Diagram* diagram, const char* name, int count);
int SetDataPoint(Diagram* diagram, int curve, int index, float x, float y, float z);
int SetDataPointRef(Diagram* diagram, int curve, int index, float x, float y, float z);
int SetDataPointAdd(Diagram* diagram, int curve, int index, float x, float y, float z);
int GetDataPoint(const Diagram* diagram, int curve, int index, float* x, float* y, float* z);
int KillDiagram(Diagram* diagram);
int KillDiagramRef(Diagram* diagram);
// Asks the diagram's window to rebuild its picture; 0 also when no window is set.
int UpdateDiagram(Diagram* diagram);

// Helpers of ours over the record.
// 1 when the curve slot holds arrays with at least one point.
int DiagramCurveHasData(const DiagramCurve& curve);
// Index of the first of the ten curves with this exact name and data, or -1.
int FindDiagramCurve(const Diagram* diagram, const char* name);
// Frees a curve's arrays and leaves it invalid and empty (caller holds the lock).
void ClearDiagramCurve(DiagramCurve& curve);

// A deep copy of everything `from` shows (axes, curves, reference, capacitor
// and fitted-circuit curves), taken under its lock: what a window paints from
// while analyses go on filling the record. `to` keeps its window. 0 or -1.
int CopyDiagram(const Diagram* from, Diagram* to);

// Takes over what an analysis filled into a diagram of its own (`from`, as
// after KillDiagram, InitDiagram and the curve functions): the ten curves, the
// capacitor and fitted-circuit curves and the axis settings InitDiagram sets
// and the readers change. The window, reference curves and shown capacitor of
// `to` stay. `from` is left with `to`'s former curves. 0 or -1.
int TakeDiagramCurves(Diagram* to, Diagram* from);
}  // namespace korvex
