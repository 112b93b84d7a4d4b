// The three board and curve windows.
// - The edit window driven by mouse and key events. The view shows elements
//   0 ... 160 x 0 ... 100 at 5 pixels per element: element (x, y) is at client
//   (5x + 2, 5y + 2).
// - The result window: value ranges of the four views, the colour map (black
//   for the minimum, background where there is no copper), the read-out texts
//   with their units, the mirrored cross, the current arrows and the legend.
// - The diagram window as drawn: grid lines, curves clipped to the plot, the
//   click that starts an analysis, the y unit, and pictures from a snapshot.
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSettings>
#include <QtTest>
#include <cmath>
#include <thread>

#include "board/part_lookup.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "diagram/diagram_painter.h"
#include "diagram/diagram_view.h"
#include "edit/edit_view.h"
#include "edit/part_hit_test.h"
#include "frame/command.h"
#include "gui_test_support.h"
#include "result/colour_legend.h"
#include "result/result_painter.h"
#include "result/result_view.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

QPoint At(int x, int y)
{
    return {5 * x + 2, 5 * y + 2};
}

void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void Move(QWidget* w, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    Send(w, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

// Left drag through the given points; one point is a click.
void Drag(QWidget* w, std::vector<QPoint> path)
{
    Move(w, path.front());
    Send(w, QEvent::MouseButtonPress, path.front(), Qt::LeftButton, Qt::LeftButton);
    for (size_t i = 1; i < path.size(); ++i) Move(w, path[i], Qt::LeftButton);
    Send(w, QEvent::MouseButtonRelease, path.back(), Qt::LeftButton, Qt::NoButton);
}

void Click(QWidget* w, QPoint pos)
{
    Drag(w, {pos});
}

int CountParts(const SimMatrix& board, uint32_t kind)
{
    int n = 0;
    for (const Part* p = board.pFirstPart; p != nullptr; p = p->pNext) n += p->Kind == kind;
    return n;
}

// The brightest and the darkest colour of the scale, from its table.
const QRgb kTop = qRgb(255, 230, 173);
const QRgb kBlack = qRgb(0, 0, 0);

void Fill(const SimMatrix& b, float*** raster, float value)
{
    for (uint32_t x = 0; x < b.CountPixelX; ++x)
        for (uint32_t y = 0; y < b.CountPixelY; ++y)
            for (int l = 0; l < b.LayerCount; ++l) raster[x][y][l] = value;
}

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

class EditViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<BoardDocument> document_;
    std::unique_ptr<EditView> view_;
    SimMatrix& Board() { return document_->Board(); }
    float Copper(int x, int y, int layer = 0) { return Board().CopperMatrix[x][y][layer]; }

private slots:
    void init()
    {
        gVia = Via{}, gPort = Port{}, gCap = Cap{}, gHeatSource = HeatSource{}, gResistor = Resistor{};
        document_ = NewDocument();
        view_ = std::make_unique<EditView>(document_.get());
        view_->resize(800, 500);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        view_->AdoptView({0, 0, 160, 100});
        QCOMPARE(view_->View().pixelPerElement, 5.0f);
    }
    void cleanup()
    {
        view_.reset();
        document_.reset();
    }

    void copperToolsChangeTheRasterUnlessAJobRuns()
    {
        view_->SetReadOnly(true);
        view_->SetTool(kToolDrawCopper);
        Drag(view_.get(), {At(10, 10)});
        view_->SetTool(kToolVia);
        Click(view_.get(), At(5, 5));
        QCOMPARE(Copper(10, 10), 0.0f);
        QVERIFY(Board().pFirstPart == nullptr);
        QVERIFY(!document_->IsChanged());

        view_->SetReadOnly(false);
        view_->SetTool(kToolDrawCopper);
        Drag(view_.get(), {At(10, 10), At(11, 10), At(12, 10)});
        QVERIFY(Copper(10, 10) > 0 && Copper(11, 10) > 0 && Copper(12, 10) > 0);
        QCOMPARE(Copper(13, 10), 0.0f);
        QCOMPARE(Copper(11, 10, 1), 0.0f);  // only the active layer
        QVERIFY(document_->IsChanged());
        // A stroke re-rasterises only the 3 x 3 box around the element.
        QCOMPARE(view_->LastRasterised().left, 11);
        QCOMPARE(view_->LastRasterised().right, 13);

        view_->SetTool(kToolDeleteCopper);
        Drag(view_.get(), {At(11, 10)});
        QCOMPARE(Copper(11, 10), 0.0f);
        QVERIFY(Copper(12, 10) > 0);

        view_->SetTool(kToolFilledRectangle);
        Drag(view_.get(), {At(60, 55), At(55, 52), At(50, 50)});  // corners in any order
        for (int x = 49; x <= 61; ++x)
            for (int y = 49; y <= 56; ++y)
                QCOMPARE(Copper(x, y) > 0, x >= 50 && x <= 60 && y >= 50 && y <= 55);

        view_->SetTool(kToolDeleteRectangle);
        Drag(view_.get(), {At(52, 51), At(58, 53)});
        QCOMPARE(Copper(52, 51), 0.0f);
        QCOMPARE(Copper(58, 53), 0.0f);
        QVERIFY(Copper(51, 51) > 0 && Copper(59, 53) > 0 && Copper(55, 50) > 0 && Copper(55, 54) > 0);
    }

    void lineToolDrawsThreeElementsWideOnTheActiveLayerOnly()
    {
        Board().CopperMatrix[25][22][1] = 1.0f;  // copper of the other layer inside the line's box
        view_->SetTool(kToolDrawLine);
        Drag(view_.get(), {At(20, 20), At(30, 30), At(40, 20)});
        for (int x = 20; x <= 40; ++x) QVERIFY2(Copper(x, 20) > 0, qPrintable(QString::number(x)));
        QVERIFY(Copper(30, 19) > 0 && Copper(30, 21) > 0);
        QCOMPARE(Copper(30, 23), 0.0f);
        QCOMPARE(Copper(25, 22), 0.0f);  // the other layer is not taken into the active one
        QCOMPARE(Copper(25, 22, 1), 1.0f);
        QCOMPARE(Copper(30, 28), 0.0f);  // nothing of the line shown on the way
        // The picture agrees with the board: no trace of the intermediate line.
        QCOMPARE(view_->MatrixImage().pixel(30, 28), qRgb(0, 0, 0));
        QCOMPARE(view_->MatrixImage().pixel(30, 20), qRgb(200, 200, 200));
    }

    void placingPartsOfEachKind()
    {
        view_->SetActiveLayer(1);
        const std::pair<int, std::vector<QPoint>> strokes[] = {
            {kToolVia, {At(5, 6)}}, {kToolGround, {At(7, 7)}}, {kToolPort, {At(10, 10)}}, {kToolPort, {At(11, 10)}},
            {kToolCapacitor, {At(12, 10)}}, {kToolSubcircuit, {At(13, 10)}},
            {kToolCurrentSource, {At(20, 20), At(25, 22)}},
            {kToolResistor, {At(30, 30), At(30, 30)}},  // start and end on one element: added as it is
            {kToolHeatSource, {At(50, 40), At(40, 30)}}, {kToolHeatsink, {At(60, 60), At(70, 65)}},
            {kToolSeriesSubcircuit, {At(80, 80), At(90, 85)}},
        };
        for (const auto& [tool, path] : strokes) {
            view_->SetTool(tool);
            Drag(view_.get(), path);
        }

        const SimMatrix& b = Board();
        for (uint32_t kind : {PART_VIA, PART_CAP, PART_SUBCIRCUIT, PART_CURRENT, PART_HEATSOURCE, PART_HEATSINK,
                              PART_SERIESSUBCIRCUIT})
            QCOMPARE(CountParts(b, kind), 1);
        QCOMPARE(CountParts(b, PART_PORT), 2);
        QCOMPARE(CountParts(b, PART_RESISTOR), 2);

        Part* ground = SearchPart(b, {7, 7, 1}, nullptr);
        QVERIFY(ground != nullptr && ground->Kind == PART_RESISTOR);
        QCOMPARE(QString(PartRecord<Resistor>(ground)->Net2Name), QString("0"));
        QCOMPARE(PartRecord<Resistor>(ground)->Rser, 1e-6f);

        QCOMPARE(PartRecord<Port>(SearchPart(b, {10, 10, 1}, nullptr))->ID, 0u);
        Part* port1 = SearchPart(b, {11, 10, 1}, nullptr);
        QCOMPARE(PartRecord<Port>(port1)->ID, 1u);
        QCOMPARE(PartRecord<Port>(port1)->Layer, 1u);
        QCOMPARE(gPort.ID, 2u);

        auto* c = PartRecord<Current>(SearchPart(b, {20, 20, 1}, nullptr));
        QCOMPARE((std::array<uint32_t, 6>{c->Net1X, c->Net1Y, c->Net1Z, c->Net2X, c->Net2Y, c->Net2Z}),
                 (std::array<uint32_t, 6>{20, 20, 1, 25, 22, 1}));
        auto* h = PartRecord<HeatSource>(SearchPart(b, {45, 35, 1}, nullptr));
        QCOMPARE((std::array<uint32_t, 6>{h->RectAX, h->RectAY, h->RectAZ, h->RectBX, h->RectBY, h->RectBZ}),
                 (std::array<uint32_t, 6>{40, 30, 1, 50, 40, 1}));
        QVERIFY(SearchPart(b, {65, 62, 1}, nullptr)->Kind == PART_HEATSINK);
        QVERIFY(SearchPart(b, {90, 85, 1}, nullptr)->Kind == PART_SERIESSUBCIRCUIT);

        // Deleting port 0 makes 0 free again.
        view_->SetTool(kToolDeletePart);
        Click(view_.get(), At(10, 10));
        QCOMPARE(CountParts(b, PART_PORT), 1);
        QCOMPARE(GetFreeID(&b, PART_PORT), 0u);
        Click(view_.get(), At(100, 90));  // nothing under the mouse: nothing deleted
        QCOMPARE(CountParts(b, PART_PORT), 1);
    }

    void editPartRunsTheDialogOnTheTemplate()
    {
        view_->SetTool(kToolVia);
        Click(view_.get(), At(5, 6));
        view_->SetTool(kToolEditPart);
        {
            ModalAnswers answers({Fill({{3001, "0.5m"}, {3002, "9"}})});
            Click(view_.get(), At(5, 6));
            QCOMPARE(answers.Seen().size(), size_t(1));
            QCOMPARE(answers.Seen()[0].title, QString("Via Settings"));
        }
        Part* via = SearchPart(Board(), {9, 6, 0}, nullptr);
        QVERIFY(via != nullptr);
        QCOMPARE(PartRecord<Via>(via)->Diameter, 0.5e-3f);
        QCOMPARE(gVia.Diameter, 0.5e-3f);  // the template keeps the edited values
        {
            // Typed, then cancelled: nothing changes.
            ModalAnswers answers({[](QWidget* m) {
                m->findChild<QLineEdit*>("3001")->setText("7m");
                Reject(m);
            }});
            Click(view_.get(), At(9, 6));
        }
        QCOMPARE(gVia.Diameter, 0.5e-3f);
        QCOMPARE(PartRecord<Via>(via)->Diameter, 0.5e-3f);
        Click(view_.get(), At(100, 90));  // nothing under the mouse: no dialog
        QVERIFY(view_->SelectedPart() == nullptr);
    }

    // The rules of each kind of move are checked without the window; here the
    // window grabs, shows the move before committing it on the second click,
    // and drops it when another tool is chosen.
    void movingPartsFollowTheRules()
    {
        HeatSource heat;
        heat.RectAX = 10, heat.RectAY = 10, heat.RectBX = 20, heat.RectBY = 15;
        AddPart(&Board(), PART_HEATSOURCE, &heat);
        auto placed = [this] { return PartRecord<HeatSource>(Board().pFirstPart); };
        view_->SetTool(kToolMovePart);

        Click(view_.get(), At(100, 90));  // empty board: nothing grabbed
        QVERIFY(view_->SelectedPart() == nullptr);

        Click(view_.get(), At(10, 12));  // grab the left edge
        QVERIFY(view_->SelectedPart() != nullptr);
        Move(view_.get(), At(25, 12));
        QCOMPARE(placed()->RectAX, 10u);  // unchanged until dropped
        Click(view_.get(), At(25, 12));
        QCOMPARE(placed()->RectAX, 20u);
        QCOMPARE(placed()->RectBX, 20u);
        QVERIFY(view_->SelectedPart() == nullptr);

        // Choosing a tool ends a move without committing it.
        Click(view_.get(), At(20, 12));
        QVERIFY(view_->SelectedPart() != nullptr);
        view_->SetTool(kToolMovePart);
        Click(view_.get(), At(50, 50));
        QCOMPARE(placed()->RectAX, 20u);
        QCOMPARE(placed()->RectBX, 20u);
    }

    // Each part under the mouse once, skipping the others, then none, then round again.
    void keyNCyclesThroughThePartsUnderTheMouse()
    {
        Via via;
        via.x = 3, via.y = 3;
        Port elsewhere;
        elsewhere.x = 9;
        Cap cap;
        cap.x = 3, cap.y = 3;
        AddPart(&Board(), PART_VIA, &via);
        AddPart(&Board(), PART_PORT, &elsewhere);
        AddPart(&Board(), PART_CAP, &cap);
        view_->SetTool(kToolDrawCopper);
        Move(view_.get(), At(3, 3));
        Part* first = view_->HighlightedPart();
        QVERIFY(first != nullptr && first->Kind == PART_VIA);
        std::vector<uint32_t> kinds;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(view_.get(), Qt::Key_N);
            kinds.push_back(view_->HighlightedPart() ? view_->HighlightedPart()->Kind : 0u);
        }
        QCOMPARE(kinds, (std::vector<uint32_t>{PART_CAP, 0u, PART_VIA}));
    }

    void wheelZoomKeepsTheElementUnderTheMouse()
    {
        const QPoint mouse(403, 251);
        const BoardView before = view_->View();
        const QPoint element = ClientPointToMatrixPoint(mouse, before.pixelPerElement, before.view, 160, 100);
        SendWheel(view_.get(), mouse, 120);
        const BoardView after = view_->View();
        QCOMPARE(after.pixelPerElement, 5.0f * 1.18f);
        QCOMPARE(ClientPointToMatrixPoint(mouse, after.pixelPerElement, after.view, 160, 100), element);
    }
};

class ResultAndDiagramViewTest : public QObject {
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

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("korvex-tests");
    QCoreApplication::setApplicationName("views-test");
    EditViewTest edit;
    ResultAndDiagramViewTest views;
    return QTest::qExec(&edit, argc, argv) | QTest::qExec(&views, argc, argv);
}

#include "views_test.moc"
