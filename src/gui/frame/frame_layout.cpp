// The frame's menus, toolbars, status bar and console.
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "board/settings.h"
#include "frame/debug_console.h"
#include "frame/job_signals.h"
#include "frame/main_frame.h"
#include "widgets/icon_painter.h"

namespace korvex::gui {
namespace {

struct ToolButton {
    Command command;
    const char* tip;
};

const ToolButton kSecondGroup[] = {
    {Command::CreateMesh, "Create Mesh"},
    {Command::SimulateElectrical, "Simulate Electrically"},
    {Command::SimulateThermal, "Simulate Thermally"},
    {Command::SimulateZin, "Simulate Zin of Ports"},
    {Command::SimulateS21, "Simulate S21 of Ports"},
    {Command::SimulateNoiseTransfer, "Simulate Noise Transfer"},
    {Command::SimulateCurrentNoiseTransfer, "Simulate Current Injected Noise Transfer"},
    {Command::SimulateVoltageNoiseTime, "Simulate Voltage Noise in time domain"},
};

const char* const kToolTips[kToolCount] = {
    "Draw Copper",     "Draw Line",        "Draw Filled Rectangle", "Delete Copper",        "Delete Rectangle",
    "Delete Part",     "Edit Part",        "Move Part",             "Add Via",              "Add Current Source",
    "Add Heat Source", "Add Heatsink",     "Add Resistor",          "Add Connection to GND", "Add Port",
    "Add Capacitor",   "Add Subcircuit",   "Add  Series Subcircuit",
};

const char* const kViewTips[4] = {"Show Voltage Distribution", "Shw Current Density Distribution", "Show Temp",
                                  "Show Zin"};

// The credit line in the status bar's last part.
constexpr char kCredit[] = "Power integrity and thermal analysis of printed circuit boards";

}  // namespace

QAction* MainFrame::NewAction(Command command, const QString& text, const QString& tip)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QString::number(CommandNumber(command)));
    if (!tip.isEmpty()) action->setToolTip(tip);
    const int number = CommandNumber(command);
    connect(action, &QAction::triggered, this, [this, number] { Execute(number); });
    actions_[number] = action;
    return action;
}

void MainFrame::BuildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(NewAction(Command::New, "&New", "New File"));
    file->addAction(NewAction(Command::Open, "&Open...", "Open File"));
    file->addAction(NewAction(Command::Save, "&Save", "Save File"));
    file->addAction(NewAction(Command::SaveAs, "Save &As..."));
    file->addSeparator();
    file->addAction(NewAction(Command::ImportCiti, "Import CITI File"));
    file->addSeparator();
    file->addAction(NewAction(Command::Settings, "Settings"));
    file->addSeparator();
    file->addAction(NewAction(Command::Exit, "E&xit"));

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction(NewAction(Command::SetLayerstack, "Set Layerstack"));
    edit->addAction(NewAction(Command::ImportBitmap, "Import Bitmap"));
    edit->addAction(NewAction(Command::ImportScreenshot, "Import Screenshot"));

    QMenu* simulate = menuBar()->addMenu("&Simulate");
    simulate->addAction(NewAction(Command::CreateBMPs, "&Create BMPs"));
    simulate->addSeparator();
    simulate->addAction(NewAction(Command::CreateMesh, "Create Mesh"));
    simulate->addAction(NewAction(Command::DrawMesh, "Draw Mesh"));
    simulate->addSeparator();
    simulate->addAction(NewAction(Command::SimulateElectrical, "Simulate Electrical Mesh"));
    simulate->addAction(NewAction(Command::SimulateThermal, "Simulate Thermal Mesh"));
    simulate->addSeparator();
    simulate->addAction(NewAction(Command::SimulateZin, "Simulate Zin of Ports"));
    simulate->addAction(NewAction(Command::SimulateS21, "Simulate S21"));
    simulate->addAction(NewAction(Command::SimulateNoiseTransfer, "Simulate Noise Transfer"));
    simulate->addAction(NewAction(Command::SimulateCurrentNoiseTransfer, "Simulate Current Injected Noise Transfer"));
    simulate->addAction(NewAction(Command::SimulateZAtF, "Simulate Z @f"));
    simulate->addAction(NewAction(Command::SimulateCurrentDensityAtF, "Simulate Current Density @f"));
    simulate->addAction(NewAction(Command::SimulateVoltageNoiseAtF, "Simulate Voltage Noise @f"));
    simulate->addAction(NewAction(Command::SimulateVoltageNoiseTime, "Simulate Voltage Noise in Time Domain"));
    simulate->addSeparator();
    simulate->addAction(NewAction(Command::OptimizeCaps, "Optimize Capacitor at Port X"));
    simulate->addAction(NewAction(Command::SimulateCapsOnPosition, "Simulate Capacitors on actual Position"));
    simulate->addSeparator();
    simulate->addAction(NewAction(Command::CreateSpiceCircuit, "Create SPICE Circuit"));

    QMenu* view = BuildViewMenu();

    QMenu* window = menuBar()->addMenu("&Window");
    window->addAction(NewAction(Command::Cascade, "&Cascade"));
    window->addAction(NewAction(Command::TileHorizontal, "Tile &Horizontal"));
    window->addAction(NewAction(Command::TileVertical, "Tile &Vertical"));
    window->addAction(NewAction(Command::ArrangeIcons, "Arrange &Icons"));

    QMenu* about = menuBar()->addMenu("&About");
    about->addAction(NewAction(Command::About, "&About"));
    for (QMenu* menu : {file, edit, simulate, view, window, about}) menus_[menu->title()] = menu;
}

