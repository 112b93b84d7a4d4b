#pragma once
// Rendering of the result window: the colour map of one raster (one pixel per
// element; elements without copper stay transparent so the window's
// background shows there) and the picture of the window with the map
// stretched into the view, the current arrows and the board outline.
#include <QImage>
#include <QPainter>

#include "board/sim_matrix.h"
#include "edit/view_transform.h"
#include "result/result_range.h"

namespace korvex::gui {

// Colour of the window where there is no copper or no board; distinct from
// black, which is the colour of the minimum value.
inline QColor ResultBackgroundColour() { return QColor(40, 44, 52); }

// The map of the active layer, ARGB32, cx x cy; null when the raster is missing.
// `reuse` (a former map no longer needed) lends its memory when it fits.
QImage RenderResultMatrix(const SimMatrix& board, int show, int layer, const ResultRange& range, QImage reuse = {});

// Background, map, arrows (current density only) and the board outline.
void DrawResultPicture(QPainter& painter, QSize client, const SimMatrix& board, const QImage& matrix,
                       const BoardView& view, int show, int layer);

// The direction arrows of the current density: about one every 20 pixels,
// at least one per element, no heads.
void DrawCurrentArrows(QPainter& painter, const SimMatrix& board, const BoardView& view, int layer);

}  // namespace korvex::gui
