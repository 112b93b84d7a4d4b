// The result and diagram windows offscreen: on a 2000 x 2000 pixel, 4-layer
// board with results, switching the view and the layer (range, colour map,
// picture and paint) and a mouse move with the read-out in both windows
// (the edit window's move and the mirrored read-out); and one redraw of a
// 1000-point curve with 10 reference-style curves in the diagram.
#include <QApplication>
#include <QMouseEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "diagram/diagram_view.h"
#include "bench_board.h"
#include "edit/board_document.h"
#include "edit/edit_view.h"
#include "result/result_painter.h"
#include "result/result_range.h"
#include "result/result_view.h"

using namespace korvex;
using namespace korvex::gui;
using namespace korvex::gui::bench;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto document = MakeBenchBoard(false, true);
    EditView edit(document.get());
    ResultView result(document.get());
    edit.resize(1000, 800), result.resize(1000, 800);
    QObject::connect(&edit, &EditView::MatrixPointChanged, &result, &ResultView::ShowValueAt);
    edit.show(), result.show();
    app.processEvents();

    std::vector<double> views, layers, moves;
    for (int i = 0; i < 8; ++i) {
        auto t0 = Clock::now();
        result.SetShow(i % 4);
        result.repaint();
        views.push_back(Ms(t0));
        t0 = Clock::now();
        result.SetActiveLayer((i + 1) % 4);
        result.repaint();
        layers.push_back(Ms(t0));
    }
    for (int i = 0; i < 50; ++i) {
        const QPoint p(100 + 7 * i, 100 + 5 * i);
        const auto t0 = Clock::now();
        QMouseEvent e(QEvent::MouseMove, QPointF(p), edit.mapToGlobal(QPointF(p)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(&edit, &e);
        edit.repaint();
        result.repaint();
        moves.push_back(Ms(t0));
    }
    // Where a switch spends its time: range, colour map, picture, paint.
    std::vector<double> rangeMs, mapMs, pictureMs;
    QImage reuse;
    for (int i = 0; i < 8; ++i) {
        auto t0 = Clock::now();
        const ResultRange range = ComputeResultRange(document->Board(), i % 4, i % 4, true, 0, 0);
        rangeMs.push_back(Ms(t0));
        t0 = Clock::now();
        reuse = RenderResultMatrix(document->Board(), i % 4, i % 4, range, std::move(reuse));
        mapMs.push_back(Ms(t0));
        t0 = Clock::now();
        const QImage picture = result.Picture();
        pictureMs.push_back(Ms(t0));
    }
    std::printf("  of which: range (uncached) %.1f ms, colour map %.1f ms, picture %.1f ms (medians)\n",
                Median(rangeMs), Median(mapMs), Median(pictureMs));
    std::printf("result view switch (2000x2000, 4 layers): median %.1f ms, max %.1f ms (goal < 100 ms)\n",
                Median(views), *std::max_element(views.begin(), views.end()));
    std::printf("result layer switch: median %.1f ms, max %.1f ms (goal < 100 ms)\n", Median(layers),
                *std::max_element(layers.begin(), layers.end()));
    std::printf("mouse move with read-out in both windows: median %.2f ms, max %.2f ms (goal < 16 ms)\n",
                Median(moves), *std::max_element(moves.begin(), moves.end()));

    Diagram diagram;
    InitDiagram(&diagram, nullptr);
    diagram.bLogX = 1, diagram.YAxis = kYAxisLog, diagram.fMinY = 1e-3f, diagram.fMaxY = 10.0f;
    for (int c = 0; c < 10; ++c) {
        InitDiagramData(&diagram, "Zin", c, 1000);
        for (int i = 0; i < 1000; ++i) {
            const float f = std::pow(10.0f, 6.0f + 3.0f * i / 999), w = 6.2831855f * f;
            SetDataPoint(&diagram, c, i, f, 0.01f * (c + 1), w * 1e-9f - 1.0f / (w * 1e-6f * (c + 1)));
        }
    }
    for (int r = 0; r < 4; ++r) {
        InitDiagramDataRef(&diagram, "S", r, 1000);
        for (int i = 0; i < 1000; ++i) SetDataPointRef(&diagram, r, i, std::pow(10.0f, 6.0f + 3.0f * i / 999), 0.1f * (r + 1), 0);
    }
    DiagramView view(&diagram);
    view.resize(1000, 600);
    view.show();
    app.processEvents();
    std::vector<double> redraws;
    for (int i = 0; i < 20; ++i) {
        const auto t0 = Clock::now();
        view.Redraw();
        view.repaint();
        redraws.push_back(Ms(t0));
    }
    std::printf("diagram redraw, 10 curves of 1000 points + 4 reference curves: median %.1f ms (goal < 20 ms)\n",
                Median(redraws));
    return 0;
}
