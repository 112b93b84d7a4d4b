#include "edit/board_painter.h"

#include <algorithm>
#include <cstring>

#include "util/number_text.h"

namespace korvex::gui {
namespace {

QColor FromColorRef(uint32_t c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

constexpr uint32_t Rgb(int r, int g, int b)
{
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

// A GDI-style rectangle: left/top inclusive, right/bottom exclusive.
QRect GdiRect(int l, int t, int r, int b)
{
    return QRect(QPoint(std::min(l, r), std::min(t, b)), QPoint(std::max(l, r) - 1, std::max(t, b) - 1));
}

QFont LabelFont(int pixelHeight)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixelHeight);
    return font;
}

// Text with its top-left corner at (x, y).
void TextAt(QPainter& p, int x, int y, const QString& text)
{
    p.drawText(x, y + p.fontMetrics().ascent(), text);
}

// Drawing context of one part: colour, margin, element geometry.
struct PartPen {
    QPainter& p;
    const SimMatrix& board;
    const BoardView& v;
    int active;
    bool highlighted;
    int m;

    float f() const { return v.pixelPerElement; }
    int CentreX(uint32_t x) const { return static_cast<int>((x - double(v.view.left)) * f() + f() / 2); }
    int CentreY(uint32_t y) const { return static_cast<int>((y - double(v.view.top)) * f() + f() / 2); }
    void Box(uint32_t x, uint32_t y) const
    {
        p.drawRect(GdiRect(v.X(x) - m, v.Y(y) - m, v.X(x + 1.0) + m, v.Y(y + 1.0) + m));
    }
    void Line(uint32_t x1, uint32_t y1, uint32_t x2, uint32_t y2) const
    {
        p.drawLine(CentreX(x1), CentreY(y1), CentreX(x2), CentreY(y2));
    }
    // A label beside element (x, y).
    void Label(uint32_t x, uint32_t y, const QString& text, int dy = 0) const
    {
        TextAt(p, v.X(x + 1.0) + 5, v.Y(y) + dy, text);
    }
    double Scale() const
    {
        const double pitch = board.CountPixelX > 0 ? board.SizeX / board.CountPixelX : 1.0;
        return f() / pitch / 1000.0;
    }
    void Symbol(uint32_t x, uint32_t y, const VectorCommand* c, int n, bool selected) const
    {
        VDraw(p, CentreX(x), CentreY(y), Scale(), c, n, highlighted, selected);
    }
};

// "R to "name"" placed towards the board's inside.
void NetLabel(const PartPen& pp, uint32_t x, uint32_t y, const char* net)
{
    const QString text = QStringLiteral("R to \"%1\"").arg(QString::fromUtf8(net));
    const int lx = x <= pp.board.CountPixelX / 2 ? pp.v.X(x + 1.0) : pp.v.X(x) - 7 * text.size();
    const int ly = y <= pp.board.CountPixelY / 2 ? pp.v.Y(y) : pp.v.Y(y) - 12;
    TextAt(pp.p, lx, ly, text);
}

QString Fixed(double value)
{
    return QString::asprintf("%f", value);
}

void DrawCurrent(const PartPen& pp, const Current& c)
{
    const auto& v = pp.v;
    const uint32_t cx = pp.board.CountPixelX, cy = pp.board.CountPixelY;
    if (c.Flags == 1) {
        pp.p.drawRect(GdiRect(v.X(0), v.Y(0), v.X(1) + pp.m, v.Y(cy)));
        pp.p.drawRect(GdiRect(v.X(cx - 1.0) - pp.m, v.Y(0), v.X(cx), v.Y(cy)));
        if (pp.highlighted) {
            TextAt(pp.p, v.X(1) + 5, v.Y(0), QString::fromUtf8(c.Net1Name));
            TextAt(pp.p, v.X(1) + 5, v.Y(0) + 15, Fixed(c.Current) + " A Source");
            const QString n2 = QString::fromUtf8(c.Net2Name);
            TextAt(pp.p, v.X(cx - 1.0) - 10 * n2.size(), v.Y(0), n2);
        }
    }
    if (c.Net1Name[0] != '\0' || c.Net2Name[0] != '\0') return;
    const bool on1 = int(c.Net1Z) == pp.active, on2 = int(c.Net2Z) == pp.active;
    if (!on1 && !on2) return;
    if (on1) pp.Box(c.Net1X, c.Net1Y);
    if (on2) pp.Box(c.Net2X, c.Net2Y);
    pp.Line(c.Net1X, c.Net1Y, c.Net2X, c.Net2Y);
    if (pp.highlighted) {
        pp.Label(c.Net1X, c.Net1Y, Fixed(c.Current) + " A Source");
        pp.Label(c.Net2X, c.Net2Y, Fixed(c.Current) + " A Sink");
    }
}

void DrawResistor(const PartPen& pp, const Resistor& r, bool selected)
{
    const bool on1 = int(r.Net1Z) == pp.active, on2 = int(r.Net2Z) == pp.active;
    if (!on1 && !on2) return;
    const bool named1 = r.Net1Name[0] != '\0', named2 = r.Net2Name[0] != '\0';
    if (!named1 && !named2) {
        if (on1) pp.Box(r.Net1X, r.Net1Y);
        if (on2) pp.Box(r.Net2X, r.Net2Y);
        pp.Line(r.Net1X, r.Net1Y, r.Net2X, r.Net2Y);
        if (pp.highlighted) {
            pp.Label(r.Net1X, r.Net1Y, Fixed(r.Rser) + " Ohm");
            pp.Label(r.Net2X, r.Net2Y, Fixed(r.Rser) + " Ohm");
        }
    } else if (!named1 && named2) {
        if (!on1) return;
        if (std::strcmp(r.Net2Name, "0") == 0) pp.Symbol(r.Net1X, r.Net1Y, V_GND, 3, selected);
        else pp.Box(r.Net1X, r.Net1Y);
        if (pp.highlighted) NetLabel(pp, r.Net1X, r.Net1Y, r.Net2Name);
    } else if (named1 && !named2) {
        if (!on2) return;
        pp.Box(r.Net2X, r.Net2Y);
        NetLabel(pp, r.Net2X, r.Net2Y, r.Net1Name);
    }
}

template <class T>
void DrawRectanglePart(const PartPen& pp, const T& r)
{
    const auto& v = pp.v;
    const float f = pp.f();
    pp.p.drawRect(GdiRect(v.X(r.RectAX) - pp.m, v.Y(r.RectAY) - pp.m, static_cast<int>(v.X(r.RectBX) + f) + pp.m,
                          static_cast<int>(v.Y(r.RectBY) + f) + pp.m));
}

void DrawSeries(const PartPen& pp, const SeriesSubCircuit& s)
{
    const bool on1 = int(s.Net1Z) == pp.active, on2 = int(s.Net2Z) == pp.active;
    if (!on1 && !on2) return;
    if (on1) pp.Box(s.Net1X, s.Net1Y);
    if (on2) pp.Box(s.Net2X, s.Net2Y);
    pp.Line(s.Net1X, s.Net1Y, s.Net2X, s.Net2Y);
    if (pp.highlighted) {
        const QString label = QStringLiteral("XS%1 %2").arg(s.Reference).arg(QString::fromUtf8(s.Name));
        pp.Label(s.Net1X, s.Net1Y, label);
        pp.Label(s.Net2X, s.Net2Y, label);
    }
}

}  // namespace

const VectorCommand V_Cap[6] = {
    {3, Rgb(100, 100, 100), 1, 0, 0, 0},        {4, Rgb(150, 150, 150), 0, 0, 0, 0},
    {1, 0, -0.4f, 0.8f, 0.4f, 0.6f},             {1, 0, -0.4f, -0.8f, 0.4f, -0.6f},
    {4, Rgb(200, 150, 150), 0, 0, 0, 0},        {1, 0, -0.4f, 0.6f, 0.4f, -0.6f},
};
const VectorCommand V_SubCircuit[6] = {
    {3, Rgb(100, 100, 100), 1, 0, 0, 0},        {4, Rgb(150, 150, 150), 0, 0, 0, 0},
    {1, 0, -0.4f, 0.8f, 0.4f, 0.6f},             {1, 0, -0.4f, -0.8f, 0.4f, -0.6f},
    {4, Rgb(255, 255, 0), 0, 0, 0, 0},          {1, 0, -0.4f, 0.6f, 0.4f, -0.6f},
};
const VectorCommand V_Port[5] = {
    {3, Rgb(155, 155, 255), 2, 0, 0, 0}, {5, 0, 0, 0, 0, 0}, {2, 0, -1, -1, 1, 1},
    {0, 0, 0, -1, 0, -2},                {0, 0, -1, -2, 1, -2},
};
const VectorCommand V_GND[3] = {
    {3, Rgb(0, 0, 255), 2, 0, 0, 0},
    {0, 0, 0, 1, 0, -1},
    {0, 0, -1, -1, 1, -1},
};

void DrawMatrix(QImage& matrix, const SimMatrix& board, int activeLayer, ElementRect rect, bool showOtherLayers)
{
    const int cx = static_cast<int>(board.CountPixelX), cy = static_cast<int>(board.CountPixelY);
    if (board.CopperMatrix == nullptr || matrix.width() < cx || matrix.height() < cy) return;
    if (rect.IsEmpty()) {
        rect = {0, 0, cx, cy};
    } else {
        if (rect.left > rect.right) std::swap(rect.left, rect.right);
        if (rect.top > rect.bottom) std::swap(rect.top, rect.bottom);
        rect.right += 1, rect.bottom += 1;
        rect.left = std::clamp(rect.left, 0, cx), rect.right = std::clamp(rect.right, 0, cx);
        rect.top = std::clamp(rect.top, 0, cy), rect.bottom = std::clamp(rect.bottom, 0, cy);
    }
    const int layers = board.LayerCount;
    const QRgb copper = kCopperColour.rgb();
    auto* bits = reinterpret_cast<QRgb*>(matrix.bits());
    const qsizetype stride = matrix.bytesPerLine() / 4;
    for (int x = rect.left; x < rect.right; ++x) {
        float* const* column = board.CopperMatrix[x];
        for (int y = rect.top; y < rect.bottom; ++y) {
            const float* e = column[y];
            QRgb pixel = qRgb(0, 0, 0);
            if (activeLayer >= 0 && activeLayer < layers && e[activeLayer] > 0.0f) {
                pixel = copper;
            } else if (showOtherLayers) {
                int n = 0;
                for (int l = 0; l < layers; ++l) n += e[l] > 0.0f;
                pixel = qRgb((25 * n) % 256, (25 * n) % 256, (10 * n) % 256);
            }
            bits[y * stride + x] = pixel;
        }
    }
}

void DrawBackground(QImage& background, const QImage& matrix, const SimMatrix& board, const BoardView& view,
                    int activeLayer, const Part* selected, const QRect& clip)
{
    QPainter p(&background);
    if (clip.isEmpty()) {
        background.fill(Qt::black);
    } else {
        p.setClipRect(clip);
        p.fillRect(clip, Qt::black);
    }
    DrawMatrixIntoView(p, matrix, board, view);
    DrawParts(p, board, view, activeLayer, selected);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(GdiRect(view.X(0), view.Y(0), view.X(board.CountPixelX), view.Y(board.CountPixelY)));
}

void DrawMatrixIntoView(QPainter& p, const QImage& matrix, const SimMatrix& board, const BoardView& view)
{
    const ViewRect& v = view.view;
    const double f = view.pixelPerElement;
    const int cx = static_cast<int>(board.CountPixelX), cy = static_cast<int>(board.CountPixelY);
    const int sx0 = std::max(v.left, 0), sy0 = std::max(v.top, 0);
    const int sx1 = std::min(v.right, cx), sy1 = std::min(v.bottom, cy);
    if (sx1 <= sx0 || sy1 <= sy0 || matrix.isNull()) return;
    const QRectF target((sx0 - v.left) * f, (sy0 - v.top) * f, (sx1 - sx0) * f, (sy1 - sy0) * f);
    p.drawImage(target, matrix, QRectF(sx0, sy0, sx1 - sx0, sy1 - sy0));
}

void DrawParts(QPainter& painter, const SimMatrix& board, const BoardView& view, int activeLayer, const Part* selected)
{
    for (const Part* part = board.pFirstPart; part != nullptr; part = part->pNext)
        DrawPart(painter, board, part, view, activeLayer, false, part == selected);
}

int DrawPart(QPainter& painter, const SimMatrix& board, const Part* part, const BoardView& view, int activeLayer,
             bool highlighted, bool selected)
{
    if (part == nullptr) return -1;
    painter.save();
    const QColor colour = selected ? kSelectedColour : highlighted ? kHighlightColour : kPartColour;
    painter.setFont(LabelFont(12));
    painter.setPen(QPen(colour, 1));
    painter.setBrush(highlighted ? QBrush(Qt::NoBrush) : QBrush(colour, Qt::BDiagPattern));
    const PartPen pp{painter, board, view, activeLayer, highlighted, highlighted ? 3 : 0};
    switch (part->Kind) {
    case PART_VIA: {
        const auto& via = *PartRecord<Via>(part);
        const double pitch = board.CountPixelX > 0 ? board.SizeX / board.CountPixelX : 1.0;
        const int r = static_cast<int>(via.Diameter / pitch * view.pixelPerElement * 0.5);
        const int mx = pp.CentreX(via.x), my = pp.CentreY(via.y);
        painter.drawEllipse(GdiRect(mx - r - pp.m, my - r - pp.m, mx + r + pp.m, my + r + pp.m));
        if (highlighted && board.LayerCount - 1 > activeLayer && activeLayer >= 0)
            pp.Label(via.x, via.y,
                     QString::asprintf("Layer %1u to %1u %f A", activeLayer + 1, activeLayer + 2,
                                       double(via.Current[activeLayer])));
        break;
    }
    case PART_CURRENT:
        DrawCurrent(pp, *PartRecord<Current>(part));
        break;
    case PART_RESISTOR:
        DrawResistor(pp, *PartRecord<Resistor>(part), selected);
        break;
    case PART_HEATSOURCE: {
        const auto& h = *PartRecord<HeatSource>(part);
        if (int(h.RectAZ) != activeLayer) break;
        DrawRectanglePart(pp, h);
        if (highlighted) {
            pp.Label(h.RectBX, h.RectBY, Fixed(h.Power) + " W");
            pp.Label(h.RectBX, h.RectBY, QString::fromUtf8(h.Net), 15);
            pp.Label(h.RectBX, h.RectBY, QString::asprintf("Tj %.2f °C", h.Temperature), 30);
        }
        break;
    }
    case PART_HEATSINK: {
        const auto& h = *PartRecord<HeatSink>(part);
        if (int(h.RectAZ) != activeLayer) break;
        DrawRectanglePart(pp, h);
        if (highlighted) {
            if (h.ThermalResistance > 0) pp.Label(h.RectBX, h.RectBY, Fixed(h.ThermalResistance) + " K/W");
            pp.Label(h.RectBX, h.RectBY, QString::fromUtf8(h.Net), 15);
            pp.Label(h.RectBX, h.RectBY, QString::asprintf("THeatsink %.2f °C", h.Temperature), 30);
        }
        break;
    }
    case PART_PORT: {
        const auto& port = *PartRecord<Port>(part);
        if (int(port.Layer) != activeLayer) break;
        pp.Symbol(port.x, port.y, V_Port, 5, selected);
        if (highlighted) pp.Label(port.x, port.y, QStringLiteral("PORT %1").arg(port.ID));
        break;
    }
    case PART_CAP: {
        const auto& cap = *PartRecord<Cap>(part);
        if (int(cap.Layer) != activeLayer) break;
        pp.Symbol(cap.x, cap.y, V_Cap, 6, selected);
        if (highlighted) pp.Label(cap.x, cap.y, CapacitorLabel(cap));
        break;
    }
    case PART_SUBCIRCUIT: {
        const auto& sub = *PartRecord<SubCircuit>(part);
        if (int(sub.Layer) != activeLayer) break;
        pp.Symbol(sub.x, sub.y, V_SubCircuit, 6, selected);
        if (highlighted) pp.Label(sub.x, sub.y, QStringLiteral("X%1 %2").arg(sub.Reference).arg(sub.Name));
        break;
    }
    case PART_SERIESSUBCIRCUIT:
        DrawSeries(pp, *PartRecord<SeriesSubCircuit>(part));
        break;
    default:
        break;
    }
    painter.restore();
    return 0;
}

QString CapacitorLabel(const Cap& cap)
{
    QString label = QStringLiteral("C%1 ").arg(cap.Ref);
    label += QStringLiteral(" %1F").arg(QString::fromStdString(FloatToChar(cap.Capacitance)));
    label += QStringLiteral(" %1Ohm").arg(QString::fromStdString(FloatToChar(cap.ESR)));
    label += QStringLiteral(" %1H").arg(QString::fromStdString(FloatToChar(cap.ESL)));
    return label;
}

void VDraw(QPainter& p, int anchorX, int anchorY, double scale, const VectorCommand* commands, int count,
           bool highlighted, bool selected)
{
    p.save();
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::white);
    auto at = [&](float px, float py) {
        return QPoint(static_cast<int>(anchorX + px * scale), static_cast<int>(anchorY - py * scale));
    };
    for (int i = 0; i < count; ++i) {
        const VectorCommand& c = commands[i];
        switch (c.opcode) {
        case 0:
            p.drawLine(at(c.a, c.b), at(c.c, c.d));
            break;
        case 1:
        case 2: {
            const QPoint a = at(c.a, c.b), b = at(c.c, c.d);
            const QRect r = GdiRect(a.x(), a.y(), b.x(), b.y());
            if (c.opcode == 1) p.drawRect(r);
            else p.drawEllipse(r);
            break;
        }
        case 3:
            if (highlighted) p.setPen(QPen(kHighlightColour, 2));
            else if (selected) p.setPen(QPen(kSelectedColour, 2));
            else p.setPen(QPen(FromColorRef(c.colour), c.a));
            break;
        case 4:
            p.setBrush(FromColorRef(c.colour));
            break;
        case 5:
            p.setBrush(Qt::NoBrush);
            break;
        default:
            break;
        }
    }
    p.restore();
}

