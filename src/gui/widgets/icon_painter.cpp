#include "widgets/icon_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korvex::gui {
namespace {

constexpr int kSize = 24;
const QColor kInk(30, 30, 30);
const QColor kCopper(200, 120, 40);
const QColor kPart(0, 160, 40);

using Draw = void (*)(QPainter&);

QIcon Paint(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1.5));
    draw(p);
    return QIcon(pixmap);
}

void Page(QPainter& p)
{
    p.setBrush(Qt::white);
    QPolygonF page({{5, 2}, {15, 2}, {20, 7}, {20, 22}, {5, 22}});
    p.drawPolygon(page);
    p.drawLine(QPointF(15, 2), QPointF(15, 7));
    p.drawLine(QPointF(15, 7), QPointF(20, 7));
}

void Letter(QPainter& p, const QString& text, QColor colour = kInk, int pixel = 11)
{
    QFont font;
    font.setPixelSize(pixel);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, text);
}

// A board with copper and a lightning mark: the simulation buttons.
void Simulation(QPainter& p, QColor colour, const QString& text)
{
    p.setBrush(QColor(40, 110, 40));
    p.drawRoundedRect(QRectF(2, 4, 20, 16), 2, 2);
    Letter(p, text, colour, text.size() > 2 ? 7 : 9);
}

void Resistor(QPainter& p)
{
    p.drawLine(QPointF(2, 12), QPointF(6, 12));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 8, 12, 8));
    p.drawLine(QPointF(18, 12), QPointF(22, 12));
}

}  // namespace

QIcon ApplicationIcon()
{
    return Paint([](QPainter& p) {
        p.setBrush(QColor(20, 90, 40));
        p.drawRoundedRect(QRectF(1, 1, 22, 22), 3, 3);
        p.setPen(QPen(kCopper, 2.5));
        p.drawLine(QPointF(5, 7), QPointF(19, 7));
        p.drawLine(QPointF(5, 7), QPointF(5, 18));
        p.drawLine(QPointF(12, 12), QPointF(19, 18));
        Letter(p, "K", Qt::white, 10);
    });
}

