#pragma once
// The three dialogs that choose the ports of an AC job before it runs:
// "S21 Settings" (Port1 3000, Port2 3001), "Noise Transfer Settings" (Source
// Port 3000) and the current-injected variant, which takes the port when the
// selection changes and shows it in the edit window.
#include <QDialog>
#include <functional>

#include "board/sim_matrix.h"
#include "netlist/ac_job.h"

class QComboBox;

namespace korvex::gui {

class PortDialog : public QDialog {
    Q_OBJECT
public:
    // `highlight` is told the chosen port part (current-injected mode only).
    PortDialog(const SimMatrix& board, AcJob* job, std::function<void(const Part*)> highlight = {},
               QWidget* parent = nullptr);

    // 0: run the job; 1: cancelled or a port that could not be read.
    int Run();

private:
    void Take();
    bool TakeSource();

    const SimMatrix& board_;
    AcJob* job_;
    std::function<void(const Part*)> highlight_;
    QComboBox* source_ = nullptr;
    QComboBox* termination_ = nullptr;
    int result_ = 1;
};

// The port number of a list text "PORT%u"; false when it does not read so.
bool ParsePortText(const QString& text, uint32_t* port);

}  // namespace korvex::gui
