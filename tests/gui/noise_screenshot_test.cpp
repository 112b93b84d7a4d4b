// The time-domain noise dialog on a (virtual) X server: its diagram is
// captured from the screen and kept as PNG in the build folder. The picture
// must show the current and the voltage curve, the grid, the labels of both
// axes with their units, and the voltage drawn on the second axis' scale.
#include <QScreen>
#include <QtTest>
#include <algorithm>

#include "board/part_records.h"
#include "diagram/diagram_painter.h"
#include "diagram/diagram_view.h"
#include "dialogs/voltage_noise_time_dialog.h"
#include "gui_test_support.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

bool IsColour(QRgb pixel, QColor colour)
{
    return (pixel & 0xFFFFFF) == (colour.rgb() & 0xFFFFFF);
}

// Highest and lowest row holding the colour inside the area.
std::pair<int, int> RowsOf(const QImage& image, const QRect& area, QColor colour)
{
    int top = image.height(), bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (IsColour(image.pixel(x, y), colour)) top = std::min(top, y), bottom = std::max(bottom, y);
    return {top, bottom};
}

}  // namespace

class NoiseScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void timeDiagramShowsBothSignalsOnTheirAxes()
    {
        auto doc = NewDocument(2);
        Port port;
        AddPart(&doc->Board(), PART_PORT, &port);
        VoltageNoiseTimeParam p;
        p.DivYSec = 0.05f;  // the voltage axis spans +-0.25 V
        Diagram& main = doc->DiagramRecord();
        InitDiagramData(&main, "Zin(i000)", 0, p.nHarmonics);
        for (int h = 1; h <= p.nHarmonics; ++h) SetDataPoint(&main, 0, h - 1, h / p.T, 0.2f, 0);

        VoltageNoiseTimeDialog dialog(&p, doc->Environment(), nullptr);
        dialog.resize(1100, 650);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(400);
        DiagramView* view = dialog.TimeView();
        const QImage picture = GrabFromScreen(view, QString(KORVEX_SCREENSHOT_DIR) + "/korvex-noise-time-diagram.png");

        const DiagramRect r = view->Snapshot().rectPlot;
        const QRect plot(QPoint(r.left + 1, r.top + 1), QPoint(r.right - 1, r.bottom - 1));
        QVERIFY2(CountColour(picture, plot, DiagramCurveColour(0)) > (r.right - r.left) / 2, "current curve");
        QVERIFY2(CountColour(picture, plot, DiagramCurveColour(1)) > (r.right - r.left) / 2, "voltage curve");
        QVERIFY2(CountColour(picture, plot, QColor(100, 100, 100)) > 200, "grid");
        const QColor grey(175, 175, 175);
        QVERIFY2(CountColour(picture, QRect(0, r.top, r.left - 1, r.bottom - r.top), grey) > 30, "current labels");
        QVERIFY2(CountColour(picture, QRect(r.right - 60, r.top + 4, 58, r.bottom - r.top - 8), grey) > 30,
                 "voltage labels");
        QVERIFY2(CountColour(picture, QRect(0, 0, r.left, r.top), grey) > 5, "current unit");
        QVERIFY2(CountColour(picture, QRect(r.right - 60, 0, 60, r.top), grey) > 5, "voltage unit");
        // The last time label with its unit stays inside the picture.
        const QRect bottomRow(0, r.bottom + 2, picture.width(), picture.height() - r.bottom - 2);
        QVERIFY2(CountColour(picture, QRect(picture.width() - 40, r.bottom + 2, 40, bottomRow.height()), grey) > 10,
                 "last x label");

        // The voltage (-0.2 Ohm times the current) is drawn on the second axis:
        // its extremes lie where that axis' linear scale puts them.
        const DiagramCurve& v = view->Snapshot().Curve[1];
        const auto [lo, hi] = std::minmax_element(v.pY, v.pY + v.PointCount);
        auto row = [&](float value) { return r.bottom - (value + 0.25f) / 0.5f * (r.bottom - r.top); };
        const auto [top, bottom] = RowsOf(picture, plot, DiagramCurveColour(1));
        QVERIFY2(std::abs(top - row(*hi)) <= 3 && std::abs(bottom - row(*lo)) <= 3,
                 qPrintable(QString("voltage rows %1..%2, expected %3..%4").arg(top).arg(bottom).arg(row(*hi)).arg(row(*lo))));
    }
};

QTEST_MAIN(NoiseScreenshotTest)
#include "noise_screenshot_test.moc"
