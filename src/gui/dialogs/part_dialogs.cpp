#include "dialogs/part_dialogs.h"

#include <QVBoxLayout>
#include <array>

#include "board/part_records.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

constexpr int kNetNameChars = 18;  // net names: 19 bytes with the terminating NUL

// A dialog with a form grid; `store` runs when OK is pressed.
struct FormDialog {
    QDialog* dialog;
    FormGrid form;
};

FormDialog NewForm(QWidget* parent, const QString& title, const QString& resource)
{
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(title);
    dialog->setProperty("resource", resource);
    auto* layout = new QVBoxLayout(dialog);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    return {dialog, FormGrid(grid)};
}

void Finish(QDialog* dialog, std::function<void()> store)
{
    AddOkCancel(dialog, dialog->layout());
    QObject::connect(dialog, &QDialog::accepted, dialog, std::move(store));
}

template <int N>
void StoreName(char (&field)[N], const QLineEdit* edit, int maxChars)
{
    CopyName(field, ReadText(edit, maxChars).constData());
}

// Six coordinate fields bound to record members: the two ends Net1X ... Net2Z
// (controls 3004 ... 3009) or the corners RectAX ... RectBZ (3007 ... 3012).
template <class T>
class CoordinateFields {
public:
    using Members = std::array<uint32_t T::*, 6>;
    CoordinateFields(FormGrid& f, const T& r, int firstNumber, const std::array<const char*, 6>& labels,
                     const Members& members)
        : members_(members)
    {
        for (int i = 0; i < 6; ++i) {
            edits_[i] = f.Field(firstNumber + i, labels[i]);
            SetUnsigned(edits_[i], r.*members_[i]);
        }
    }
    void Store(T& r) const
    {
        for (int i = 0; i < 6; ++i) r.*members_[i] = ReadUnsigned(edits_[i]);
    }
    QLineEdit* operator[](int i) const { return edits_[i]; }

private:
    std::array<QLineEdit*, 6> edits_{};
    Members members_;
};

template <class T>
CoordinateFields<T> EndFields(FormGrid& f, const T& r)
{
    return {f, r, 3004, {"Net1 X", "Net1 Y", "Net1 Z", "Net2 X", "Net2 Y", "Net2 Z"},
            {&T::Net1X, &T::Net1Y, &T::Net1Z, &T::Net2X, &T::Net2Y, &T::Net2Z}};
}

template <class T>
CoordinateFields<T> RectFields(FormGrid& f, const T& r)
{
    return {f, r, 3007, {"RectA X", "RectA Y", "RectA Z", "RectB X", "RectB Y", "RectB Z"},
            {&T::RectAX, &T::RectAY, &T::RectAZ, &T::RectBX, &T::RectBY, &T::RectBZ}};
}

// A net-name field holding at most kNetNameChars characters.
QLineEdit* NetNameField(FormGrid& f, int number, const QString& label, const char* value)
{
    QLineEdit* edit = f.Field(number, label);
    edit->setMaxLength(kNetNameChars);
    edit->setText(QString::fromUtf8(value));
    return edit;
}

QLineEdit* NumberField(FormGrid& f, int number, const QString& label, const QString& unit, double value)
{
    QLineEdit* edit = f.Field(number, label, unit);
    edit->setText(NumberText(value));
    return edit;
}

}  // namespace

uint32_t ClampLayer(uint32_t layer, int layerCount)
{
    if (layerCount < 1) return 0;
    return layer > static_cast<uint32_t>(layerCount - 1) ? static_cast<uint32_t>(layerCount - 1) : layer;
}

QDialog* CreateViaDialog(QWidget* parent, void* record)
{
    auto& via = *static_cast<Via*>(record);
    auto [dialog, f] = NewForm(parent, "Via Settings", "SETTINGSVIA");
    QLineEdit* thickness = NumberField(f, 3000, "Copperthickness", "m", via.CopperThickness);
    QLineEdit* diameter = NumberField(f, 3001, "Diameter", "m", via.Diameter);
    QLineEdit* x = f.Field(3002, "Position X");
    QLineEdit* y = f.Field(3003, "Position Y");
    SetUnsigned(x, via.x), SetUnsigned(y, via.y);
    Finish(dialog, [&via, thickness, diameter, x, y] {
        via.CopperThickness = ReadNumber(thickness), via.Diameter = ReadNumber(diameter);
        via.x = ReadUnsigned(x), via.y = ReadUnsigned(y);
    });
    return dialog;
}

QDialog* CreatePortDialog(QWidget* parent, void* record, int layerCount)
{
    auto& port = *static_cast<Port*>(record);
    auto [dialog, f] = NewForm(parent, "Port Settings", "SETTINGSPORT");
    QLineEdit* id = f.Field(3000, "ID");
    QLineEdit* layer = f.Field(3001, "Layer");
    SetUnsigned(id, port.ID), SetUnsigned(layer, port.Layer);
    Finish(dialog, [&port, id, layer, layerCount] {
        port.ID = ReadUnsigned(id);
        port.Layer = ClampLayer(ReadUnsigned(layer), layerCount);
    });
    return dialog;
}

QDialog* CreateCurrentDialog(QWidget* parent, void* record)
{
    auto& c = *static_cast<Current*>(record);
    auto [dialog, f] = NewForm(parent, "Current Source Settings", "SETTINGSCURRENT");
    QLineEdit* current = NumberField(f, 3000, "Current", "A", c.Current);
    const auto ends = EndFields(f, c);
    Finish(dialog, [&c, current, ends] {
        c.Current = ReadNumber(current);
        ends.Store(c);
    });
    return dialog;
}

