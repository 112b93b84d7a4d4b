#include "result/colour_legend.h"

#include <QSettings>
#include <cmath>

#include "util/tempscale.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

const char* const kLegendKey = "ResultWindow/ColourLegend";

// A range end that only differs from zero by solver round-off (far below the
// smallest prefix) reads "0", not "-0p".
QString LegendNumber(double value)
{
    return NumberText(std::fabs(value) < 5e-16 ? 0.0 : value);
}

}  // namespace

void DrawColourLegend(QPainter& p, const QRect& area, double minimum, double maximum, const QString& unit)
{
    p.save();
    p.fillRect(area, QColor(24, 24, 24));
    QFont font(p.font());
    font.setPixelSize(12);
    p.setFont(font);
    const int textHeight = 16;
    const QRect bar(area.left() + 8, area.top() + textHeight + 8, 20, std::max(area.height() - 2 * textHeight - 16, 1));
    for (int row = 0; row < bar.height(); ++row) {
        const double t = bar.height() > 1 ? 1.0 - double(row) / (bar.height() - 1) : 1.0;
        const ColourRGB c = Tempscale(t);
        p.setPen(QColor(c.R, c.G, c.B));
        p.drawLine(bar.left(), bar.top() + row, bar.right(), bar.top() + row);
    }
    p.setPen(QColor(175, 175, 175));
    p.setBrush(Qt::NoBrush);
    p.drawRect(bar.adjusted(-1, -1, 0, 0));  // around the bar, leaving its end colours whole
    const int textLeft = bar.right() + 6;
    const QRect top(textLeft, area.top() + 4, area.right() - textLeft, textHeight);
    const QRect bottom(textLeft, area.bottom() - textHeight - 4, area.right() - textLeft, textHeight);
    const QRect middle(textLeft, bar.center().y() - textHeight / 2, area.right() - textLeft, textHeight);
    p.drawText(top.translated(-bar.width() - 6, 0).adjusted(0, 0, bar.width() + 6, 0), Qt::AlignLeft | Qt::AlignVCenter,
               "max " + LegendNumber(maximum));
    p.drawText(bottom.translated(-bar.width() - 6, 0).adjusted(0, 0, bar.width() + 6, 0),
               Qt::AlignLeft | Qt::AlignVCenter, "min " + LegendNumber(minimum));
    p.drawText(middle, Qt::AlignLeft | Qt::AlignVCenter, unit);
    p.restore();
}

bool ColourLegendVisible()
{
    return QSettings().value(kLegendKey, true).toBool();
}

void SetColourLegendVisible(bool visible)
{
    QSettings().setValue(kLegendKey, visible);
}

}  // namespace korvex::gui
