#pragma once
// "Optimize Caps Settings" of "Simulate Capacitors on actual Position": one
// simulator run (on the job runner) gives the S-parameters between a port and
// a placed capacitor's position; afterwards the port impedance "Z11c" with any
// capacitor values as the load is recomputed at once while the values are
// typed, taken from the catalogue or scrolled with the wheel (C, ESR, ESL, or
// fRes and Q with the other kept). "Set C ->" gives the board capacitor the
// values.
#include <QDialog>
#include <functional>

#include "board/part_list.h"
#include "board/part_records.h"
#include "jobs/simulation_job.h"
#include "pdn/cap_database.h"

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace korvex::gui {

class CapListModel;
class JobSignals;

class SimulateSCapacitorDialog : public QDialog {
    Q_OBJECT
public:
    using Highlight = std::function<void(const Part*)>;
    // `catalogue` is the "Database" list, `boardList` the list of the board's
    // capacitors (rebuilt here); env gives the board, the diagram and the
    // S-parameter record. `highlight` shows a part in the edit window.
    SimulateSCapacitorDialog(CapDatabase* catalogue, CapDatabase* boardList, JobEnvironment env, JobSignals* jobs,
                             Highlight highlight = {}, QWidget* parent = nullptr);
    ~SimulateSCapacitorDialog() override;

    // The step chosen last (0 " 1 %", 1 "10 %", 2 "25 %"), kept across openings.
    static uint32_t Sensitivity();
    // The value the wheel changes: 0 C, 1 ESR, 2 ESL, 3 fRes, 4 Q.
    int ScrollParam() const { return scrollParam_; }
    void Wheel(bool up);
    const Cap& Working() const { return working_; }
    bool Simulating() const { return simulating_; }
    // True once "Set C ->" changed a board capacitor.
    bool BoardChanged() const { return boardChanged_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void done(int result) override;

private:
    void SelectPort(int index);
    void SelectBoardRow(int row);
    void SelectDatabaseRow(int row);
    void EditChanged();
    void Recalculate();
    void ShowValues(float c, float esr, float esl);
    void Simulate();
    void SimulationFinished(const JobOutcome& outcome, bool cancelled);
    void SetC();
    void SetEditable(bool editable);
    void ShowCapacitor(Part* part);
    int SelectedBoardRow() const;

    CapDatabase* catalogue_;
    CapDatabase* boardList_;
    JobEnvironment env_;
    JobSignals* jobs_;
    Highlight highlight_;
    Cap working_;
    Part workingPart_;
    int scrollParam_ = 0;
    bool simulating_ = false;
    bool filling_ = false;
    bool boardChanged_ = false;
    QComboBox* ports_ = nullptr;
    QLineEdit* fields_[5] = {};  // C, ESR, ESL, fRes, Q
    QTableView* boardTable_ = nullptr;
    QTableView* databaseTable_ = nullptr;
    CapListModel* boardModel_ = nullptr;
    QPushButton* simulate_ = nullptr;
    QPushButton* stop_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace korvex::gui
