// The simulation commands: each runs the core command on the core's job runner,
// one at a time, with the progress bar and Cancel in the status bar.
#include <QFile>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "diagram/diagram_view.h"
#include "dialogs/port_dialogs.h"
#include "dialogs/log_viewer.h"
#include "edit/edit_view.h"
#include "frame/job_signals.h"
#include "frame/main_frame.h"
#include "jobs/commands.h"
#include "mesh/mesh_generation.h"
#include "netlist/ac_job.h"
#include "netlist/ac_preconditions.h"
#include "result/result_view.h"
#include "util/debug_log.h"

namespace korvex::gui {

void MainFrame::CreateMesh()
{
    if (document_ == nullptr) return;
    connect(jobs_, &JobSignals::MeshSnapshot, edit_, &EditView::ShowMeshRectangles, Qt::UniqueConnection);
    jobs_->Start(Action(Command::CreateMesh)->text(), document_->Environment(), [](const JobEnvironment& env) {
        MeshBuildReport report;
        return CommandCreateMeshJob(env, &report);
    });
}

void MainFrame::DrawMesh()
{
    if (document_ == nullptr) return;
    edit_->ShowMeshRectangles(MeshRectangles(document_->MeshRecord()));
}

void MainFrame::SimulateElectrical(bool thermal)
{
    if (document_ == nullptr) return;
    JobEnvironment env = document_->Environment();
    const QString name = thermal ? "Simulate Thermal Mesh" : "Simulate Electrical Mesh";
    printDebug(thermal ? "Generate Thermal Spice Circuit %s\r\n" : "Generate Electrical Spice Circuit %s\r\n",
               WorkFilePath(env, thermal ? kThermalBase : kElectricalBase, ".cir").c_str());
    jobs_->Start(name, env, [thermal](const JobEnvironment& e) {
        return thermal ? CommandSimulateThermal(e) : CommandSimulateElectrical(e);
    });
}

void MainFrame::SimulateAc(int mode)
{
    if (document_ == nullptr) return;
    AcRefusal refusal;
    if (CheckAcPreconditions(&document_->Board(), static_cast<uint32_t>(mode), &refusal) != 0) {
        QMessageBox::warning(this, refusal.Caption, refusal.Text);
        return;
    }
    AcJob* job = AcJobForMode(static_cast<uint32_t>(mode));
    if (job == nullptr) return;
    job->Mode = static_cast<uint32_t>(mode);
    if (mode == AC_MODE_S21 || mode == AC_MODE_NOISE_TRANSFER || mode == AC_MODE_CURRENT_NOISE_TRANSFER) {
        PortDialog ports(document_->Board(), job, [this](const Part* port) { edit_->SelectPart(const_cast<Part*>(port)); },
                         this);
        if (ports.Run() != 0) return;
    }
    if (mode == CommandNumber(Command::SimulateS21)) printDebug("Simulate S21\r\n");
    else if (mode == CommandNumber(Command::SimulateNoiseTransfer)) printDebug("Simulate NoiseTransfer\r\n");
    else if (mode == CommandNumber(Command::SimulateCurrentNoiseTransfer))
        printDebug("Simulate CurrentNoiseTransfer\r\n");
    JobEnvironment env = document_->Environment();
    printDebug("Generate AC Spice Circuit %s\r\n", WorkFilePath(env, kAcBase, ".cir").c_str());
    const AcJob record = *job;
    jobs_->Start(Action(static_cast<Command>(mode))->text(), env,
                 [record](const JobEnvironment& e) { return CommandSimulateAc(e, record); });
}

void MainFrame::JobStarted(const QString& name)
{
    progress_->setRange(0, 0);
    progress_->setFormat(name);
    progress_->setVisible(true);
    cancel_->setVisible(true);
    cancel_->setEnabled(true);
    UpdateMenuItem();
}

void MainFrame::JobFinished(const QString& name, const JobOutcome& outcome, bool cancelled)
{
    progress_->setVisible(false);
    cancel_->setVisible(false);
    UpdateMenuItem();
    if (cancelled) {
        printDebug("%s cancelled\r\n", name.toUtf8().constData());
        statusBar()->showMessage(name + " cancelled", 5000);
    } else if (!outcome.Success) {
        printDebug("%s failed: %s\r\n", name.toUtf8().constData(), outcome.Reason.c_str());
        statusBar()->showMessage(name + " failed: " + QString::fromStdString(outcome.Reason), 10000);
        if (!outcome.SimulatorLog.empty() && QFile::exists(QString::fromStdString(outcome.SimulatorLog)))
            ShowLog(outcome);
    }
    if (document_ == nullptr) return;
    // A mesh build that ended without a new mesh leaves the partial one on screen: show the board's.
    if ((outcome.Changes & kChangedMesh) || name == Action(Command::CreateMesh)->text())
        edit_->ShowMeshRectangles(MeshRectangles(document_->MeshRecord()));
    if (outcome.Changes & (kChangedElectricalResults | kChangedThermalResults | kChangedZinResults)) {
        result_->Rebuild();
        edit_->RedrawBackground(false);
    }
    if (outcome.Changes & (kChangedDiagram | kChangedCapacitorSParameters)) diagram_->Redraw();
    if (outcome.Changes & kChangedParts) edit_->RedrawBackground(false);
}

void MainFrame::ShowLog(const JobOutcome& outcome)
{
    auto* viewer = new LogViewer(QString::fromStdString(outcome.SimulatorLog), this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
}

}  // namespace korvex::gui
