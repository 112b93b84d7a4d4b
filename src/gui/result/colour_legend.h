#pragma once
// The colour legend at the right edge of the result window: the scale's
// colours from the maximum (top) to the minimum (bottom), both values and
// the unit. Shown or hidden from the View menu; the choice is kept in QSettings.
#include <QPainter>
#include <QRect>
#include <QString>

namespace korvex::gui {

// Width the legend takes at the right edge of the window.
constexpr int kColourLegendWidth = 96;

// Draws the legend into `area` (normally the right kColourLegendWidth pixels).
void DrawColourLegend(QPainter& painter, const QRect& area, double minimum, double maximum, const QString& unit);

// The remembered choice (default on) and storing it.
bool ColourLegendVisible();
void SetColourLegendVisible(bool visible);

}  // namespace korvex::gui
