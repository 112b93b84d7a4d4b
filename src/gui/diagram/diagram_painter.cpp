#include "diagram/diagram_painter.h"

#include <QPainterPath>
#include <cmath>

#include "diagram/diagram_csv.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

const QColor kCurveColours[kDiagramCurves] = {{150, 150, 255}, {0, 255, 0},   {0, 255, 255}, {255, 0, 0},
                                              {255, 0, 255},   {255, 255, 0}, {255, 255, 255}, {0, 0, 127},
                                              {0, 127, 0},     {0, 127, 127}};
const QColor kGrey(175, 175, 175);

QFont DiagramFont(int height, int width)
{
    QFont font("Times New Roman");
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(height);
    // The record gives an average character width; a stretch brings the
    // serif font close to it (a width of a third of the height is normal).
    font.setStretch(std::clamp(int(100.0 * width * 3 / height), 50, 200));
    return font;
}

// Polyline of a curve, or vertical lines from the bottom edge (Style 1,
// always on the logarithmic scale).
void DrawCurve(QPainter& p, const Diagram& d, const DiagramAxes& axes, const DiagramCurve& c, const QPen& pen)
{
    if (!c.bValid || !DiagramCurveHasData(c)) return;
    p.setPen(pen);
    const bool secondary = d.bSecondaryY && c.bSecondaryAxis;
    auto valuePixel = [&](int i) {
        const float v = DiagramPlotValue(d, c, i);
        return secondary ? DiagramSecondaryValueToPixel(d, axes, v) : DiagramValueToPixel(d, axes, v, c.Style == 1);
    };
    if (c.Style == 1) {
        for (int i = 0; i < c.PointCount; ++i) {
            const float x = DiagramXToPixel(d, axes, c.pX[i]);
            p.drawLine(QPointF(x, d.rectPlot.bottom), QPointF(x, valuePixel(i)));
        }
        return;
    }
    QPolygonF line;
    line.reserve(c.PointCount);
    for (int i = 0; i < c.PointCount; ++i) {
        const QPointF point(DiagramXToPixel(d, axes, c.pX[i]), valuePixel(i));
        // Far-off points (magnitude 0 on a log axis sits at 1e-20) are kept
        // finite, so the clipped line still runs towards them.
        line << QPointF(std::clamp(point.x(), -1e6, 1e6), std::clamp(point.y(), -1e6, 1e6));
    }
    p.drawPolyline(line);
}

}  // namespace

QColor DiagramCurveColour(int index)
{
    return kCurveColours[((index % kDiagramCurves) + kDiagramCurves) % kDiagramCurves];
}

QString DiagramYUnit(const Diagram& d, const DiagramUnits& units)
{
    if (!units.y.isEmpty()) return units.y;
    if (d.YAxis == kYAxisDb) return "dB";
    QStringList found;
    auto add = [&](const DiagramCurve& c) {
        if (!c.bValid || !DiagramCurveHasData(c)) return;
        const std::string unit = DiagramCurveUnit(c.szName);
        const QString shown = unit == "ohm" ? QString("Ohm") : QString::fromStdString(unit);
        if (!shown.isEmpty() && !found.contains(shown)) found << shown;
    };
    for (const DiagramCurve& c : d.Curve) add(c);
    for (const DiagramCurve& c : d.RefCurve) add(c);
    add(d.CapCurve), add(d.SpiceCurve);
    return found.join(", ");
}

namespace {

QString YLabelText(const Diagram& d, const DiagramTick& t)
{
    return d.YAxis == kYAxisDb ? QString::number(int(std::lround(t.Value))) : NumberText(t.Value);
}

}  // namespace

void LayOutDiagram(Diagram* d, QSize size, DiagramAxes* axes)
{
    SetDiagramLayout(d, size.width(), size.height());
    ComputeDiagramAxes(d, axes);
    // The plot moves right when a y label ("-800m") needs more room than the margin gives.
    const QFontMetrics metrics(DiagramFont(d->FontHeight, d->FontWidth));
    int widest = 0;
    for (const DiagramTick& t : DiagramYLabels(*d, *axes))
        widest = std::max(widest, metrics.horizontalAdvance(YLabelText(*d, t)));
    const int left = widest + 2 * int(d->Margin);
    if (left > d->rectPlot.left && left < d->rectPlot.right - 20) {
        d->rectPlot.left = left;
        ComputeDiagramAxes(d, axes);
    }
}

