// The frame's entries into the tool dialogs: the power-distribution tools,
// whose computations run on the frame's job runner with progress and Cancel,
// and the screenshot import.
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <cstring>
#include <memory>

#include "dialogs/optimize_caps_dialog.h"
#include "dialogs/screenshot_import.h"
#include "dialogs/simulate_s_capacitor_dialog.h"
#include "dialogs/spice_circuit_dialog.h"
#include "dialogs/voltage_noise_time_dialog.h"
#include "edit/edit_view.h"
#include "frame/job_signals.h"
#include "frame/main_frame.h"
#include "jobs/pdn_commands.h"
#include "board/voltage_noise_param.h"
#include "pdn/cap_database.h"
#include "util/debug_log.h"

namespace korvex::gui {

void MainFrame::CreateSpiceCircuit()
{
    if (document_ == nullptr) return;
    SpiceCircuitDialog dialog(&document_->ProjectRecord().Caps(), document_->Environment(), jobs_, this);
    dialog.exec();
}

void MainFrame::OptimizeCaps()
{
    if (document_ == nullptr) return;
    OptimizeCapsDialog dialog(document_->Board(), &gOptiCapParam, this);
    if (dialog.Run() != 0) return;
    JobEnvironment env = document_->Environment();
    // The catalogue is read here, so a broken CapStd.csv is reported before any run.
    auto catalogue = std::shared_ptr<CapDatabase>(new CapDatabase, [](CapDatabase* c) {
        FreeCapDatabase(c);
        delete c;
    });
    std::string reason;
    if (LoadWorkFolderCatalogue(env.WorkFolder, catalogue.get(), &reason) < 0) {
        QMessageBox::warning(this, "Error", QString::fromStdString(reason));
        return;
    }
    const OptiCapParam param = gOptiCapParam;
    jobs_->Start(Action(Command::OptimizeCaps)->text(), env, [param, catalogue](const JobEnvironment& e) {
        OptimizeCapsResult result;
        return CommandOptimizeCaps(e, param, *catalogue, &result);
    });
}

void MainFrame::SimulateVoltageNoiseTime()
{
    if (document_ == nullptr) return;
    VoltageNoiseTimeParam& param = document_->ProjectRecord().NoiseParam();
    const VoltageNoiseTimeParam before = param;
    VoltageNoiseTimeDialog dialog(&param, document_->Environment(), jobs_,
                                  [this](const Part* port) { edit_->SelectPart(const_cast<Part*>(port)); }, this);
    dialog.exec();
    // The tool's record is stored with the project.
    if (std::memcmp(&before, &param, sizeof before) != 0) document_->MarkChanged();
}

void MainFrame::SimulateCapsOnPosition()
{
    if (document_ == nullptr) return;
    CapDatabase boardCapacitors;  // rebuilt by the dialog on every opening
    SimulateSCapacitorDialog dialog(&gCapDatabase, &boardCapacitors, document_->Environment(), jobs_,
                                    [this](const Part* part) { edit_->SelectPart(const_cast<Part*>(part)); }, this);
    dialog.exec();
    FreeCapDatabase(&boardCapacitors);
    if (dialog.BoardChanged()) document_->MarkChanged();
}

void MainFrame::ImportScreenshot()
{
    if (document_ == nullptr) return;
    printDebug("Start ScreenshotDialog\r\n");
    // The frame leaves the screen first, so the capture shows what lies beneath.
    hide();
    QEventLoop wait;
    QTimer::singleShot(1000, &wait, &QEventLoop::quit);
    wait.exec();
    const QImage capture = CaptureScreen();
    if (!capture.isNull()) {
        ScreenshotDialog dialog(capture, &document_->Board(), activeLayer_, this);
        if (dialog.exec() == QDialog::Accepted && edit_ != nullptr) {
            edit_->RedrawBackground(true);
            edit_->update();
        }
    }
    showNormal();
}

}  // namespace korvex::gui
