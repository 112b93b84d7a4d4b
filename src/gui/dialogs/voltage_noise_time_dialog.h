#pragma once
// "Simulate Current injected Voltage Noise in Time Domain": a periodic load
// current (trapezoid, Gaussian edges, an added Gaussian pulse) described in
// fields, its harmonics multiplied with a port's Zin or a noise-transfer
// curve of the main diagram and summed back into time signals. The dialog
// draws them in a diagram of its own (current on the left axis, voltage on
// the secondary axis), puts the spectrum into the main diagram as the
// "Stimulus" curve, tunes fields with the mouse wheel and runs the sweep on
// the harmonics ("Simulate") on the job runner.
#include <QDialog>
#include <functional>

#include "board/voltage_noise_param.h"
#include "diagram/diagram.h"
#include "jobs/simulation_job.h"
#include "pdn/pdn_message.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace korvex::gui {

class DiagramView;
class JobSignals;

class VoltageNoiseTimeDialog : public QDialog {
    Q_OBJECT
public:
    using Highlight = std::function<void(const Part*)>;
    // `param` is the tool's record (kept for the run and in the project);
    // env's diagram is the main diagram with the Zin or noise-transfer curves.
    // `highlight` is told the port chosen in a list (the edit window).
    VoltageNoiseTimeDialog(VoltageNoiseTimeParam* param, JobEnvironment env, JobSignals* jobs,
                           Highlight highlight = {}, QWidget* parent = nullptr);
    ~VoltageNoiseTimeDialog() override;

    // One wheel notch up (true) or down on the field that last had the focus.
    void Wheel(bool up);
    // Control number of the field the wheel changes (0: none yet).
    int ScrollParam() const { return scrollParam_; }
    bool Simulating() const { return simulating_; }
    Diagram& TimeDiagram() { return time_; }
    DiagramView* TimeView() const { return view_; }
    // The reason the last computation was refused or gave no response; empty when fine.
    QString Message() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void done(int result) override;

private:
    void BuildFields();
    void ShowFields();
    void FieldChanged(int number);
    void Recompute(bool updateAxes);
    void Redraw();
    void SelectZinPort(int index);
    void SelectNoiseCurve(int index);
    void FillNoiseCurves();
    void Simulate();
    void SimulationFinished(const JobOutcome& outcome, bool cancelled);
    void SetEditable(bool editable);
    void TakeRadios();
    void ShowComputation(const PdnMessage& message, int result);
    QLineEdit* Field(int number) const;

    VoltageNoiseTimeParam* param_;
    JobEnvironment env_;
    JobSignals* jobs_;
    Highlight highlight_;
    Diagram time_;
    DiagramView* view_ = nullptr;
    int scrollParam_ = 0;
    bool filling_ = false;
    bool simulating_ = false;
    QComboBox* zinPorts_ = nullptr;
    QComboBox* noiseCurves_ = nullptr;
    QCheckBox* gaussOn_ = nullptr;
    QRadioButton* radios_[6] = {};  // ZIN, Noise Transfer, Current / Voltage Spectrum, Log, Linear
    QLabel* message_ = nullptr;
    QPushButton* simulate_ = nullptr;
    QPushButton* stop_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace korvex::gui
