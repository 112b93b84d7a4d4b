// The result and diagram windows of the real frame on a (virtual) X server:
// the example board is simulated with the bundled simulator and each window,
// maximised, is captured from the screen and kept as PNG in the build
// folder. The pictures must show a voltage map in the colours of the scale,
// a temperature map with its legend, and a Zin curve with its axes.
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
#include "frame/job_signals.h"
#include "frame/main_frame.h"
#include "result/colour_legend.h"
#include "result/result_view.h"
#include "util/tempscale.h"

using namespace korvex;
using namespace korvex::gui;

namespace {

QImage Capture(QWidget* window, const QString& name)
{
    window->parentWidget()->showMaximized();
    QTest::qWait(400);
    QScreen* screen = window->screen();
    const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    shot.save(QString(KORVEX_SCREENSHOT_DIR) + "/" + name);
    const QPoint origin = window->mapToGlobal(QPoint(0, 0)) - screen->geometry().topLeft();
    return shot.copy(QRect(origin, window->size()));
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

int CountColour(const QImage& image, const QRect& area, QColor colour)
{
    int n = 0;
    for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y)
        for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour.rgb() & 0xFFFFFF);
    return n;
}

}  // namespace

class ResultScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void mapsAndCurvesOfTheExampleBoard()
    {
        QTemporaryDir folder;
        QDir::setCurrent(folder.path());
        gSettings = DefaultSettings();
        Settings valid = DefaultSettings();
        CopyName(valid.LTspicePath, KORVEX_SIM);
        WriteSettingsFile(&valid, folder.path().toStdString());
        QSettings().setValue("ResultWindow/ColourLegend", true);

        MainFrame frame;
        frame.SetConfirmations(false);
        frame.resize(1300, 900);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Initialise();
        QVERIFY(frame.OpenProject(QString(KORVEX_EXAMPLES) + "/demo.sav"));
        QVERIFY(frame.Execute(Command::CreateMesh));
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Jobs()->IsRunning(), 60000);

        // DC voltage map.
        QVERIFY(frame.Execute(Command::SimulateElectrical));
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Jobs()->IsRunning(), 120000);
        frame.Execute(Command::ShowVoltage);
        ResultView* result = frame.Result();
        QImage shot = Capture(result, "korvex-result-voltage.png");
        const BoardView& v = result->View();
        const SimMatrix& board = frame.Document()->Board();
        const QRect boardRect(QPoint(v.X(0), v.Y(0)), QPoint(v.X(board.CountPixelX) - 1, v.Y(board.CountPixelY) - 1));
        auto [pixels, colours] = ScaleColours(shot, boardRect.intersected(shot.rect().adjusted(0, 0, -kColourLegendWidth, 0)));
        QVERIFY2(pixels > boardRect.width() * boardRect.height() / 10 && colours > 20,
                 qPrintable(QString("%1 map pixels, %2 colours").arg(pixels).arg(colours)));

        // Temperature map with the legend at the right edge.
        QVERIFY(frame.Execute(Command::SimulateThermal));
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Jobs()->IsRunning(), 120000);
        frame.Execute(Command::ShowTemperature);
        shot = Capture(result, "korvex-result-temperature.png");
        const QRect legend(shot.width() - kColourLegendWidth, 0, kColourLegendWidth, shot.height());
        std::tie(pixels, colours) = ScaleColours(shot, legend);
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
    QCoreApplication::setApplicationName("result-screenshot-test");
    ResultScreenshotTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "result_screenshot_test.moc"
