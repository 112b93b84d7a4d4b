#include "dialogs/cap_list_model.h"

#include "widgets/dialog_form.h"

namespace korvex::gui {

CapListModel::CapListModel(CapDatabase* list, bool withRef, QObject* parent)
    : QAbstractTableModel(parent), list_(list), withRef_(withRef)
{
}

int CapListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : list_->Count;
}

int CapListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : (withRef_ ? 4 : 3);
}

QVariant CapListModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= list_->Count) return {};
    const CapRecord cap = GetCap(list_, index.row());
    const int column = withRef_ ? index.column() : index.column() + 1;
    switch (column) {
    case 0: return QString::asprintf("C%u", cap.Ref);
    case 1: return NumberText(cap.Capacitance) + "F";
    case 2: return NumberText(cap.ESR) + "Ohm";
    case 3: return NumberText(cap.ESL) + "H";
    default: return {};
    }
}

QVariant CapListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* names[] = {"Ref", "Capacitance", "ESR", "ESL"};
    const int column = withRef_ ? section : section + 1;
    return column >= 0 && column < 4 ? QString(names[column]) : QVariant();
}

void CapListModel::Reload()
{
    beginResetModel();
    endResetModel();
}

void CapListModel::ReloadRow(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

}  // namespace korvex::gui
