// Screenshot import on a (virtual) X server: a known picture is shown in a
// window, the screen captured with grabWindow(0), the picture's area marked,
// and the copper raster must match the picture - every non-black pixel
// without a picked colour, only the picked colour with one, mirrored for an
// area marked backwards. The capture window keeps its zoom within 1 ... 10.
#include <QLabel>
#include <QPainter>
#include <QtTest>

#include "dialogs/screenshot_import.h"
#include "gui_test_support.h"

using namespace korvex;
using namespace korvex::gui;

namespace {

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

bool Copper(const SimMatrix& b, int x, int y)
{
    return b.CopperMatrix[x][y][1] > 0.5f;
}

}  // namespace

class ScreenshotImportTest : public QObject {
    Q_OBJECT

private slots:
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
                    wrong += Copper(b, x, y) != expected;
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
};

QTEST_MAIN(ScreenshotImportTest)
#include "screenshot_import_test.moc"
