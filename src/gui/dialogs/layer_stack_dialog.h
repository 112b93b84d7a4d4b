#pragma once
// "SETLAYERSTACK": pixel counts, layer count, board size, the copper and
// dielectric values of each layer and the material constants.
#include <QDialog>

#include "board/sim_matrix.h"

class QLineEdit;

namespace korvex::gui {

class LayerStackDialog : public QDialog {
    Q_OBJECT
public:
    // Edits `board`'s scalar fields on OK. `countsFixed`: the board already has
    // rasters, so its pixel and layer counts are shown but cannot be changed.
    LayerStackDialog(SimMatrix* board, bool countsFixed, QWidget* parent = nullptr);

    void accept() override;

private:
    void EnableLayerRows(int layerCount);
    QLineEdit* Field(int number) const;

    SimMatrix* board_;
    bool countsFixed_;
};

}  // namespace korvex::gui
