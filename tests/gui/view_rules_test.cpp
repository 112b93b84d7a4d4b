// The edit window's rules that need no widget: view conversions and zoom, the
// hit test (cycling with N is checked in the window), the move rules and the
// capacitor label. Expected values are worked out by hand from the rules
// (placement (x - left) * f, truncation).
#include <gtest/gtest.h>

#include "board/sim_matrix.h"
#include "edit/board_painter.h"
#include "edit/moving_part.h"
#include "edit/part_hit_test.h"
#include "edit/view_transform.h"

using namespace korvex;
using namespace korvex::gui;

namespace {

struct Board {
    SimMatrix board;
    Board()
    {
        ApplyNewBoardDefaults(&board);  // 160 x 100 elements, 2 layers
    }
    ~Board() { freeSimulationMatrix(&board); }
    template <class T>
    Part* Add(uint32_t kind, const T& record)
    {
        AddPart(&board, kind, &record);
        Part* last = board.pFirstPart;
        while (last->pNext != nullptr) last = last->pNext;
        return last;
    }
};

}  // namespace

TEST(ViewTransform, ClientPointsClampToTheBoardAndTheDefaultViewFits)
{
    const ViewRect view{-16, -10, 176, 110};
    struct Case {
        QPoint client;
        QPoint element;
    } cases[] = {
        {{0, 0}, {0, 0}},          // left of and above the board: first element
        {{80, 50}, {4, 2}},        // -16 + 80/4 = 4, -10 + 50/4 = 2.5 -> 2
        {{2000, 2000}, {159, 99}}, // beyond: last element
        {{64, 40}, {0, 0}},        // exactly the board's corner
    };
    for (const Case& c : cases) EXPECT_EQ(ClientPointToMatrixPoint(c.client, 4.0f, view, 160, 100), c.element);
    EXPECT_EQ(MatrixPointToClientPoint({4, 2}, 4.0f, view, 800, 600), QPoint(80, 48));
    // The default view: a tenth of the board's size around it.
    EXPECT_EQ(DefaultView(160, 100), view);
    // 192 x 120 elements: wider than 600 x 600, so the width decides.
    EXPECT_FLOAT_EQ(FitPixelPerElement(view, {600, 600}), 600.0f / 192);
    EXPECT_FLOAT_EQ(FitPixelPerElement(view, {1000, 300}), 300.0f / 120);
}

TEST(ViewTransform, WheelZoomKeepsTheElementUnderTheMouse)
{
    struct Case {
        float factor;
        QPoint mouse;
        float newF;
    } cases[] = {{0.25f, {400, 300}, 5.0f}, {-0.5f, {400, 300}, 2.0f}, {0.25f, {200, 100}, 5.0f}, {1.0f, {0, 0}, 8.0f}};
    for (const Case& c : cases) {
        BoardView v{{0, 0, 200, 150}, 4.0f};
        const QPoint before = ClientPointToMatrixPoint(c.mouse, v.pixelPerElement, v.view, 10000, 10000);
        ZoomIn(&v, c.factor, c.mouse, {800, 600});
        EXPECT_FLOAT_EQ(v.pixelPerElement, c.newF);
        EXPECT_EQ(ClientPointToMatrixPoint(c.mouse, v.pixelPerElement, v.view, 10000, 10000), before);
        // The view covers the client plus two elements on the right and bottom.
        EXPECT_EQ(v.view.Width(), static_cast<int>(800 / c.newF) + 2);
    }
}