void DrawMesh(QPainter& p, const Mesh& mesh, const BoardView& view)
{
    p.save();
    p.setPen(QPen(QColor(150, 150, 255), 1));
    p.setBrush(Qt::NoBrush);
    const float f = view.pixelPerElement;
    for (const MeshNode* node = GetFirstNode(&mesh); node != nullptr; node = GetNextNode(node)) {
        const MeshRect r = GetRect(node);
        p.drawRect(GdiRect(view.X(r.left), view.Y(r.top), static_cast<int>(view.X(r.right) + f + 1),
                           static_cast<int>(view.Y(r.bottom) + f + 1)));
    }
    p.restore();
}

int DrawNode(QPainter& p, const Mesh* mesh, const MeshNode* node, const BoardView& view)
{
    if (mesh == nullptr || node == nullptr) return -1;
    p.save();
    p.setPen(QPen(QColor(250, 150, 255), 1));
    p.setBrush(Qt::NoBrush);
    const float f = view.pixelPerElement;
    const MeshRect r = GetRect(node);
    p.drawRect(GdiRect(view.X(r.left), view.Y(r.top), static_cast<int>(view.X(r.right) + f + 1),
                       static_cast<int>(view.Y(r.bottom) + f + 1)));
    p.restore();
    return 0;
}

}  // namespace korvex::gui
