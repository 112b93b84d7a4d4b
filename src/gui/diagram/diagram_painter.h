#pragma once
// Draws a diagram record into a picture: black surface, axis labels, dotted
// grid, frame, legends, then the curves clipped to the plot (reference,
// capacitor and fitted-circuit curves after the ten data curves). Positions
// come from the core's axis functions; this file only paints.
#include <QColor>
#include <QPainter>
#include <QStringList>

#include "diagram/diagram.h"
#include "diagram/diagram_axes.h"

namespace korvex::gui {

// Colour of curve i and of reference curve i.
QColor DiagramCurveColour(int index);

// The units a diagram's axes are labelled with.
struct DiagramUnits {
    QString x = "Hz";
    QString y;   // empty: the units of the curves shown ("dB" on a dB axis)
    QString y2;  // secondary axis
    // Frequency diagrams read out impedance with C and L and start an
    // analysis on a click; others (time) read out plain values.
    bool frequency = true;
};

// The y axis' unit: units.y when given, "dB" on a dB axis, else the distinct
// units of the curves shown, in curve order ("Ohm", "Ohm, A"; none for ratios).
QString DiagramYUnit(const Diagram& diagram, const DiagramUnits& units);

// The layout of a picture of `size`: rectPlot (widened on the left for long
// y labels) and the axes.
void LayOutDiagram(Diagram* diagram, QSize size, DiagramAxes* axes);

// Lays the diagram out for `size`, computes its axes (written to *axes when
// given) and draws it. The record is a private snapshot: no lock is taken.
void DrawDiagramPicture(QPainter& painter, QSize size, Diagram* diagram, DiagramAxes* axes = nullptr,
                        const DiagramUnits& units = {});

// The read-out beside the mouse at (px, py); nothing outside the plot.
void DrawDiagramReadout(QPainter& painter, const Diagram& diagram, QPoint at, const DiagramUnits& units = {});

// The read-out lines of a diagram that is not over frequency: "<x><unit>
// <y><unit>" and, with a secondary axis, "<y2><unit>". Empty outside the plot.
QStringList DiagramPlainReadout(const Diagram& diagram, QPoint at, const DiagramUnits& units);

}  // namespace korvex::gui
