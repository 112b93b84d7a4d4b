// The diagram window as drawn: grid lines, curves clipped to the plot, the
// click that starts an analysis, the y unit, and pictures from a snapshot.
#include <QtTest>
#include <cmath>
#include <thread>

#include "board/settings.h"
#include "board/settings_file.h"
#include "diagram/diagram_painter.h"
#include "diagram/diagram_view.h"
#include "gui_test_support.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

const QRgb kGrid = qRgb(100, 100, 100);

// Rows strictly inside the plot that hold grid pixels.
int GridRows(const QImage& picture, const DiagramRect& plot)
{
    int rows = 0;
    for (int y = plot.top + 1; y < plot.bottom; ++y) {
        int n = 0;
        for (int x = plot.left + 1; x < plot.right; ++x) n += (picture.pixel(x, y) & 0xFFFFFF) == (kGrid & 0xFFFFFF);
        rows += n > (plot.right - plot.left) / 4;
    }
    return rows;
}

void SetCurve(Diagram* d, int index, const std::vector<std::pair<float, float>>& points)
{
    InitDiagramData(d, "Zin", index, int(points.size()));
    for (size_t i = 0; i < points.size(); ++i) SetDataPoint(d, index, int(i), points[i].first, points[i].second, 0);
}

}  // namespace

class DiagramViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() { gSettings = DefaultSettings(); }

    // How many lines each axis gets is the axes' rule, checked with them; the
    // window draws every line it is given, the lowest on the frame.
    void gridLinesOfTheAxesAreDrawn()
    {
        Diagram d;
        InitDiagram(&d, nullptr);
        d.YAxis = kYAxisDb, d.fMinY = 0.01f, d.fMaxY = 1.0f;  // two decades: 8 lines
        DiagramView view(&d);
        view.resize(500, 440);
        const QImage picture = view.Picture();
        QCOMPARE(GridRows(picture, view.Snapshot().rectPlot), 8 - 1);
    }

    void zeroMagnitudeIsClippedAtTheBottom()
    {
        Diagram d;
        InitDiagram(&d, nullptr);
        d.YAxis = kYAxisLog, d.bLogX = 1, d.fMinY = 0.01f, d.fMaxY = 1.0f;
        SetCurve(&d, 0, {{1e6f, 0.1f}, {1e7f, 0.0f}, {1e8f, 0.1f}, {1e9f, 0.1f}});
        DiagramView view(&d);
        view.resize(600, 400);
        const QImage picture = view.Picture();
        const DiagramRect& r = view.Snapshot().rectPlot;
        const QColor colour = DiagramCurveColour(0);
        const QRect plot(QPoint(r.left, r.top), QPoint(r.right, r.bottom));
        const int inside = CountColour(picture, plot, colour);
        QVERIFY(inside > 100);
        QCOMPARE(CountColour(picture, QRect(0, r.bottom + 1, 600, 400), colour), 0);
        QVERIFY(CountColour(picture, QRect(r.left, r.bottom - 2, r.right - r.left, 2), colour) > 0);
        // Legend in the curve's colour above the plot.
        QVERIFY(CountColour(picture, QRect(r.left, 0, 100, r.top), colour) > 5);
    }

    void yUnitFollowsTheCurvesShown()
    {
        const struct {
            std::vector<const char*> curves;
            unsigned axis;
            const char* given;
            const char* expected;
        } cases[] = {
            {{"Zin(i000)"}, kYAxisLog, "", "Ohm"},
            {{"Zin(i000)", "Zin(i001)", "Stimulus"}, kYAxisLog, "", "Ohm, A"},
            {{"S21(v1)"}, kYAxisLinear, "", ""},
            {{"Zin(i000)"}, kYAxisDb, "", "dB"},
            {{"Current Stimulus", "Voltage Response"}, kYAxisSignedLinear, "A", "A"},
            {{}, kYAxisLog, "", ""},
        };
        for (const auto& c : cases) {
            Diagram d;
            InitDiagram(&d, nullptr);
            d.YAxis = c.axis;
            for (size_t i = 0; i < c.curves.size(); ++i) InitDiagramData(&d, c.curves[i], int(i), 3);
            DiagramUnits units;
            units.y = c.given;
            QCOMPARE(DiagramYUnit(d, units), QString(c.expected));
        }
        // A hidden curve does not count.
        Diagram d;
        InitDiagram(&d, nullptr);
        InitDiagramData(&d, "Zin(i000)", 0, 3);
        InitDiagramData(&d, "V(port1)", 1, 3);
        d.Curve[0].bValid = 0;
        QCOMPARE(DiagramYUnit(d, {}), QString("V"));
    }

    void clickStartsTheAnalysisOfTheClickModeAtThatFrequency()
    {
        Diagram d;
        InitDiagram(&d, nullptr);
        d.bLogX = 1;  // 1 MHz ... 1 GHz, three decades
        DiagramView view(&d);
        view.resize(654, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Redraw();
        const DiagramRect r = view.Snapshot().rectPlot;
        QVERIFY(r.left >= 54);  // further right when the y labels need it
        QCOMPARE(r.right, 654 - 3);
        const int px = r.left + (r.right - r.left) * 2 / 3;  // two decades in: 100 MHz
        const double expected = std::pow(10.0, 6.0 + (px - r.left) * 3.0 / (r.right - r.left));
        auto click = [&view](QPoint at) {
            QTest::mouseMove(&view, at);
            QTest::mouseClick(&view, Qt::LeftButton, {}, at);
        };
        const QPoint inside(px, (r.top + r.bottom) / 2);
        const struct {
            uint32_t mode;
            int command;
        } cases[] = {{0, 9095}, {1, 9087}, {2, 9090}};
        for (const auto& c : cases) {
            gSettings.DiagramClickMode = c.mode;
            gSettings.ZinDistributionFrequency = 0;
            QSignalSpy spy(&view, &DiagramView::AnalysisRequested);
            click(inside);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy[0][0].toInt(), c.command);
            QVERIFY2(std::abs(gSettings.ZinDistributionFrequency / expected - 1) < 1e-4,
                     qPrintable(QString::number(gSettings.ZinDistributionFrequency)));
        }
        // Outside the frame nothing starts.
        QSignalSpy spy(&view, &DiagramView::AnalysisRequested);
        click(QPoint(r.left - 10, r.top + 5));
        QCOMPARE(spy.count(), 0);
        // A diagram over time starts nothing and leaves the frequency setting alone.
        view.SetUnits(DiagramUnits{"s", "A", "V", false});
        gSettings.ZinDistributionFrequency = 5;
        click(inside);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(gSettings.ZinDistributionFrequency, 5.0);
    }

    void picturesComeFromASnapshot()
    {
        Diagram d;
        InitDiagram(&d, nullptr);
        d.YAxis = kYAxisLinear, d.fMinY = 0, d.fMaxY = 1;
        SetCurve(&d, 0, {{1e6f, 0.5f}, {1e9f, 0.5f}});
        DiagramView view(&d);
        view.resize(500, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Redraw();
        const QColor second = DiagramCurveColour(1);
        QCOMPARE(CountColour(view.grab().toImage(), view.rect(), second), 0);

        // A worker fills a second curve and announces it; the window redraws
        // later on its own thread, the worker does not wait for that.
        std::thread worker([&d] {
            SetCurve(&d, 1, {{1e6f, 0.2f}, {1e9f, 0.8f}});
            UpdateDiagram(&d);
        });
        worker.join();
        QTRY_VERIFY(CountColour(view.grab().toImage(), view.rect(), second) > 50);
    }
};

QTEST_MAIN(DiagramViewTest)
#include "diagram_view_test.moc"
