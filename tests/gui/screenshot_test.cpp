// The real window on a (virtual) X server: the frame opens the example board,
// the screen is captured into korvex-screenshot.png in the build folder, and
// the picture must show copper inside the board outline and the part symbols
// in their colours.
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "board/settings.h"
#include "board/settings_file.h"
#include "edit/edit_view.h"
#include "frame/job_signals.h"
#include "frame/main_frame.h"

using namespace korvex;
using namespace korvex::gui;

namespace {

int CountColour(const QImage& image, const QRect& area, QRgb colour)
{
    int n = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

}  // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void exampleBoardIsDrawn()
    {
        QTemporaryDir folder;
        QDir::setCurrent(folder.path());
        gSettings = DefaultSettings();
        Settings valid = DefaultSettings();
        CopyName(valid.LTspicePath, "/bin/sh");
        WriteSettingsFile(&valid, folder.path().toStdString());

        MainFrame frame;
        frame.SetConfirmations(false);
        frame.resize(1300, 900);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.Initialise();
        QVERIFY(frame.OpenProject(QString(KORVEX_EXAMPLES) + "/demo.sav"));
        frame.Edit()->parentWidget()->showMaximized();
        QTest::qWait(500);

        QScreen* screen = frame.screen();
        QVERIFY(screen != nullptr);
        const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(shot.save(KORVEX_SCREENSHOT));
        QVERIFY(!shot.isNull());

        // The board rectangle of the edit view, on the screen.
        EditView* edit = frame.Edit();
        const BoardView& view = edit->View();
        const SimMatrix& board = frame.Document()->Board();
        const QPoint origin = edit->mapToGlobal(QPoint(0, 0)) - screen->geometry().topLeft();
        const QRect boardRect(origin + QPoint(view.X(0), view.Y(0)),
                              origin + QPoint(view.X(board.CountPixelX) - 1, view.Y(board.CountPixelY) - 1));
        const int area = boardRect.width() * boardRect.height();
        QVERIFY(area > 10000);
        const int copper = CountColour(shot, boardRect.adjusted(1, 1, -1, -1), qRgb(200, 200, 200));
        QVERIFY2(copper > area / 10, qPrintable(QString("copper pixels %1 of %2").arg(copper).arg(area)));
        QCOMPARE(CountColour(shot, boardRect.adjusted(-60, -60, 60, 60), qRgb(200, 200, 200)) - copper <
                     boardRect.width() * 2 + boardRect.height() * 2,
                 true);  // no copper outside the outline (beyond its edge)
        QVERIFY2(CountColour(shot, boardRect, qRgb(0, 200, 50)) > 20, "part colour");
        QVERIFY2(CountColour(shot, boardRect, qRgb(155, 155, 255)) > 5, "port symbol");
        QVERIFY2(CountColour(shot, boardRect, qRgb(200, 150, 150)) > 5, "capacitor symbol");
        QVERIFY2(CountColour(shot, boardRect.adjusted(-1, -1, 1, 1), qRgb(255, 255, 255)) > boardRect.width(),
                 "board outline");

        // The mesh drawn over the board once "Create Mesh" has run.
        QVERIFY(frame.Execute(Command::CreateMesh));
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Jobs()->IsRunning(), 60000);
        QTest::qWait(300);
        const QImage meshShot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        meshShot.save(QString(KORVEX_SCREENSHOT).replace(".png", "-mesh.png"));
        QVERIFY2(CountColour(meshShot, boardRect, qRgb(150, 150, 255)) > area / 50, "mesh lines");
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