QDialog* CreateResistorDialog(QWidget* parent, void* record)
{
    auto& r = *static_cast<Resistor*>(record);
    auto [dialog, f] = NewForm(parent, "Resistor Settings", "SETTINGSRESISTOR");
    QLineEdit* rser = NumberField(f, 3050, "Rser", "Ohm", r.Rser);
    QLineEdit* lser = NumberField(f, 3051, "Lser", "H", r.Lser);
    QLineEdit* cpar = NumberField(f, 3052, "Cpar", "F", r.Cpar);
    QLineEdit* net2 = NetNameField(f, 3002, "Net2", r.Net2Name);
    const auto ends = EndFields(f, r);
    // A named end has no coordinates of its own.
    auto enableNet2 = [ends, net2] {
        for (int i = 3; i < 6; ++i) ends[i]->setEnabled(net2->text().isEmpty());
    };
    enableNet2();
    QObject::connect(net2, &QLineEdit::editingFinished, dialog, enableNet2);
    if (r.Net1Name[0] != '\0')
        for (int i = 0; i < 3; ++i) ends[i]->setEnabled(false);
    Finish(dialog, [&r, rser, lser, cpar, net2, ends] {
        r.Rser = ReadNumber(rser), r.Lser = ReadNumber(lser), r.Cpar = ReadNumber(cpar);
        StoreName(r.Net2Name, net2, kNetNameChars);
        ends.Store(r);
    });
    return dialog;
}

QDialog* CreateHeatSourceDialog(QWidget* parent, void* record)
{
    auto& h = *static_cast<HeatSource*>(record);
    auto [dialog, f] = NewForm(parent, "Heat Source Settings", "SETTINGSHEAT_SOURCE");
    QLineEdit* rja = NumberField(f, 3000, "Thermal Resistance J-A", "K/W", h.ThermalResistanceJA);
    QLineEdit* power = NumberField(f, 3001, "Power", "W", h.Power);
    QLineEdit* rjc = NumberField(f, 3002, "Thermal Resistance J-C", "K/W", h.ThermalResistanceJC);
    QLineEdit* solder = NumberField(f, 3003, "Thermal Conductivity Solder", "W/(mK)", h.ThermalConductivitySolder);
    QLineEdit* thickness = NumberField(f, 3004, "Thickness Solder", "m", h.ThicknessSolder);
    QLineEdit* coverage = f.Field(3005, "Solder Coverage", "%");
    coverage->setText(QString::asprintf("%f", h.SolderCoverage));
    QLineEdit* net = NetNameField(f, 3006, "Net", h.Net);
    const auto rect = RectFields(f, h);
    Finish(dialog, [&h, rja, power, rjc, solder, thickness, coverage, net, rect] {
        h.ThermalResistanceJA = ReadNumber(rja), h.Power = ReadNumber(power), h.ThermalResistanceJC = ReadNumber(rjc);
        h.ThermalConductivitySolder = ReadNumber(solder), h.ThicknessSolder = ReadNumber(thickness);
        h.SolderCoverage = ReadNumber(coverage);
        StoreName(h.Net, net, kNetNameChars);
        rect.Store(h);
    });
    return dialog;
}

QDialog* CreateHeatSinkDialog(QWidget* parent, void* record)
{
    auto& h = *static_cast<HeatSink*>(record);
    auto [dialog, f] = NewForm(parent, "Heatsink Settings", "SETTINGSHEATSINK");
    QLineEdit* rth = NumberField(f, 3000, "Thermal Resistance", "K/W", h.ThermalResistance);
    QLineEdit* iso = NumberField(f, 3001, "Thermal Conductivity Isolation", "W/(mK)", h.ThermalConductivityIsolation);
    QLineEdit* thickness = NumberField(f, 3002, "Thickness Isolation", "m", h.ThicknessIsolation);
    QLineEdit* net = NetNameField(f, 3006, "Net", h.Net);
    const auto rect = RectFields(f, h);
    Finish(dialog, [&h, rth, iso, thickness, net, rect] {
        h.ThermalResistance = ReadNumber(rth), h.ThermalConductivityIsolation = ReadNumber(iso);
        h.ThicknessIsolation = ReadNumber(thickness);
        StoreName(h.Net, net, kNetNameChars);
        rect.Store(h);
    });
    return dialog;
}

QDialog* CreatePartDialog(QWidget* parent, uint32_t kind, void* record, int layerCount)
{
    switch (kind) {
    case PART_VIA: return CreateViaDialog(parent, record);
    case PART_PORT: return CreatePortDialog(parent, record, layerCount);
    case PART_CURRENT: return CreateCurrentDialog(parent, record);
    case PART_RESISTOR: return CreateResistorDialog(parent, record);
    case PART_HEATSOURCE: return CreateHeatSourceDialog(parent, record);
    case PART_HEATSINK: return CreateHeatSinkDialog(parent, record);
    case PART_SUBCIRCUIT: return CreateSubCircuitDialog(parent, record, layerCount);
    case PART_SERIESSUBCIRCUIT: return CreateSeriesSubCircuitDialog(parent, record);
    case PART_CAP: return CreateCapDialog(parent, record, layerCount);
    default: return nullptr;
    }
}

bool RunPartDialog(QWidget* parent, uint32_t kind, void* record, int layerCount)
{
    QDialog* dialog = CreatePartDialog(parent, kind, record, layerCount);
    if (dialog == nullptr) return false;
    const bool accepted = dialog->exec() == QDialog::Accepted;
    delete dialog;
    return accepted;
}

}  // namespace korvex::gui
