#pragma once
// The drawing of the edit window: the copper raster into the matrix image (one
// pixel per element), that image scaled into the view, every part with its
// symbol and labels, the board outline and the mesh overlay.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <algorithm>

#include "board/sim_matrix.h"
#include "edit/view_transform.h"
#include "mesh/mesh_model.h"

namespace korvex::gui {

// Part colours.
inline const QColor kSelectedColour(255, 0, 0);
inline const QColor kHighlightColour(0, 255, 255);
inline const QColor kPartColour(0, 200, 50);
inline const QColor kCopperColour(200, 200, 200);

// Element rectangle with exclusive right and bottom (after normalisation).
struct ElementRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // The box of two points (in any order), grown by `margin` on every side.
    static ElementRect Around(QPoint a, QPoint b, int margin)
    {
        return {std::min(a.x(), b.x()) - margin, std::min(a.y(), b.y()) - margin, std::max(a.x(), b.x()) + margin,
                std::max(a.y(), b.y()) + margin};
    }
    // The smallest box holding both (an empty one counts as nothing).
    ElementRect United(const ElementRect& o) const
    {
        if (IsEmpty()) return o;
        if (o.IsEmpty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
    }
};

// Re-rasterises `rect` of the board (inclusive corners in any order; all zero:
// the whole board) into `matrix`: active-layer copper light grey, else, when
// `showOtherLayers`, the number n of layers with copper as RGB(25n, 25n, 10n).
void DrawMatrix(QImage& matrix, const SimMatrix& board, int activeLayer, ElementRect rect, bool showOtherLayers);

// The background: black, the visible part of the matrix image scaled into the
// view, the parts (the selected one in the selection colour), the board outline.
// A non-empty `clip` redraws only that client rectangle.
void DrawBackground(QImage& background, const QImage& matrix, const SimMatrix& board, const BoardView& view,
                    int activeLayer, const Part* selected, const QRect& clip = {});

// The visible part of the matrix image scaled into the view, so that element
// (x, y) lands at (X(x), Y(y)) wherever the view starts.
void DrawMatrixIntoView(QPainter& painter, const QImage& matrix, const SimMatrix& board, const BoardView& view);

// Every part in list order, none highlighted.
void DrawParts(QPainter& painter, const SimMatrix& board, const BoardView& view, int activeLayer, const Part* selected);
// One part; -1 for a null part, else 0.
int DrawPart(QPainter& painter, const SimMatrix& board, const Part* part, const BoardView& view, int activeLayer,
             bool highlighted, bool selected);

// One drawing command of a part symbol (millimetres about the anchor, y up).
struct VectorCommand {
    uint32_t opcode;  // 0 line, 1 rectangle, 2 ellipse, 3 pen (width a), 4 solid brush, 5 hollow brush
    uint32_t colour;  // 0x00BBGGRR
    float a, b, c, d;
};
extern const VectorCommand V_Cap[6];
extern const VectorCommand V_SubCircuit[6];
extern const VectorCommand V_Port[5];
extern const VectorCommand V_GND[3];
// Interprets a symbol at the anchor; scale in pixels per millimetre.
void VDraw(QPainter& painter, int anchorX, int anchorY, double scale, const VectorCommand* commands, int count,
           bool highlighted, bool selected);

// The mesh overlay: every node's rectangle, and one node in its own colour.
void DrawMesh(QPainter& painter, const Mesh& mesh, const BoardView& view);
int DrawNode(QPainter& painter, const Mesh* mesh, const MeshNode* node, const BoardView& view);

// The capacitor label: "C3  100nF 10mOhm 1nH".
QString CapacitorLabel(const Cap& cap);

}  // namespace korvex::gui
