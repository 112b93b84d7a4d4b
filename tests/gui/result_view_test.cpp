// The result window: value ranges of the four views, the colour map (black
// for the minimum, background where there is no copper), the read-out texts
// with their units, the mirrored cross, the current arrows and the legend.
#include <QSettings>
#include <QtTest>

#include "board/settings.h"
#include "board/settings_file.h"
#include "gui_test_support.h"
#include "result/colour_legend.h"
#include "result/result_painter.h"
#include "result/result_view.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

// The brightest and the darkest colour of the scale, from its table.
const QRgb kTop = qRgb(255, 230, 173);
const QRgb kBlack = qRgb(0, 0, 0);

void Fill(const SimMatrix& b, float*** raster, float value)
{
    for (uint32_t x = 0; x < b.CountPixelX; ++x)
        for (uint32_t y = 0; y < b.CountPixelY; ++y)
            for (int l = 0; l < b.LayerCount; ++l) raster[x][y][l] = value;
}

}  // namespace

class ResultViewTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        gSettings = DefaultSettings();
        QSettings().clear();
    }

    void valueTextsCarryTheirUnits()
    {
        const struct {
            int show;
            double value;
            const char* text;
        } cases[] = {
            {kShowVoltage, 1.5, "1.500 V"},
            {kShowVoltage, 1.0, "1000.000 mV"},  // exactly 1 V is not above 1
            {kShowVoltage, 0.0005, "500.000 uV"},
            {kShowVoltage, 1e-7, "0.000 V"},
            {kShowVoltage, -0.25, "-0.250 V"},
            {kShowCurrentDensity, 20.0, "2.000e+01 A/mm"},  // 20 A/m^2 / 1 mm pitch * 1e-3
            {kShowTemperature, 25.0, "25.00 °C"},
            {kShowZin, 0.123, "0.12 Ohm"},
        };
        for (const auto& c : cases)
            QCOMPARE(ResultValueText(c.show, c.value, 1e-3), QString::fromUtf8(c.text));
        QCOMPARE(ResultPositionText(10, 20, 1e-3, 0.5e-3), QString("(10.00, 10.00) mm"));
    }

    void rangesFollowTheView()
    {
        auto doc = test::NewDocument(2);
        const SimMatrix& b = doc->Board();
        for (float*** r : {b.VoltageMatrix, b.CurrentDensityMatrix, b.TemperatureMatrix, b.ZinMatrix}) {
            Fill(b, r, 1.0f);
            r[3][4][0] = 0.5f;  // smallest on layer 1
            r[5][6][1] = 3.0f;  // largest on layer 2
            r[7][8][0] = 2.0f;  // largest on layer 1
        }
        const_cast<SimMatrix&>(b).TAmbient = 0.75f;
        const struct {
            int show, layer;
            bool autoRange;
            double minimum, maximum;
        } cases[] = {
            {kShowVoltage, 0, true, 0.5, 3.0},
            {kShowCurrentDensity, 0, true, 0.5, 3.0 - 0.6 * 2.5},
            {kShowTemperature, 0, true, 0.75, 3.0},
            {kShowZin, 0, true, 0.5, 2.0},  // active layer only
            {kShowZin, 1, true, 1.0, 3.0},
            {kShowVoltage, 0, false, -1.0, 4.0},
        };
        for (const auto& c : cases) {
            const ResultRange r = ComputeResultRange(b, c.show, c.layer, c.autoRange, -1.0f, 4.0f);
            QVERIFY2(qFuzzyCompare(r.minimum, c.minimum) && qFuzzyCompare(r.maximum, c.maximum),
                     qPrintable(QString("view %1 layer %2: %3 ... %4").arg(c.show).arg(c.layer).arg(r.minimum).arg(r.maximum)));
            QVERIFY(qFuzzyCompare(r.scale, 1.0 / (c.maximum - c.minimum)));
        }
    }

    void colourMapShowsMinimumBlackAndNoCopperAsBackground()
    {
        auto doc = test::NewDocument(2);
        const SimMatrix& b = doc->Board();
        Fill(b, b.CopperMatrix, 1.0f);
        b.CopperMatrix[1][1][0] = 0.0f;
        Fill(b, b.VoltageMatrix, 0.3f);

        // A constant raster spans no range: every copper element is black.
        ResultRange range = ComputeResultRange(b, kShowVoltage, 0, true, 0, 0);
        QCOMPARE(range.scale, 1.0);
        QImage map = RenderResultMatrix(b, kShowVoltage, 0, range);
        QCOMPARE(map.pixel(5, 5), kBlack | 0xFF000000);
        QCOMPARE(qAlpha(map.pixel(1, 1)), 0);

        // Fixed Min/Max: above the maximum the top colour, below the minimum black.
        b.VoltageMatrix[2][2][0] = 5.0f;
        b.VoltageMatrix[3][3][0] = -5.0f;
        range = ComputeResultRange(b, kShowVoltage, 0, false, 0.0f, 1.0f);
        map = RenderResultMatrix(b, kShowVoltage, 0, range);
        QCOMPARE(map.pixel(2, 2) & 0xFFFFFF, kTop & 0xFFFFFF);
        QCOMPARE(map.pixel(3, 3) & 0xFFFFFF, kBlack & 0xFFFFFF);

        // Auto current density: 40 % of the range already saturates.
        Fill(b, b.CurrentDensityMatrix, 0.0f);
        b.CurrentDensityMatrix[9][9][0] = 10.0f;
        b.CurrentDensityMatrix[4][4][0] = 4.0f;
        b.CurrentDensityMatrix[6][6][0] = 3.9f;
        range = ComputeResultRange(b, kShowCurrentDensity, 0, true, 0, 0);
        map = RenderResultMatrix(b, kShowCurrentDensity, 0, range);
        QCOMPARE(map.pixel(4, 4) & 0xFFFFFF, kTop & 0xFFFFFF);
        QVERIFY((map.pixel(6, 6) & 0xFFFFFF) != (kTop & 0xFFFFFF));

        // In the window the element without copper shows the background.
        ResultView view(doc.get());
        view.resize(400, 300);
        view.SetLegendVisible(false);
        const QImage picture = view.Picture();
        const BoardView& v = view.View();
        const QPoint hole(v.X(1.5), v.Y(1.5));
        QCOMPARE(picture.pixel(hole) & 0xFFFFFF, ResultBackgroundColour().rgb() & 0xFFFFFF);
    }

    void readoutIsMirroredWithCross()
    {
        auto doc = test::NewDocument(2);
        const SimMatrix& b = doc->Board();
        Fill(b, b.CopperMatrix, 1.0f);
        Fill(b, b.VoltageMatrix, 0.2f);
        b.VoltageMatrix[40][30][0] = 1.0f;
        b.VoltageMatrix[41][30][0] = 2.0f;
        ResultView view(doc.get());
        view.resize(640, 480);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        view.ShowValueAt(QPoint(40, 30));
        QCOMPARE(view.ReadoutValue(), QString("1000.000 mV"));
        QCOMPARE(view.ReadoutPosition(), QString("(40.00, 30.00) mm"));  // 160 elements on 0.16 m
        const QImage shown = view.grab().toImage();
        const BoardView& v = view.View();
        const QPoint centre(int(v.pixelPerElement * (40.5 - v.view.left)), int(v.pixelPerElement * (30.5 - v.view.top)));
        QVERIFY(CountColour(shown, QRect(centre - QPoint(19, 1), centre + QPoint(19, 0)), qRgb(255, 255, 255)) >= 30);
        QVERIFY(CountColour(shown, QRect(centre - QPoint(1, 19), centre + QPoint(0, 19)), qRgb(255, 255, 255)) >= 30);

        // The own mouse: the element under it, shown without the cross.
        const QPoint over(v.X(41) + 1, v.Y(30) + 1);
        QTest::mouseMove(&view, over);
        QTRY_COMPARE(view.ReadoutValue(), QString("2.000 V"));
        QCOMPARE(view.ReadoutPosition(), QString("(41.00, 30.00) mm"));

        view.SetShow(kShowTemperature);
        Fill(b, b.TemperatureMatrix, 31.5f);
        view.Rebuild();
        QCOMPARE(view.ReadoutValue(), QString::fromUtf8("31.50 °C"));
    }

    void legendIsRememberedAndCurrentArrowsOnlyInTheCurrentView()
    {
        auto doc = test::NewDocument(2);
        const SimMatrix& b = doc->Board();
        Fill(b, b.CopperMatrix, 1.0f);
        Fill(b, b.CurrentXMatrix, 3.0f);
        Fill(b, b.CurrentYMatrix, 4.0f);
        Fill(b, b.CurrentDensityMatrix, 5.0f);
        Fill(b, b.TemperatureMatrix, 20.0f);
        b.TemperatureMatrix[0][0][0] = 80.0f;
        {
            ResultView view(doc.get());
            view.SetShow(kShowTemperature);
            view.resize(600, 400);
            QVERIFY(view.LegendVisible());
            const QRect strip(600 - kColourLegendWidth, 0, kColourLegendWidth, 400);
            QVERIFY(CountColour(view.Picture(), strip, kTop) > 10);
            view.SetLegendVisible(false);
            QVERIFY(CountColour(view.Picture(), strip, kTop) == 0);

            const BoardView& v = view.View();
            const QRect inside(QPoint(v.X(1), v.Y(1)), QPoint(v.X(b.CountPixelX - 1), v.Y(b.CountPixelY - 1)));
            QCOMPARE(CountColour(view.Picture(), inside, qRgb(255, 255, 255)), 0);
            view.SetShow(kShowCurrentDensity);
            // About one arrow every 20 pixels, each 0.6 of that long.
            const int arrows = CountColour(view.Picture(), inside, qRgb(255, 255, 255));
            const int expected = (inside.width() / 20) * (inside.height() / 20) * 10;
            QVERIFY2(arrows > expected / 2 && arrows < expected * 2, qPrintable(QString::number(arrows)));
        }
        QCOMPARE(QSettings().value("ResultWindow/ColourLegend").toBool(), false);
        ResultView again(doc.get());
        QVERIFY(!again.LegendVisible());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("korvex-tests");
    QCoreApplication::setApplicationName("result-view-test");
    ResultViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "result_view_test.moc"
