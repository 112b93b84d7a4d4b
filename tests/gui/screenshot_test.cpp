// The windows on a (virtual) X server, captured from the screen and kept as
// PNG in the build folder.
// - The frame: the example board is opened, meshed and simulated with the
//   bundled simulator, and each kind of window, maximised, is captured. The
//   pictures must show copper inside the board outline with the part symbols,
//   the mesh lines, a temperature map with its legend, and a Zin curve with
//   its axes.
// - Screenshot import: a known picture is shown in a window, the screen
//   captured with grabWindow(0), the picture's area marked, and the copper
//   raster must match the picture - every non-black pixel without a picked
//   colour, only the picked colour with one, mirrored for an area marked
//   backwards. The capture window keeps its zoom within 1 ... 10.
// - The time-domain noise dialog's diagram must show the current and the
//   voltage curve, the grid, the labels of both axes with their units, and the
//   voltage drawn on the second axis' scale.
#include <QDir>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <set>

#include "board/part_records.h"
#include "board/settings.h"
#include "board/settings_file.h"
#include "diagram/diagram_painter.h"
#include "diagram/diagram_view.h"
#include "dialogs/screenshot_import.h"
#include "dialogs/voltage_noise_time_dialog.h"
#include "edit/edit_view.h"
#include "frame/job_signals.h"
#include "frame/main_frame.h"
#include "gui_test_support.h"
#include "result/colour_legend.h"
#include "result/result_view.h"
#include "util/tempscale.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::test;

namespace {

// Captures the whole screen, keeps it at `savePath` and returns `window`'s part of it.
QImage GrabFromScreen(QWidget* window, const QString& savePath)
{
    QScreen* screen = window->screen();
    const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    shot.save(savePath);
    const QPoint origin = window->mapToGlobal(QPoint(0, 0)) - screen->geometry().topLeft();
    return shot.copy(QRect(origin, window->size()));
}

QImage Capture(QWidget* window, const QString& name)
{
    window->parentWidget()->showMaximized();
    QTest::qWait(400);
    return GrabFromScreen(window, QString(KORVEX_SCREENSHOT_DIR) + "/" + name);
}

// Pixels that lie on the colour scale, and how many of its colours occur.
std::pair<int, int> ScaleColours(const QImage& image, const QRect& area)
{
    std::set<QRgb> table;
    for (int i = 0; i <= 1300; ++i) {
        const ColourRGB c = Tempscale(i / 1300.0);
        table.insert(qRgb(c.R, c.G, c.B));
    }
    int pixels = 0;
    std::set<QRgb> seen;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y) | 0xFF000000;
            if (p != qRgb(0, 0, 0) && table.count(p)) ++pixels, seen.insert(p);
        }
    return {pixels, int(seen.size())};
}

