#pragma once
// "Create Spice Equivalent Circuit Settings": parallel branches (series
// R-L-C, or R-L for 100 F and more) edited by hand or with the mouse wheel
// (C, ESR, ESL, fRes or Q of the selected branch, by the step of the chosen
// sensitivity), shown live in the diagram, fitted to port 0's Zin curve by
// "Optimize" on the job runner, and written to the console as a subcircuit on OK.
#include <QDialog>

#include "board/part_list.h"
#include "board/part_records.h"
#include "jobs/simulation_job.h"
#include "pdn/cap_database.h"

class QLineEdit;
class QTableWidget;
class QProgressBar;
class QPushButton;

namespace korvex::gui {

class JobSignals;

class SpiceCircuitDialog : public QDialog {
    Q_OBJECT
public:
    // `list` is the branch list (the project's equivalent-circuit list);
    // `env` gives the board and the diagram with the Zin curve.
    SpiceCircuitDialog(CapDatabase* list, JobEnvironment env, JobSignals* jobs, QWidget* parent = nullptr);
    ~SpiceCircuitDialog() override;

    // The value the wheel changes: 0 C, 1 ESR, 2 ESL, 3 fRes, 4 Q.
    int ScrollParam() const { return scrollParam_; }
    static uint32_t Sensitivity();
    // One wheel notch up (true) or down on the selected branch.
    void Wheel(bool up);
    bool Optimizing() const { return optimizing_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void FillList();
    void ShowRow(int row);
    void SelectRow(int row);
    void EditChanged();
    void ShowValues(float c, float esr, float esl);
    void Add();
    void Delete();
    void Optimize();
    void SetEditable(bool editable);
    void OptimizeFinished(const JobOutcome& outcome, bool cancelled);
    void TellDiagram(bool show);
    int SelectedRow() const;

    CapDatabase* list_;
    JobEnvironment env_;
    JobSignals* jobs_;
    Cap working_;
    Part workingPart_;
    int scrollParam_ = 0;
    bool filling_ = false;
    bool optimizing_ = false;
    QLineEdit* fields_[5] = {};  // C, ESR, ESL, fRes, Q
    QTableWidget* table_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* optimize_ = nullptr;
    QPushButton* stop_ = nullptr;
};

}  // namespace korvex::gui
