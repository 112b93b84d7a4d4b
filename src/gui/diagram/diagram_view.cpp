#include "diagram/diagram_view.h"

#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <vector>

#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

const QColor kCurveColours[] = {Qt::yellow, Qt::cyan, Qt::magenta, Qt::green, QColor(255, 128, 0),
                                Qt::white,  Qt::red,  Qt::blue,    Qt::gray,  QColor(128, 255, 128)};

double Magnitude(float y, float z, unsigned yAxis)
{
    const double m = std::hypot(double(y), double(z));
    if (yAxis == kYAxisDb) return m > 0 ? 20 * std::log10(m) : NAN;
    if (yAxis == kYAxisLog) return m > 0 ? std::log10(m) : NAN;
    if (yAxis == kYAxisSignedLinear) return y;
    return m;
}

}  // namespace

DiagramView::DiagramView(Diagram* diagram, QWidget* parent) : QWidget(parent), diagram_(diagram)
{
    setMinimumSize(100, 80);
    std::lock_guard<std::mutex> lock(diagram_->Lock);
    diagram_->hWnd = this;
}

DiagramView::~DiagramView()
{
    std::lock_guard<std::mutex> lock(diagram_->Lock);
    if (diagram_->hWnd == this) diagram_->hWnd = nullptr;
}

void DiagramView::DiagramChanged(Diagram&)
{
    QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void DiagramView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QRect plot = rect().adjusted(60, 10, -10, -30);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(plot);

    std::lock_guard<std::mutex> lock(diagram_->Lock);
    const bool logX = diagram_->bLogX != 0;
    const unsigned yAxis = diagram_->YAxis;
    std::vector<const DiagramCurve*> curves;
    for (const DiagramCurve& c : diagram_->Curve)
        if (DiagramCurveHasData(c)) curves.push_back(&c);
    for (const DiagramCurve& c : diagram_->RefCurve)
        if (DiagramCurveHasData(c)) curves.push_back(&c);
    if (DiagramCurveHasData(diagram_->CapCurve)) curves.push_back(&diagram_->CapCurve);
    if (DiagramCurveHasData(diagram_->SpiceCurve)) curves.push_back(&diagram_->SpiceCurve);
    if (curves.empty()) {
        p.setPen(Qt::white);
        p.drawText(plot, Qt::AlignCenter, "No curves");
        return;
    }
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    auto fx = [logX](float x) { return logX ? (x > 0 ? std::log10(double(x)) : NAN) : double(x); };
    for (const DiagramCurve* c : curves)
        for (int i = 0; i < c->PointCount; ++i) {
            const double x = fx(c->pX[i]), y = Magnitude(c->pY[i], c->pZ[i], yAxis);
            if (!std::isfinite(x) || !std::isfinite(y)) continue;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    if (!(x1 > x0)) x1 = x0 + 1;
    if (!(y1 > y0)) y1 = y0 + 1;
    auto toScreen = [&](double x, double y) {
        return QPointF(plot.left() + (x - x0) / (x1 - x0) * plot.width(),
                       plot.bottom() - (y - y0) / (y1 - y0) * plot.height());
    };
    int colour = 0;
    int legendY = plot.top() + 12;
    for (const DiagramCurve* c : curves) {
        QPainterPath path;
        bool started = false;
        for (int i = 0; i < c->PointCount; ++i) {
            const double x = fx(c->pX[i]), y = Magnitude(c->pY[i], c->pZ[i], yAxis);
            if (!std::isfinite(x) || !std::isfinite(y)) continue;
            const QPointF s = toScreen(x, y);
            if (started) path.lineTo(s);
            else path.moveTo(s), started = true;
        }
        const QColor col = kCurveColours[colour++ % 10];
        p.setPen(col);
        p.drawPath(path);
        p.drawText(plot.left() + 8, legendY, QString::fromUtf8(c->szName));
        legendY += 14;
    }
    p.setPen(Qt::white);
    auto xText = [logX](double v) { return NumberText(logX ? std::pow(10.0, v) : v) + "Hz"; };
    auto yText = [yAxis](double v) {
        if (yAxis == kYAxisDb) return QString::asprintf("%.1f dB", v);
        return NumberText(yAxis == kYAxisLog ? std::pow(10.0, v) : v);
    };
    p.drawText(plot.left(), plot.bottom() + 18, xText(x0));
    p.drawText(plot.right() - 60, plot.bottom() + 18, xText(x1));
    p.drawText(2, plot.bottom(), yText(y0));
    p.drawText(2, plot.top() + 10, yText(y1));
}

}  // namespace korvex::gui