TEST(ViewTransform, RightButtonGestures)
{
    const QSize client(800, 500);
    BoardView v{{0, 0, 160, 100}, 5.0f};
    EXPECT_FALSE(ZoomGesture(&v, {100, 100}, {300, 100}, client, 160, 100));  // exactly horizontal
    EXPECT_FALSE(ZoomGesture(&v, {100, 100}, {100, 300}, client, 160, 100));  // exactly vertical
    EXPECT_EQ(v.view, (ViewRect{0, 0, 160, 100}));

    ASSERT_TRUE(ZoomGesture(&v, {100, 50}, {300, 150}, client, 160, 100));  // down-right: to the rectangle
    EXPECT_EQ(v.view.left, 20);
    EXPECT_EQ(v.view.top, 10);
    // 40 x 20 elements is wider than 800 x 500: f = 800 / 40, bottom = 500/800 * 40 + 10.
    EXPECT_FLOAT_EQ(v.pixelPerElement, 20.0f);
    EXPECT_EQ(v.view.bottom, 35);

    v = {{0, 0, 160, 100}, 5.0f};
    ASSERT_TRUE(ZoomGesture(&v, {300, 100}, {100, 300}, client, 160, 100));  // down-left: out by a fifth
    EXPECT_EQ(v.view.left, -32);
    EXPECT_EQ(v.view.top, -20);

    ASSERT_TRUE(ZoomGesture(&v, {300, 300}, {100, 100}, client, 160, 100));  // up-left: show all
    EXPECT_EQ(v.view, DefaultView(160, 100));

    const ViewRect panned = Drag({0, 0, 160, 100}, 5.0f, {100, 100}, {150, 80});
    EXPECT_EQ(panned, (ViewRect{-10, 4, 150, 104}));  // the board follows the mouse
}

