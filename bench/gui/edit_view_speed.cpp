// The edit window on a 2000 x 2000 pixel, 4-layer board, driven offscreen:
// a mouse move with the overlay, one freehand stroke (and the box it
// re-rasterises), a wheel zoom and a pan step; and opening the 450 MB plain
// project until the first paint against `korvex-cli info` on the same file.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProcess>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "board/project_file.h"
#include "bench_board.h"
#include "edit/board_document.h"
#include "edit/edit_view.h"
#include "frame/command.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::bench;

namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Sends an event and paints the widget at once, as the screen would.
template <class F>
double Timed(EditView& view, F&& send)
{
    const auto t0 = Clock::now();
    send();
    view.repaint();
    return Ms(t0);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto document = MakeBenchBoard(true, false);
    EditView view(document.get());
    view.resize(1400, 1000);
    view.show();
    QApplication::processEvents();

    std::vector<double> moves, strokes, zooms, pans;
    for (int i = 0; i < 200; ++i) {
        const QPoint p(100 + (i * 37) % 1200, 100 + (i * 53) % 800);
        moves.push_back(Timed(view, [&] { Mouse(&view, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }));
    }
    view.SetTool(kToolDrawCopper);
    Mouse(&view, QEvent::MouseButtonPress, {300, 300}, Qt::LeftButton, Qt::LeftButton);
    int largestBox = 0;
    for (int i = 0; i < 100; ++i) {
        const QPoint p(300 + i * 3, 300 + i);
        strokes.push_back(Timed(view, [&] { Mouse(&view, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }));
        const ElementRect r = view.LastRasterised();
        largestBox = std::max(largestBox, (std::abs(r.right - r.left) + 1) * (std::abs(r.bottom - r.top) + 1));
    }
    Mouse(&view, QEvent::MouseButtonRelease, {600, 400}, Qt::LeftButton, Qt::NoButton);
    for (int i = 0; i < 40; ++i) {
        const QPoint p(700, 500);
        const int delta = (i % 2 == 0) ? 120 : -120;
        zooms.push_back(Timed(view, [&] {
            QWheelEvent w(QPointF(p), view.mapToGlobal(QPointF(p)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&view, &w);
        }));
    }
    Mouse(&view, QEvent::MouseButtonPress, {700, 500}, Qt::MiddleButton, Qt::MiddleButton);
    for (int i = 0; i < 40; ++i)
        pans.push_back(Timed(view, [&] {
            Mouse(&view, QEvent::MouseMove, QPoint(700 + 5 * i, 500 - 3 * i), Qt::NoButton, Qt::MiddleButton);
        }));
    Mouse(&view, QEvent::MouseButtonRelease, {900, 400}, Qt::MiddleButton, Qt::NoButton);

    std::printf("board 2000 x 2000 x 4, 600 parts, view 1400 x 1000\n");
    std::printf("mouse move with overlay: median %.2f ms, max %.2f ms (goal < 16 ms)\n", Median(moves),
                *std::max_element(moves.begin(), moves.end()));
    std::printf("freehand stroke step: median %.2f ms; largest re-rasterised box %d elements (3 x 3 = 9)\n",
                Median(strokes), largestBox);
    std::printf("wheel zoom: median %.2f ms (goal < 50 ms); pan step: median %.2f ms (goal < 50 ms)\n", Median(zooms),
                Median(pans));

    // Opening the plain project until the first paint, against korvex-cli info.
    const std::string path = (std::filesystem::temp_directory_path() / "korvex_bench_gui_open.sav").string();
    std::string reason;
    if (SaveSimMatrix(path.c_str(), &document->Board(), &reason) != 0) {
        std::printf("cannot write %s: %s\n", path.c_str(), reason.c_str());
        return 1;
    }
    const double megabytes = std::filesystem::file_size(path) / 1e6;
    std::vector<double> opens, infos;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        auto opened = BoardDocument::Open(path, false, &reason);
        EditView first(opened.get());
        first.resize(1400, 1000);
        first.show();
        first.repaint();
        opens.push_back(Ms(t0));
        const auto t1 = Clock::now();
        QProcess cli;
        cli.start(KORVEX_CLI, {"info", QString::fromStdString(path)});
        cli.waitForFinished(-1);
        infos.push_back(Ms(t1));
    }
    std::printf("open %.0f MB plain project to first paint: median %.0f ms; korvex-cli info: median %.0f ms; "
                "ratio %.2f (goal <= 1.5)\n",
                megabytes, Median(opens), Median(infos), Median(opens) / Median(infos));
    std::filesystem::remove(path);
    return 0;
}