void MainFrame::BuildToolbars()
{
    top_ = addToolBar("Commands");
    top_->setObjectName("4998");
    top_->setMovable(false);
    for (Command c : {Command::New, Command::Open, Command::Save}) {
        actions_[CommandNumber(c)]->setIcon(CommandIcon(c));
        top_->addAction(actions_[CommandNumber(c)]);
    }
    top_->addSeparator();
    for (const ToolButton& b : kSecondGroup) {
        if (b.command == Command::CreateMesh || b.command == Command::SimulateElectrical ||
            b.command == Command::SimulateZin)
            top_->addSeparator();
        QAction* a = actions_[CommandNumber(b.command)];
        a->setIcon(CommandIcon(b.command));
        a->setToolTip(b.tip);
        top_->addAction(a);
    }

    right_ = new QToolBar("Layers and results", this);
    right_->setObjectName("SideRight");
    right_->setMovable(false);
    right_->setIconSize(QSize(22, 22));
    addToolBar(Qt::RightToolBarArea, right_);
    for (int l = 0; l < kLayerCommandCount; ++l) {
        const auto c = static_cast<Command>(CommandNumber(Command::Layer1) + l);
        QAction* a = NewAction(c, QString("Layer %1").arg(l + 1), QString("Switch to Layer %1").arg(l + 1));
        a->setIcon(CommandIcon(c));
        a->setCheckable(true);
        right_->addAction(a);
    }
    for (int v = 0; v < 4; ++v) {
        const auto c = static_cast<Command>(CommandNumber(Command::ShowVoltage) + v);
        QAction* a = NewAction(c, kViewTips[v], kViewTips[v]);
        a->setIcon(CommandIcon(c));
        a->setCheckable(true);
        right_->addAction(a);
    }

    left_ = new QToolBar("Tools", this);
    left_->setObjectName("SideLeft");
    left_->setMovable(false);
    left_->setIconSize(QSize(22, 22));
    addToolBar(Qt::LeftToolBarArea, left_);
    for (int t = 0; t < kToolCount; ++t) {
        const auto c = static_cast<Command>(kFirstToolCommand + t);
        QAction* a = NewAction(c, kToolTips[t], kToolTips[t]);
        a->setIcon(CommandIcon(c));
        a->setCheckable(true);
        left_->addAction(a);
    }
    CheckOnly(CommandNumber(Command::Layer1), kLayerCommandCount, CommandNumber(Command::Layer1) + activeLayer_);
    CheckOnly(CommandNumber(Command::ShowVoltage), 4, CommandNumber(Command::ShowVoltage) + resultShow_);
    CheckOnly(kFirstToolCommand, kToolCount, kFirstToolCommand + editMode_);
}

void MainFrame::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName("4997");
    for (int i = 0; i < 3; ++i) {
        status_[i] = new QLabel(this);
        status_[i]->setObjectName(QString("status%1").arg(i));
        bar->addWidget(status_[i], i == 2 ? 1 : 0);
    }
    status_[1]->setText("KORVEX");
    status_[2]->setText(kCredit);
    status_[0]->setFixedWidth(300);
    status_[1]->setFixedWidth(300);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("JobProgress");
    progress_->setMaximumWidth(200);
    progress_->setVisible(false);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("JobCancel");
    cancel_->setVisible(false);
    bar->addPermanentWidget(progress_);
    bar->addPermanentWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, jobs_, &JobSignals::Cancel);
}

void MainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // Parts end at (width - 100) / 2, width - 100 and the edge.
    const int w = width();
    const int half = std::max(50, (w - 100) / 2);
    status_[0]->setFixedWidth(half);
    status_[1]->setFixedWidth(std::max(50, w - 100 - half));
}

void MainFrame::ApplyConsoleVisibility()
{
    console_->setVisible(gSettings.ShowConsole != 0);
}

void MainFrame::CheckOnly(int first, int count, int checked)
{
    for (int n = first; n < first + count; ++n) actions_[n]->setChecked(n == checked);
}

QAction* MainFrame::Action(Command command) const
{
    auto it = actions_.find(CommandNumber(command));
    return it == actions_.end() ? nullptr : it->second;
}

QMenu* MainFrame::Menu(const QString& title) const
{
    auto it = menus_.find(title);
    return it == menus_.end() ? nullptr : it->second;
}

QLabel* MainFrame::StatusPart(int part) const
{
    return part >= 0 && part < 3 ? status_[part] : nullptr;
}

}  // namespace korvex::gui
