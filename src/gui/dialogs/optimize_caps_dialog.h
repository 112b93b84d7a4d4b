#pragma once
// "Optimize Capacitor at Port X": target impedance (3002), target frequency
// (3001), the largest number of capacitors (3000) and the port (3004). The
// frame then runs the optimisation on its job runner.
#include <QDialog>

#include "board/sim_matrix.h"
#include "pdn/opti_cap.h"

class QComboBox;
class QLineEdit;

namespace korvex::gui {

class OptimizeCapsDialog : public QDialog {
    Q_OBJECT
public:
    OptimizeCapsDialog(const SimMatrix& board, OptiCapParam* param, QWidget* parent = nullptr);
    // 0: run with the parameters taken; 1: cancelled.
    int Run();

private:
    void Take();

    OptiCapParam* param_;
    QLineEdit* impedance_;
    QLineEdit* frequency_;
    QLineEdit* count_;
    QComboBox* port_;
    int result_ = 1;
};

}  // namespace korvex::gui