void DrawDiagramPicture(QPainter& p, QSize size, Diagram* d, DiagramAxes* axesOut, const DiagramUnits& units)
{
    DiagramAxes axes;
    LayOutDiagram(d, size, &axes);
    if (axesOut != nullptr) *axesOut = axes;
    const DiagramRect& r = d->rectPlot;
    const QRect plot(QPoint(r.left, r.top), QPoint(r.right, r.bottom));
    p.fillRect(QRect(QPoint(0, 0), size), Qt::black);
    p.setFont(DiagramFont(d->FontHeight, d->FontWidth));
    p.setPen(kGrey);
    const int margin = int(d->Margin), fh = int(d->FontHeight);

    for (const DiagramTick& t : DiagramYLabels(*d, axes)) {
        const QString text = YLabelText(*d, t);
        const int base = int(t.Pixel) + fh / 2;
        p.drawText(QRect(0, base - fh, r.left - margin, fh), Qt::AlignRight | Qt::AlignBottom, text);
    }
    if (d->bSecondaryY && d->fGridY2 > 0 && d->fMaxY2 > d->fMinY2) {
        const int n = std::min(int((d->fMaxY2 - d->fMinY2) / d->fGridY2), kDiagramMaxGridLines);
        const int fit = std::max(plot.height() / std::max(fh, 1), 1);
        for (int i = 0; i <= n; i += n / fit + 1) {
            const float v = d->fMinY2 + i * d->fGridY2;
            const int base = int(DiagramSecondaryValueToPixel(*d, axes, v)) + fh / 2;
            p.drawText(QRect(r.right - 4 * fh, base - fh, 4 * fh - margin, fh), Qt::AlignRight | Qt::AlignBottom,
                       NumberText(v));
        }
    }
    const std::vector<DiagramTick> xLabels = DiagramXLabels(*d, axes);
    const QFontMetrics metrics = p.fontMetrics();
    // From the right: the last label carries the unit, every label stays inside
    // the picture, and one that would touch its right neighbour is left out.
    int free = size.width() - margin;
    for (size_t i = xLabels.size(); i-- > 0;) {
        const QString text = NumberText(xLabels[i].Value) + (i + 1 == xLabels.size() ? units.x : QString());
        const int w = metrics.horizontalAdvance(text) + 2;
        const int x = std::clamp(int(xLabels[i].Pixel) - w / 2, 0, std::max(size.width() - margin - w, 0));
        if (x + w > free) continue;
        p.drawText(QRect(x, r.bottom + margin, w, fh), Qt::AlignHCenter | Qt::AlignTop, text);
        free = x - metrics.horizontalAdvance(' ');
    }
    // The y units above their labels, left and (secondary axis) right of the legends.
    p.drawText(QRect(0, margin, std::max(r.left - margin, 1), fh), Qt::AlignRight | Qt::AlignBottom,
               DiagramYUnit(*d, units));
    if (d->bSecondaryY && !units.y2.isEmpty())
        p.drawText(QRect(r.right - 4 * fh, margin, 4 * fh, fh), Qt::AlignRight | Qt::AlignBottom, units.y2);

    p.setPen(QPen(QColor(100, 100, 100), 1, Qt::DotLine));
    for (const DiagramTick& t : DiagramYGridLines(*d, axes)) p.drawLine(QPointF(r.left, t.Pixel), QPointF(r.right, t.Pixel));
    for (const DiagramTick& t : DiagramXGridLines(*d, axes)) p.drawLine(QPointF(t.Pixel, r.top), QPointF(t.Pixel, r.bottom));
    p.setPen(QPen(kGrey, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);

    // Legends 100 pixels apart, further where a name is longer.
    auto legends = [&](const DiagramCurve* curves, int count, int baseline) {
        int x = r.left;
        for (int i = 0; i < count; ++i)
            if (curves[i].bValid) {
                const QString name = QString::fromUtf8(curves[i].szName);
                x = std::max(x, r.left + 100 * i);
                p.setPen(kCurveColours[i]);
                p.drawText(x, baseline, name);
                x += metrics.horizontalAdvance(name) + metrics.horizontalAdvance("  ");
            }
    };
    legends(d->Curve, kDiagramCurves, margin + fh);
    legends(d->RefCurve, kDiagramRefCurves, margin + 2 * fh);

    p.save();
    p.setClipRect(plot);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < kDiagramCurves; ++i) DrawCurve(p, *d, axes, d->Curve[i], QPen(kCurveColours[i], 2));
    for (int j = 0; j < kDiagramRefCurves; ++j) DrawCurve(p, *d, axes, d->RefCurve[j], QPen(kCurveColours[j], 2));
    DrawCurve(p, *d, axes, d->CapCurve, QPen(QColor(255, 100, 100), 1));
    DrawCurve(p, *d, axes, d->SpiceCurve, QPen(QColor(255, 100, 255), 2));
    p.restore();
}

QStringList DiagramPlainReadout(const Diagram& d, QPoint at, const DiagramUnits& units)
{
    DiagramReadout readout;
    if (DiagramReadoutAt(d, at.x(), at.y(), &readout) != 0) return {};
    QStringList lines{NumberText(readout.Frequency) + units.x + " " + NumberText(readout.Value) + units.y};
    const DiagramRect& r = d.rectPlot;
    if (d.bSecondaryY && r.bottom > r.top) {
        const double v2 = d.fMinY2 + double(r.bottom - at.y()) * (d.fMaxY2 - d.fMinY2) / (r.bottom - r.top);
        lines << NumberText(v2) + units.y2;
    }
    return lines;
}

void DrawDiagramReadout(QPainter& p, const Diagram& d, QPoint at, const DiagramUnits& units)
{
    QStringList lines;
    bool rightAligned = false;
    if (units.frequency) {
        DiagramReadout readout;
        if (DiagramReadoutAt(d, at.x(), at.y(), &readout) != 0) return;
        const DiagramReadoutText text = FormatDiagramReadout(d, readout, at.x());
        lines << QString::fromStdString(text.Line1);
        if (!text.Line2.empty()) lines << QString::fromStdString(text.Line2);
        rightAligned = text.RightAligned;
    } else {
        lines = DiagramPlainReadout(d, at, units);
        rightAligned = at.x() > d.rectPlot.right - 180;
    }
    if (lines.isEmpty()) return;
    QFont font("Times New Roman");
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(20);
    font.setStretch(80);
    p.setFont(font);
    p.setPen(QColor(0, 162, 232));
    const QFontMetrics metrics(font);
    auto draw = [&](const QString& s, int baseline) {
        const int x = rightAligned ? at.x() - 3 - metrics.horizontalAdvance(s) : at.x() + 3;
        p.drawText(x, baseline, s);
    };
    if (lines.size() == 1) {
        draw(lines[0], at.y() - 1);
    } else {
        draw(lines[0], at.y() - 16);
        draw(lines[1], at.y() - 1);
    }
}

}  // namespace korvex::gui