TEST(PartHitTest, RulesPerKind)
{
    Board b;
    Via via;
    via.x = 5, via.y = 6;
    Port port;
    port.x = 7, port.y = 8, port.Layer = 1;
    HeatSource heat;
    heat.RectAX = 10, heat.RectAY = 10, heat.RectBX = 20, heat.RectBY = 15;
    Current edge;
    edge.Flags = 1;
    Resistor r;
    r.Net1X = 30, r.Net1Y = 30, r.Net2X = 35, r.Net2Y = 31, r.Net2Z = 1;
    const Part* pVia = b.Add(PART_VIA, via);
    const Part* pPort = b.Add(PART_PORT, port);
    const Part* pHeat = b.Add(PART_HEATSOURCE, heat);
    const Part* pEdge = b.Add(PART_CURRENT, edge);
    const Part* pR = b.Add(PART_RESISTOR, r);
    struct Case {
        Probe probe;
        const Part* expected;
    } cases[] = {
        {{5, 6, 1}, pVia},    // a via on every layer
        {{7, 8, 0}, nullptr}, // the port is on layer 1
        {{7, 8, 1}, pPort},
        {{20, 15, 0}, pHeat}, // corner B inclusive
        {{21, 15, 0}, nullptr},
        {{15, 12, 1}, nullptr}, // other layer
        {{0, 50, 0}, pEdge},    // edge-to-edge source at the first and last column
        {{159, 3, 1}, pEdge},
        {{35, 31, 1}, pR},      // end 2 with its layer
        {{35, 31, 0}, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SearchPart(b.board, c.probe, nullptr), c.expected) << c.probe.x << "," << c.probe.y << "," << c.probe.layer;
}

TEST(MovingPart, RectangleEdgesAndWholeMoves)
{
    Board b;
    HeatSource heat;
    heat.RectAX = 10, heat.RectAY = 10, heat.RectBX = 20, heat.RectBY = 15;
    Part* part = b.Add(PART_HEATSOURCE, heat);
    struct Case {
        Probe grab, mouse;
        uint32_t ax, ay, bx, by;
    } cases[] = {
        {{10, 12, 0}, {25, 12, 0}, 20, 10, 20, 15},  // left edge past the right edge: width one
        {{10, 12, 0}, {4, 2, 0}, 4, 10, 20, 15},     // left edge moves left only in x
        {{20, 12, 0}, {12, 12, 0}, 10, 10, 12, 15},  // right edge
        {{15, 10, 0}, {15, 30, 0}, 10, 15, 20, 15},  // top edge down past the bottom
        {{15, 15, 0}, {15, 18, 0}, 10, 10, 20, 18},  // bottom edge
        {{15, 12, 0}, {17, 13, 0}, 12, 11, 22, 16},  // inside: the whole rectangle
        {{15, 12, 0}, {155, 12, 0}, 150, 10, 159, 15},  // clamped into the board
    };
    for (const Case& c : cases) {
        MovingPart moving;
        moving.CopyFrom(*part);
        moving.ApplyMove(b.board, c.grab, c.mouse);
        const auto& r = moving.Record<HeatSource>();
        EXPECT_EQ((std::array<uint32_t, 4>{r.RectAX, r.RectAY, r.RectBX, r.RectBY}),
                  (std::array<uint32_t, 4>{c.ax, c.ay, c.bx, c.by}))
            << c.grab.x << "," << c.grab.y << " -> " << c.mouse.x << "," << c.mouse.y;
    }
    EXPECT_EQ(PartRecord<HeatSource>(part)->RectAX, 10u);  // the board is unchanged until committed
}

TEST(MovingPart, EndsOfTwoPointParts)
{
    Board b;
    Resistor ground;
    ground.Net1X = ground.Net2X = 30, ground.Net1Y = ground.Net2Y = 30;
    CopyName(ground.Net2Name, "0");
    Resistor named;
    named.Net1X = 40, named.Net1Y = 40, named.Net2X = 45, named.Net2Y = 40;
    CopyName(named.Net2Name, "X");
    Current source;
    source.Net1X = source.Net2X = 50, source.Net1Y = source.Net2Y = 50;
    MovingPart m;

    m.CopyFrom(PART_RESISTOR, &ground);
    m.ApplyMove(b.board, {30, 30, 0}, {35, 33, 1});
    EXPECT_EQ((std::array<uint32_t, 6>{m.Record<Resistor>().Net1X, m.Record<Resistor>().Net1Y, m.Record<Resistor>().Net1Z,
                                       m.Record<Resistor>().Net2X, m.Record<Resistor>().Net2Y, m.Record<Resistor>().Net2Z}),
              (std::array<uint32_t, 6>{35, 33, 1, 35, 33, 1}));

    m.CopyFrom(PART_RESISTOR, &named);
    m.ApplyMove(b.board, {45, 40, 0}, {47, 41, 0});
    EXPECT_EQ(m.Record<Resistor>().Net1X, 40u);
    EXPECT_EQ(m.Record<Resistor>().Net2X, 47u);

    // Both ends of a current source on one element: end 2 is tested first.
    m.CopyFrom(PART_CURRENT, &source);
    m.ApplyMove(b.board, {50, 50, 0}, {52, 50, 0});
    EXPECT_EQ(m.Record<Current>().Net1X, 50u);
    EXPECT_EQ(m.Record<Current>().Net2X, 52u);

    Via via;
    via.x = 1;
    m.CopyFrom(PART_VIA, &via);
    m.ApplyMove(b.board, {9, 9, 1}, {12, 13, 1});  // grabbed anywhere
    EXPECT_EQ(m.Record<Via>().x, 12u);
    EXPECT_EQ(m.Record<Via>().y, 13u);
}

TEST(BoardPainter, CapacitorLabelAndDimmedLayers)
{
    Cap cap;
    cap.Ref = 3, cap.Capacitance = 100e-9f, cap.ESR = 10e-3f, cap.ESL = 1e-9f;
    EXPECT_EQ(CapacitorLabel(cap).toStdString(), "C3  100nF 10mOhm 1nH");

    SimMatrix board;
    InitSimulationMatrix(&board);
    SetLayerCount(&board, 4);
    board.CountPixelX = 3, board.CountPixelY = 1;
    MallocCopperMatrix(&board);
    board.CopperMatrix[0][0][0] = 1;                                                       // active layer
    board.CopperMatrix[1][0][1] = board.CopperMatrix[1][0][2] = board.CopperMatrix[1][0][3] = 1;  // three others
    QImage image(3, 1, QImage::Format_RGB32);
    DrawMatrix(image, board, 0, {}, true);
    EXPECT_EQ(image.pixel(0, 0), qRgb(200, 200, 200));
    EXPECT_EQ(image.pixel(1, 0), qRgb(75, 75, 30));
    EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 0));
    DrawMatrix(image, board, 0, {}, false);
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 0));
    freeSimulationMatrix(&board);
}
