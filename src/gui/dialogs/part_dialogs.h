#pragma once
// The dialogs of the part templates. OK stores every field into the record,
// Cancel leaves it unchanged.
#include <QDialog>
#include <cstdint>

namespace korvex::gui {

// The dialog of a part kind on `record` (a record of that kind); null for an
// unknown kind. Layer fields are clamped to 0 ... layerCount-1 on OK.
QDialog* CreatePartDialog(QWidget* parent, uint32_t kind, void* record, int layerCount);
// Runs it modally; true when OK was pressed.
bool RunPartDialog(QWidget* parent, uint32_t kind, void* record, int layerCount);

// One dialog per kind (part_dialogs.cpp, subcircuit_dialogs.cpp, cap_dialog.cpp).
QDialog* CreateViaDialog(QWidget* parent, void* record);
QDialog* CreatePortDialog(QWidget* parent, void* record, int layerCount);
QDialog* CreateCurrentDialog(QWidget* parent, void* record);
QDialog* CreateResistorDialog(QWidget* parent, void* record);
QDialog* CreateHeatSourceDialog(QWidget* parent, void* record);
QDialog* CreateHeatSinkDialog(QWidget* parent, void* record);
QDialog* CreateSubCircuitDialog(QWidget* parent, void* record, int layerCount);
QDialog* CreateSeriesSubCircuitDialog(QWidget* parent, void* record);
QDialog* CreateCapDialog(QWidget* parent, void* record, int layerCount);

// Layer fields: the typed layer clamped to the board's layers.
uint32_t ClampLayer(uint32_t layer, int layerCount);

}  // namespace korvex::gui
