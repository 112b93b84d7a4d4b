#include "dialogs/cap_dialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "dialogs/cap_list_model.h"
#include "dialogs/part_dialogs.h"
#include "frame/file_dialogs.h"
#include "util/debug_log.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

std::function<void(const Cap&)>& PreviewHandler()
{
    static std::function<void(const Cap&)> handler;
    return handler;
}

}  // namespace

void SetCapacitorPreviewHandler(std::function<void(const Cap&)> handler)
{
    PreviewHandler() = std::move(handler);
}

QDialog* CreateCapDialog(QWidget* parent, void* record, int layerCount)
{
    auto& cap = *static_cast<Cap*>(record);
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle("Capacitor Settings");
    dialog->setProperty("resource", "SETTINGSCAP");
    auto* layout = new QHBoxLayout(dialog);
    auto* left = new QVBoxLayout;
    layout->addLayout(left);
    auto* grid = new QGridLayout;
    left->addLayout(grid);
    FormGrid f(grid);
    QLineEdit* ref = f.Field(3000, "REF");
    SetUnsigned(ref, cap.Ref);
    QLineEdit* values[3] = {f.Field(3001, "Capacitance", "F"), f.Field(3002, "ESR", "Ohm"), f.Field(3003, "ESL", "H")};
    values[0]->setText(NumberText(cap.Capacitance));
    values[1]->setText(NumberText(cap.ESR));
    values[2]->setText(NumberText(cap.ESL));
    QLineEdit* layer = f.Field(3009, "Layer");
    SetUnsigned(layer, cap.Layer);

    auto* table = new QTableView;
    table->setObjectName("3004");
    auto* model = new CapListModel(&gCapDatabase, false, table);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setShowGrid(true);
    table->horizontalHeader()->setSectionsMovable(true);
    for (int c = 0; c < 3; ++c) table->setColumnWidth(c, 80);
    layout->addWidget(table);

    auto* buttons = new QHBoxLayout;
    left->addLayout(buttons);
    auto button = [&](int number, const char* text) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::number(number));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* add = button(3005, "AddCap");
    QPushButton* remove = button(3006, "DeleteCap");
    QPushButton* save = button(3007, "Save List");
    QPushButton* load = button(3008, "Load List");
    AddOkCancel(dialog, left);

    auto selectedRow = [table]() -> int {
        const QModelIndexList rows = table->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    };
    QObject::connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, dialog,
                     [values](const QModelIndex& current) {
                         if (!current.isValid()) return;
                         printDebug("Item Selected iItem %i\r\n", current.row());
                         const CapRecord c = GetCap(&gCapDatabase, current.row());
                         values[0]->setText(NumberText(c.Capacitance));
                         values[1]->setText(NumberText(c.ESR));
                         values[2]->setText(NumberText(c.ESL));
                     });
    QObject::connect(add, &QPushButton::clicked, dialog, [=] {
        const int row = selectedRow();
        const int position = row < 0 ? gCapDatabase.Count : row;
        CapRecord c;
        c.Capacitance = ReadNumber(values[0]), c.ESR = ReadNumber(values[1]), c.ESL = ReadNumber(values[2]);
        AddCap(&gCapDatabase, position, &c);
        printDebug("Add Cap at Pos %u\r\n", static_cast<unsigned>(position));
        model->Reload();
    });
    QObject::connect(remove, &QPushButton::clicked, dialog, [=] {
        const int row = selectedRow();
        if (row < 0) {
            printDebug("Nothing selected\r\n");
            return;
        }
        DeleteCap(&gCapDatabase, row);
        printDebug("DeleteCap Item %u\r\n", static_cast<unsigned>(row));
        model->Reload();
    });
    QObject::connect(save, &QPushButton::clicked, dialog, [=] {
        const QString path = GetFileNamecsv(dialog, true);
        if (!path.isEmpty()) SaveCapDatabase(&gCapDatabase, path.toUtf8().constData());
    });
    QObject::connect(load, &QPushButton::clicked, dialog, [=] {
        const QString path = GetFileNamecsv(dialog, false);
        if (path.isEmpty()) return;
        LoadCapDatabase(&gCapDatabase, path.toUtf8().constData());
        model->Reload();
    });
    for (QLineEdit* v : values)
        QObject::connect(v, &QLineEdit::textChanged, dialog, [=] {
            if (!PreviewHandler()) return;
            Cap preview;
            preview.Ref = ReadUnsigned(ref);
            preview.Capacitance = ReadNumber(values[0]), preview.ESR = ReadNumber(values[1]);
            preview.ESL = ReadNumber(values[2]);
            PreviewHandler()(preview);
        });
    QObject::connect(dialog, &QDialog::accepted, dialog, [&cap, ref, values, layer, layerCount] {
        cap.Ref = ReadUnsigned(ref);
        cap.Capacitance = ReadNumber(values[0]), cap.ESR = ReadNumber(values[1]), cap.ESL = ReadNumber(values[2]);
        cap.Layer = ClampLayer(ReadUnsigned(layer), layerCount);
    });
    return dialog;
}

}  // namespace korvex::gui
