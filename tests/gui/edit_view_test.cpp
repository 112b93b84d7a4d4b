// The edit window driven by mouse and key events. The view shows elements
// 0 ... 160 x 0 ... 100 at 5 pixels per element: element (x, y) is at client
// (5x + 2, 5y + 2).
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QtTest>

#include "edit/edit_view.h"
#include "edit/part_hit_test.h"
#include "frame/command.h"
#include "gui_test_support.h"
#include "board/part_lookup.h"

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

QTEST_MAIN(EditViewTest)
#include "edit_view_test.moc"