// 160 x 100 like the test board: black, a white frame, a red block.
QImage Picture()
{
    QImage image(160, 100, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.fillRect(QRect(10, 10, 60, 30), QColor(255, 255, 255));
    p.fillRect(QRect(100, 50, 40, 40), QColor(200, 30, 30));
    return image;
}

// Highest and lowest row holding the colour inside the area.
std::pair<int, int> RowsOf(const QImage& image, const QRect& area, QColor colour)
{
    int top = image.height(), bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour.rgb() & 0xFFFFFF))
                top = std::min(top, y), bottom = std::max(bottom, y);
    return {top, bottom};
}

}  // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void windowsOfTheExampleBoard()
    {
        QTemporaryDir folder;
        QDir::setCurrent(folder.path());
        QSettings().setValue("ResultWindow/ColourLegend", true);
        MainFrame frame;
        frame.resize(1300, 900);
        StartFrame(&frame, KORVEX_SIM);
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(frame.OpenProject(QString(KORVEX_EXAMPLES) + "/demo.sav"));

        // The edit window: copper inside the outline, the part symbols in their colours.
        EditView* edit = frame.Edit();
        QImage shot = Capture(edit, "korvex-screenshot.png");
        const SimMatrix& board = frame.Document()->Board();
        auto boardRectOf = [&](const BoardView& v) {
            return QRect(QPoint(v.X(0), v.Y(0)), QPoint(v.X(board.CountPixelX) - 1, v.Y(board.CountPixelY) - 1));
        };
        QRect boardRect = boardRectOf(edit->View());
        const int area = boardRect.width() * boardRect.height();
        QVERIFY(area > 10000);
        const int copper = CountColour(shot, boardRect.adjusted(1, 1, -1, -1), qRgb(200, 200, 200));
        QVERIFY2(copper > area / 10, qPrintable(QString("copper pixels %1 of %2").arg(copper).arg(area)));
        QVERIFY2(CountColour(shot, boardRect.adjusted(-60, -60, 60, 60), qRgb(200, 200, 200)) - copper <
                     boardRect.width() * 2 + boardRect.height() * 2,
                 "copper outside the outline");
        QVERIFY2(CountColour(shot, boardRect, qRgb(0, 200, 50)) > 20, "part colour");
        QVERIFY2(CountColour(shot, boardRect, qRgb(155, 155, 255)) > 5, "port symbol");
        QVERIFY2(CountColour(shot, boardRect, qRgb(200, 150, 150)) > 5, "capacitor symbol");
        QVERIFY2(CountColour(shot, boardRect.adjusted(-1, -1, 1, 1), qRgb(255, 255, 255)) > boardRect.width(),
                 "board outline");

        // The mesh drawn over the board once "Create Mesh" has run.
        QVERIFY(frame.Execute(Command::CreateMesh));
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Jobs()->IsRunning(), 60000);
        shot = Capture(edit, "korvex-screenshot-mesh.png");
        QVERIFY2(CountColour(shot, boardRect, qRgb(150, 150, 255)) > area / 50, "mesh lines");

        // Temperature map with the legend at the right edge, captured.
        QVERIFY(frame.Execute(Command::SimulateThermal));
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Jobs()->IsRunning(), 120000);
        frame.Execute(Command::ShowTemperature);
        ResultView* result = frame.Result();
        shot = Capture(result, "korvex-result-temperature.png");
        boardRect = boardRectOf(result->View());
        const QRect legend(shot.width() - kColourLegendWidth, 0, kColourLegendWidth, shot.height());
        auto [pixels, colours] = ScaleColours(shot, legend);
        QVERIFY2(colours >= 14, qPrintable(QString("legend colours %1").arg(colours)));
        QVERIFY2(CountColour(shot, legend, QColor(175, 175, 175)) > 30, "legend text");
        std::tie(pixels, colours) = ScaleColours(shot, boardRect.intersected(shot.rect().adjusted(0, 0, -kColourLegendWidth, 0)));
        QVERIFY2(colours > 10, qPrintable(QString("temperature colours %1").arg(colours)));

        // Zin curve of the ports with its axes.
        QVERIFY(frame.Execute(Command::SimulateZin));
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Jobs()->IsRunning(), 240000);
        DiagramView* diagram = frame.DiagramWindow();
        shot = Capture(diagram, "korvex-diagram-zin.png");
        const DiagramRect r = diagram->Snapshot().rectPlot;
        const QRect plot(QPoint(r.left + 1, r.top + 1), QPoint(r.right - 1, r.bottom - 1));
        QVERIFY2(CountColour(shot, plot, DiagramCurveColour(0)) > (r.right - r.left) / 2, "Zin curve");
        QVERIFY2(CountColour(shot, plot, QColor(100, 100, 100)) > 200, "grid");
        QVERIFY2(CountColour(shot, QRect(0, r.top, r.left - 1, r.bottom - r.top), QColor(175, 175, 175)) > 30, "y labels");
        QVERIFY2(CountColour(shot, QRect(r.left, r.bottom + 2, r.right - r.left, shot.height() - r.bottom - 2),
                             QColor(175, 175, 175)) > 30,
                 "x labels");
    }

    void copperFollowsTheCapturedPicture()
    {
        const QImage picture = Picture();
        QLabel shown;
        shown.setWindowFlag(Qt::FramelessWindowHint);
        shown.setPixmap(QPixmap::fromImage(picture));
        shown.setFixedSize(picture.size());
        shown.move(200, 150);
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        QTest::qWait(300);
        const QImage capture = CaptureScreen();
        QVERIFY(!capture.isNull());
        const QPoint at = shown.mapToGlobal(QPoint(0, 0));

        auto doc = test::NewDocument(2);
        SimMatrix& b = doc->Board();
        const struct {
            bool backwards;
            QRgb colour;
        } cases[] = {{false, 0}, {false, qRgb(200, 30, 30)}, {true, 0}};
        for (const auto& c : cases) {
            ScreenshotParam p;
            p.left = at.x(), p.top = at.y(), p.right = at.x() + 160, p.bottom = at.y() + 100;
            if (c.backwards) p = {p.right, p.bottom, p.left, p.top};
            p.colour = c.colour & 0xFFFFFF;
            for (uint32_t x = 0; x < b.CountPixelX; ++x)
                for (uint32_t y = 0; y < b.CountPixelY; ++y) b.CopperMatrix[x][y][0] = 0.25f;
            QCOMPARE(ImportScreenshotCopper(capture, p, &b, 1), 0);
            int wrong = 0;
            for (int x = 0; x < 160; ++x)
                for (int y = 0; y < 100; ++y) {
                    const QRgb pixel = c.backwards ? picture.pixel(159 - x, 99 - y) : picture.pixel(x, y);
                    const bool expected = c.colour == 0 ? (pixel & 0xFFFFFF) != 0 : (pixel & 0xFFFFFF) == p.colour;
                    wrong += (b.CopperMatrix[x][y][1] > 0.5f) != expected;
                    QCOMPARE(b.CopperMatrix[x][y][0], 0.25f);  // the other layer is untouched
                }
            QVERIFY2(wrong == 0, qPrintable(QString("%1 elements differ").arg(wrong)));
        }
    }

    void captureWindowZoomsWithinLimitsAndMarksTheArea()
    {
        QImage capture(800, 600, QImage::Format_RGB32);
        capture.fill(Qt::black);
        ScreenshotParam param;
        ScreenshotView view(capture, &param);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int i = 0; i < 15; ++i) test::SendWheel(&view, QPoint(200, 150), 120);
        QCOMPARE(view.Zoom(), 10);
        for (int i = 0; i < 15; ++i) test::SendWheel(&view, QPoint(200, 150), -120);
        QCOMPARE(view.Zoom(), 1);

        // One drag in select mode marks the area, then the mode returns to panning.
        view.SetOption(ScreenshotView::kSelectArea);
        const QPoint a = view.CapturePixel(QPoint(50, 40)), b = view.CapturePixel(QPoint(150, 120));
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(50, 40));
        QTest::mouseMove(&view, QPoint(150, 120));
        QMouseEvent move(QEvent::MouseMove, QPointF(150, 120), view.mapToGlobal(QPointF(150, 120)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(150, 120));
        QCOMPARE(QRect(QPoint(param.left, param.top), QPoint(param.right, param.bottom)), QRect(a, b));
        QCOMPARE(view.CurrentOption(), ScreenshotView::kPan);
    }

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

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("korvex-tests");
    QCoreApplication::setApplicationName("screenshot-test");
    ScreenshotTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "screenshot_test.moc"
