#pragma once
// Draws a diagram record into a picture: black surface, axis labels, dotted
// grid, frame, legends, then the curves clipped to the plot (reference,
// capacitor and fitted-circuit curves after the ten data curves). Positions
// come from the core's axis functions; this file only paints.
#include <QColor>
#include <QPainter>

#include "diagram/diagram.h"
#include "diagram/diagram_axes.h"

namespace korvex::gui {

// Colour of curve i and of reference curve i.
QColor DiagramCurveColour(int index);

// Lays the diagram out for `size`, computes its axes (written to *axes when
// given) and draws it. The record is a private snapshot: no lock is taken.
void DrawDiagramPicture(QPainter& painter, QSize size, Diagram* diagram, DiagramAxes* axes = nullptr);

// The read-out beside the mouse at (px, py); nothing outside the plot.
void DrawDiagramReadout(QPainter& painter, const Diagram& diagram, QPoint at);

}  // namespace korvex::gui
