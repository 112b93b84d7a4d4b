#include "frame/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QVBoxLayout>

#include "board/settings_file.h"
#include "dialogs/about_dialog.h"
#include "edit/edit_view.h"
#include "frame/debug_console.h"
#include "frame/job_signals.h"
#include "pdn/cap_database.h"
#include "pdn/spice_fit.h"
#include "util/debug_log.h"
#include "widgets/icon_painter.h"

namespace korvex::gui {

MainFrame::MainFrame()
{
    setWindowTitle("KORVEX");
    setWindowIcon(ApplicationIcon());
    jobs_ = new JobSignals(this);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    mdi_ = new QMdiArea(central);
    mdi_->setObjectName("4999");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    console_ = new DebugConsole(central);
    console_->setFixedHeight(200);
    layout->addWidget(mdi_, 1);
    layout->addWidget(console_);
    setCentralWidget(central);
    BuildMenus();
    BuildToolbars();
    BuildStatusBar();
    connect(jobs_, &JobSignals::Started, this, &MainFrame::JobStarted);
    connect(jobs_, &JobSignals::Finished, this, &MainFrame::JobFinished);
    connect(jobs_, &JobSignals::Progress, this, [this](const QString& stage, double fraction) {
        progress_->setFormat(stage + " %p%");
        if (fraction < 0) progress_->setRange(0, 0);
        else progress_->setRange(0, 1000), progress_->setValue(static_cast<int>(fraction * 1000));
    });
    resize(1200, 850);
    ApplyConsoleVisibility();
    UpdateMenuItem();
}

MainFrame::~MainFrame()
{
    jobs_->CancelAndWait();
    if (document_ != nullptr) CloseDocument(false);
}

void MainFrame::Initialise()
{
    printDebug("Read CapStd.csv\r\n");
    const std::string capStd = (QDir::currentPath() + "/CapStd.csv").toStdString();
    if (LoadCapDatabase(&gCapDatabase, capStd.c_str()) != 0) {
        printDebug("Using Std Cap Values\r\n");
        InitCapDatabase(&gCapDatabase);
        if (SaveCapDatabase(&gCapDatabase, capStd.c_str()) == 0) printDebug("CapStd.csv created\r\n");
    }
    InitCapDatabaseCreateSpice(&gCapDatabaseCreateSpice);
    gszFolderSettings = QDir::currentPath().left(260).toStdString();
    std::string message, caption;
    if (CheckLTSpicePath(&gSettings, &message, &caption) != 0) {
        QMessageBox::critical(this, QString::fromStdString(caption), QString::fromStdString(message));
        Execute(Command::Settings);
    }
    gszFolderLTSPICE = gSettings.LTspicePath;
    ApplyConsoleVisibility();
}

bool MainFrame::Execute(int n)
{
    auto it = actions_.find(n);
    if (it != actions_.end() && !it->second->isEnabled()) return false;
    if (n >= CommandNumber(Command::Layer1) && n <= CommandNumber(Command::Layer8)) {
        ChooseLayer(n - CommandNumber(Command::Layer1));
        return true;
    }
    if (n >= CommandNumber(Command::ShowVoltage) && n <= CommandNumber(Command::ShowZin)) {
        ChooseResultView(n - CommandNumber(Command::ShowVoltage));
        return true;
    }
    if (n >= kFirstToolCommand && n < kFirstToolCommand + kToolCount) {
        ChooseTool(n - kFirstToolCommand);
        return true;
    }
    switch (static_cast<Command>(n)) {
    case Command::New: NewBoard(); break;
    case Command::Open: OpenWithDialog(); break;
    case Command::Save: Save(); break;
    case Command::SaveAs: SaveAs(); break;
    case Command::ImportCiti: ImportCiti(); break;
    case Command::Settings: ShowSettings(); break;
    case Command::Exit: close(); break;
    case Command::SetLayerstack: SetLayerstack(); break;
    case Command::ImportBitmap: ImportBitmap(); break;
    case Command::CreateBMPs: CreateBitmaps(); break;
    case Command::CreateMesh: CreateMesh(); break;
    case Command::DrawMesh: DrawMesh(); break;
    case Command::SimulateElectrical: SimulateElectrical(false); break;
    case Command::SimulateThermal: SimulateElectrical(true); break;
    case Command::SimulateZin:
    case Command::SimulateZAtF:
    case Command::SimulateCurrentDensityAtF:
    case Command::SimulateVoltageNoiseAtF:
    case Command::SimulateS21:
    case Command::SimulateNoiseTransfer:
    case Command::SimulateCurrentNoiseTransfer:
        SimulateAc(n);
        break;
    case Command::CreateSpiceCircuit: CreateSpiceCircuit(); break;
    case Command::OptimizeCaps: OptimizeCaps(); break;
    case Command::SimulateVoltageNoiseTime: SimulateVoltageNoiseTime(); break;
    case Command::SimulateCapsOnPosition: SimulateCapsOnPosition(); break;
    case Command::ImportScreenshot: ImportScreenshot(); break;
    case Command::Cascade: mdi_->cascadeSubWindows(); break;
    case Command::TileHorizontal: TileVertically(false); break;
    case Command::TileVertical: TileVertically(true); break;
    case Command::ArrangeIcons: mdi_->tileSubWindows(); break;
    case Command::About: {
        AboutDialog about(this);
        about.exec();
        break;
    }
    default:
        return false;
    }
    return true;
}

void MainFrame::UpdateMenuItem()
{
    const bool open = fileOpened_;
    const bool idle = !jobs_->IsRunning();
    // While a job runs the board stays as it is: no edits, no second job, no closing.
    const bool editable = open && idle;
    for (const char* title : {"&Edit", "&Simulate"}) menus_[title]->setEnabled(editable);
    menus_["&Window"]->setEnabled(open);
    for (Command c : {Command::Save, Command::SaveAs}) Action(c)->setEnabled(editable);
    for (Command c : {Command::CreateMesh, Command::SimulateElectrical, Command::SimulateThermal, Command::SimulateZin,
                      Command::SimulateS21, Command::SimulateNoiseTransfer, Command::SimulateCurrentNoiseTransfer,
                      Command::SimulateVoltageNoiseTime, Command::SimulateZAtF, Command::SimulateCurrentDensityAtF,
                      Command::SimulateVoltageNoiseAtF, Command::CreateBMPs, Command::DrawMesh,
                      Command::SetLayerstack, Command::ImportBitmap, Command::CreateSpiceCircuit, Command::OptimizeCaps, Command::ImportScreenshot,
                      Command::SimulateCapsOnPosition})
        Action(c)->setEnabled(editable);
    for (int v = 0; v < 4; ++v) actions_[CommandNumber(Command::ShowVoltage) + v]->setEnabled(open);
    for (int t = 0; t < kToolCount; ++t) actions_[kFirstToolCommand + t]->setEnabled(editable);
    const int layers = open ? document_->Board().LayerCount : 0;
    for (int l = 0; l < kLayerCommandCount; ++l) actions_[CommandNumber(Command::Layer1) + l]->setEnabled(l < layers);
    Action(Command::New)->setEnabled(!open);
    Action(Command::Open)->setEnabled(!open);
    Action(Command::ImportCiti)->setEnabled(idle);
    Action(Command::Settings)->setEnabled(idle);
    if (edit_ != nullptr) edit_->SetReadOnly(!idle);
    status_[0]->setText(open ? QString::fromStdString(document_->Title()) : QString());
}

void MainFrame::closeEvent(QCloseEvent* event)
{
    if (askConfirmations_ &&
        QMessageBox::question(this, "KORVEX", "Really quit?", QMessageBox::Ok | QMessageBox::Cancel) !=
            QMessageBox::Ok) {
        event->ignore();
        return;
    }
    if (jobs_->IsRunning()) jobs_->CancelAndWait();
    if (document_ != nullptr && !CloseDocument(askConfirmations_)) {
        event->ignore();
        return;
    }
    event->accept();
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == editWindow_ && event->type() == QEvent::Close && !closingDocument_) {
        // Closing the edit window closes the board (and its two companions).
        event->ignore();
        if (jobs_->IsRunning()) {
            QMessageBox::information(this, "KORVEX", "A simulation is running. Cancel it before closing the board.");
            return true;
        }
        if (askConfirmations_ &&
            QMessageBox::question(this, "KORVEX", "Really quit?", QMessageBox::Ok | QMessageBox::Cancel) !=
                QMessageBox::Ok)
            return true;
        CloseDocument(askConfirmations_);
        return true;
    }
    if ((watched == resultWindow_ || watched == diagramWindow_) && event->type() == QEvent::Close &&
        !closingDocument_) {
        // The companions live as long as the board; closing one just hides it.
        event->ignore();
        static_cast<QWidget*>(watched)->showMinimized();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvex::gui
