// The frame's windows on a (virtual) X server: the example board is opened,
// meshed and simulated with the bundled simulator, and each kind of window,
// maximised, is captured from the screen and kept as PNG in the build folder.
// The pictures must show copper inside the board outline with the part
// symbols, the mesh lines, a temperature map with its legend, and a Zin curve
// with its axes.
#include <QDir>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

#include "board/settings.h"
#include "board/settings_file.h"
#include "diagram/diagram_painter.h"
#include "diagram/diagram_view.h"
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

}  // namespace

class FrameScreenshotTest : public QObject {
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
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("korvex-tests");
    QCoreApplication::setApplicationName("frame-screenshot-test");
    FrameScreenshotTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frame_screenshot_test.moc"
