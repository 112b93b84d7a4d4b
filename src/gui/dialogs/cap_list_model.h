#pragma once
// A capacitor list shown in a table: the texts are read from the list on
// demand, the value through FloatToChar followed by the unit.
#include <QAbstractTableModel>

#include "pdn/cap_database.h"

namespace korvex::gui {

class CapListModel : public QAbstractTableModel {
public:
    CapListModel(CapDatabase* list, bool withRef, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The list changed under the model: all rows are read again.
    void Reload();
    // One row changed.
    void ReloadRow(int row);

private:
    CapDatabase* list_;
    bool withRef_;
};

}  // namespace korvex::gui
