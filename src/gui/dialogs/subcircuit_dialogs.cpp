// The two subcircuit dialogs: ".subckt NAME PORT1 PORT2", the body, ".ends".
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "board/part_records.h"
#include "dialogs/part_dialogs.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

constexpr int kNameChars = 19;      // 20 bytes with the terminating NUL
constexpr int kBodyChars = 9999;    // 10000 bytes with the terminating NUL

struct SubCircuitFields {
    QLineEdit* reference;
    QLineEdit* layer;  // null for the series subcircuit
    QLineEdit* name;
    QLineEdit* port1;
    QLineEdit* port2;
    QPlainTextEdit* body;
};

template <class T>
SubCircuitFields BuildFields(QDialog* dialog, const T& r, bool withLayer)
{
    auto* layout = new QVBoxLayout(dialog);
    auto* top = new QGridLayout;
    layout->addLayout(top);
    FormGrid form(top);
    SubCircuitFields f{};
    f.reference = form.Field(3000, "Reference");
    SetUnsigned(f.reference, r.Reference);
    if (withLayer) f.layer = form.Field(3010, "Layer");

    auto* header = new QGridLayout;
    layout->addLayout(header);
    header->addWidget(new QLabel("Name"), 0, 1);
    header->addWidget(new QLabel("Port1"), 0, 2);
    header->addWidget(new QLabel("Port2"), 0, 3);
    header->addWidget(new QLabel(".subckt"), 1, 0);
    auto field = [&](int number, const char* text, int column) {
        auto* edit = new QLineEdit(QString::fromUtf8(text));
        edit->setObjectName(QString::number(number));
        edit->setMaxLength(kNameChars);
        header->addWidget(edit, 1, column);
        return edit;
    };
    f.name = field(3001, r.Name, 1);
    f.port1 = field(3003, r.Port1, 2);
    f.port2 = field(3004, r.Port2, 3);
    f.body = new QPlainTextEdit(QString::fromUtf8(r.Netlist));
    f.body->setObjectName("3002");
    f.body->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(f.body);
    layout->addWidget(new QLabel(".ends"));
    return f;
}

template <class T>
void StoreFields(T& r, const SubCircuitFields& f)
{
    r.Reference = ReadUnsigned(f.reference);
    CopyName(r.Name, ReadText(f.name, kNameChars).constData());
    CopyName(r.Port1, ReadText(f.port1, kNameChars).constData());
    CopyName(r.Port2, ReadText(f.port2, kNameChars).constData());
    CopyName(r.Netlist, f.body->toPlainText().left(kBodyChars).toUtf8().constData());
}

}  // namespace

QDialog* CreateSubCircuitDialog(QWidget* parent, void* record, int layerCount)
{
    auto& sub = *static_cast<SubCircuit*>(record);
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle("Subcircuit Settings");
    dialog->setProperty("resource", "SETTINGSSUBCIRCUIT");
    const SubCircuitFields f = BuildFields(dialog, sub, true);
    SetUnsigned(f.layer, sub.Layer);
    AddOkCancel(dialog, dialog->layout());
    QObject::connect(dialog, &QDialog::accepted, dialog, [&sub, f, layerCount] {
        StoreFields(sub, f);
        sub.Layer = ClampLayer(ReadUnsigned(f.layer), layerCount);
    });
    return dialog;
}

QDialog* CreateSeriesSubCircuitDialog(QWidget* parent, void* record)
{
    auto& sub = *static_cast<SeriesSubCircuit*>(record);
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle("Series Subcircuit Settings");
    dialog->setProperty("resource", "SETTINGSSERIESSUBCIRCUIT");
    const SubCircuitFields f = BuildFields(dialog, sub, false);
    AddOkCancel(dialog, dialog->layout());
    QObject::connect(dialog, &QDialog::accepted, dialog, [&sub, f] { StoreFields(sub, f); });
    return dialog;
}

}  // namespace korvex::gui