QIcon CommandIcon(Command command)
{
    const int n = CommandNumber(command);
    if (n >= CommandNumber(Command::Layer1) && n <= CommandNumber(Command::Layer8))
        return Paint([n](QPainter& p) {
            p.setBrush(QColor(220, 220, 220));
            p.drawRect(QRectF(2, 2, 20, 20));
            Letter(p, QString::number(n - CommandNumber(Command::Layer1) + 1), kInk, 14);
        });
    switch (command) {
    case Command::New:
        return Paint(Page);
    case Command::Open:
        return Paint([](QPainter& p) {
            p.setBrush(QColor(240, 200, 90));
            p.drawPolygon(QPolygonF({{2, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 20}, {2, 20}}));
        });
    case Command::Save:
        return Paint([](QPainter& p) {
            p.setBrush(QColor(70, 90, 160));
            p.drawRect(QRectF(3, 3, 18, 18));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(7, 3, 10, 7));
            p.drawRect(QRectF(6, 14, 12, 7));
        });
    case Command::CreateMesh:
        return Paint([](QPainter& p) {
            p.setPen(QPen(QColor(90, 90, 230), 1.2));
            for (int i = 3; i <= 21; i += 6) {
                p.drawLine(QPointF(i, 3), QPointF(i, 21));
                p.drawLine(QPointF(3, i), QPointF(21, i));
            }
            p.drawLine(QPointF(12, 3), QPointF(12, 12));
            p.drawLine(QPointF(3, 6), QPointF(9, 6));
        });
    case Command::SimulateElectrical: return Paint([](QPainter& p) { Simulation(p, QColor(255, 230, 0), "V"); });
    case Command::SimulateThermal: return Paint([](QPainter& p) { Simulation(p, QColor(255, 90, 60), "T"); });
    case Command::SimulateZin: return Paint([](QPainter& p) { Simulation(p, Qt::cyan, "Z"); });
    case Command::SimulateS21: return Paint([](QPainter& p) { Simulation(p, Qt::cyan, "S21"); });
    case Command::SimulateNoiseTransfer: return Paint([](QPainter& p) { Simulation(p, Qt::white, "NT"); });
    case Command::SimulateCurrentNoiseTransfer: return Paint([](QPainter& p) { Simulation(p, Qt::white, "INT"); });
    case Command::SimulateVoltageNoiseTime: return Paint([](QPainter& p) { Simulation(p, Qt::white, "Vt"); });
    case Command::ShowVoltage: return Paint([](QPainter& p) { Letter(p, "V", QColor(200, 30, 30), 15); });
    case Command::ShowCurrentDensity: return Paint([](QPainter& p) { Letter(p, "J", QColor(200, 30, 30), 15); });
    case Command::ShowTemperature: return Paint([](QPainter& p) { Letter(p, "T", QColor(200, 30, 30), 15); });
    case Command::ShowZin: return Paint([](QPainter& p) { Letter(p, "Z", QColor(200, 30, 30), 15); });
    case Command::DrawCopper:
        return Paint([](QPainter& p) {
            p.setPen(QPen(kCopper, 3, Qt::SolidLine, Qt::RoundCap));
            QPainterPath path(QPointF(3, 18));
            path.cubicTo(QPointF(8, 4), QPointF(14, 22), QPointF(21, 5));
            p.drawPath(path);
        });
    case Command::DrawLine:
        return Paint([](QPainter& p) {
            p.setPen(QPen(kCopper, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3, 20), QPointF(21, 4));
        });
    case Command::DrawFilledRectangle:
        return Paint([](QPainter& p) {
            p.setBrush(kCopper);
            p.drawRect(QRectF(4, 6, 16, 12));
        });
    case Command::DeleteCopper:
        return Paint([](QPainter& p) {
            p.setBrush(QColor(240, 150, 170));
            p.drawPolygon(QPolygonF({{4, 15}, {13, 6}, {20, 13}, {11, 22}}));
        });
    case Command::DeleteRectangle:
        return Paint([](QPainter& p) {
            p.setPen(QPen(kInk, 1.5, Qt::DashLine));
            p.drawRect(QRectF(4, 6, 16, 12));
            p.setPen(QPen(Qt::red, 2));
            p.drawLine(QPointF(6, 8), QPointF(18, 16));
        });
    case Command::DeletePart:
        return Paint([](QPainter& p) {
            p.setBrush(kPart);
            p.drawRect(QRectF(6, 6, 12, 12));
            p.setPen(QPen(Qt::red, 2.5));
            p.drawLine(QPointF(4, 4), QPointF(20, 20));
            p.drawLine(QPointF(20, 4), QPointF(4, 20));
        });
    case Command::EditPart:
        return Paint([](QPainter& p) {
            p.setBrush(kPart);
            p.drawRect(QRectF(3, 10, 10, 10));
            p.setPen(QPen(kInk, 2.5));
            p.drawLine(QPointF(10, 14), QPointF(21, 3));
        });
    case Command::MovePart:
        return Paint([](QPainter& p) {
            p.setPen(QPen(kInk, 2));
            p.drawLine(QPointF(12, 2), QPointF(12, 22));
            p.drawLine(QPointF(2, 12), QPointF(22, 12));
            p.drawPolyline(QPolygonF({{9, 5}, {12, 2}, {15, 5}}));
            p.drawPolyline(QPolygonF({{9, 19}, {12, 22}, {15, 19}}));
            p.drawPolyline(QPolygonF({{5, 9}, {2, 12}, {5, 15}}));
            p.drawPolyline(QPolygonF({{19, 9}, {22, 12}, {19, 15}}));
        });
    case Command::AddVia:
        return Paint([](QPainter& p) {
            p.setBrush(kCopper);
            p.drawEllipse(QPointF(12, 12), 8, 8);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(12, 12), 3.5, 3.5);
        });
    case Command::AddCurrentSource:
        return Paint([](QPainter& p) {
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(12, 12), 9, 9);
            p.drawLine(QPointF(12, 17), QPointF(12, 7));
            p.drawPolyline(QPolygonF({{9, 10}, {12, 7}, {15, 10}}));
        });
    case Command::AddHeatSource:
        return Paint([](QPainter& p) {
            p.setBrush(QColor(240, 90, 40));
            p.drawRect(QRectF(4, 10, 16, 10));
            p.setPen(QPen(QColor(240, 90, 40), 1.5));
            for (int x : {8, 12, 16}) p.drawLine(QPointF(x, 8), QPointF(x, 3));
        });
    case Command::AddHeatsink:
        return Paint([](QPainter& p) {
            p.setBrush(QColor(160, 160, 170));
            p.drawRect(QRectF(3, 16, 18, 5));
            for (int x : {4, 9, 14, 19}) p.drawRect(QRectF(x, 4, 2, 12));
        });
    case Command::AddResistor:
        return Paint(Resistor);
    case Command::AddGround:
        return Paint([](QPainter& p) {
            p.setPen(QPen(QColor(0, 0, 230), 2));
            p.drawLine(QPointF(12, 3), QPointF(12, 14));
            p.drawLine(QPointF(4, 14), QPointF(20, 14));
            p.drawLine(QPointF(7, 18), QPointF(17, 18));
            p.drawLine(QPointF(10, 22), QPointF(14, 22));
        });
    case Command::AddPort:
        return Paint([](QPainter& p) {
            p.setPen(QPen(QColor(120, 120, 255), 2));
            p.drawEllipse(QPointF(12, 9), 6, 6);
            p.drawLine(QPointF(12, 15), QPointF(12, 20));
            p.drawLine(QPointF(6, 20), QPointF(18, 20));
        });
    case Command::AddCapacitor:
        return Paint([](QPainter& p) {
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(7, 3, 10, 3));
            p.drawRect(QRectF(7, 18, 10, 3));
            p.setBrush(QColor(200, 150, 150));
            p.drawRect(QRectF(7, 6, 10, 12));
        });
    case Command::AddSubcircuit:
        return Paint([](QPainter& p) {
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(7, 3, 10, 3));
            p.drawRect(QRectF(7, 18, 10, 3));
            p.setBrush(QColor(255, 255, 0));
            p.drawRect(QRectF(7, 6, 10, 12));
        });
    case Command::AddSeriesSubcircuit:
        return Paint([](QPainter& p) {
            p.drawLine(QPointF(2, 12), QPointF(6, 12));
            p.setBrush(QColor(255, 255, 0));
            p.drawRect(QRectF(6, 7, 12, 10));
            p.drawLine(QPointF(18, 12), QPointF(22, 12));
        });
    default:
        return Paint([n](QPainter& p) { Letter(p, QString::number(n % 100), kInk, 9); });
    }
}

}  // namespace korvex::gui
