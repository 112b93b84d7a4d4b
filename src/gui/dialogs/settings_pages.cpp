#include "dialogs/settings_pages.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "board/part_records.h"
#include "diagram/diagram.h"
#include "frame/file_dialogs.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

void SetCheck(QWidget* page, int number, uint32_t flag)
{
    Control<QCheckBox>(page, number)->setChecked(flag != 0);
}

uint32_t Checked(const QWidget* page, int number)
{
    return Control<QAbstractButton>(page, number)->isChecked() ? 1 : 0;
}

QRadioButton* Radio(QGridLayout* grid, int row, int number, const QString& text, QButtonGroup* group, int mode)
{
    auto* button = new QRadioButton(text);
    button->setObjectName(QString::number(number));
    grid->addWidget(button, row, 0, 1, 3);
    group->addButton(button, mode);
    return button;
}

}  // namespace

void SettingsPageBase::MarkChanged()
{
    changed_ = true;
    emit Changed();
}

void SettingsPageBase::WatchControls()
{
    for (auto* edit : findChildren<QLineEdit*>())
        connect(edit, &QLineEdit::textEdited, this, &SettingsPageBase::MarkChanged);
    for (auto* button : findChildren<QAbstractButton*>())
        connect(button, &QAbstractButton::clicked, this, &SettingsPageBase::MarkChanged);
}

GeneralSettingsPage::GeneralSettingsPage(const Settings& s, QWidget* parent) : SettingsPageBase(parent)
{
    setObjectName("Settings");
    auto* grid = new QGridLayout(this);
    FormGrid f(grid);
    QLineEdit* path = f.Field(3000, "LTSpice Path");
    path->setText(QString::fromUtf8(s.LTspicePath));
    path->setMaxLength(259);
    auto* browse = new QPushButton("Path...");
    browse->setObjectName("3001");
    grid->addWidget(browse, f.Row() - 1, 2);
    connect(browse, &QPushButton::clicked, this, [this, path] {
        const QString chosen = GetExeFile(this);
        if (!chosen.isEmpty()) path->setText(chosen);
    });
    f.Check(3002, "Show Console");
    f.Check(3003, "Run LTspice in Batchmode");
    f.Check(3004, "Asymmetric Mesh");
    f.Check(3005, "Process Copper Heating");
    f.Check(3006, "Process Via Heating");
    f.Check(3007, "Process HeatSource Heating");
    SetUnsigned(f.Field(3008, "Max Mesh Order"), s.MaxMeshOrder);
    f.Check(3009, "Compress Files");
    SetCheck(this, 3002, s.ShowConsole);
    SetCheck(this, 3003, s.BatchMode);
    SetCheck(this, 3004, s.AsymmetricMesh);
    SetCheck(this, 3005, s.ProcessCopperHeating);
    SetCheck(this, 3006, s.ProcessViaHeating);
    SetCheck(this, 3007, s.ProcessHeatSourceHeating);
    SetCheck(this, 3009, s.CompressFiles);
    grid->setRowStretch(f.Row(), 1);
    WatchControls();
}

void GeneralSettingsPage::Store(Settings& s)
{
    s.ShowConsole = Checked(this, 3002);
    CopyName(s.LTspicePath, ReadText(Control<QLineEdit>(this, 3000), 259).constData());
    s.BatchMode = Checked(this, 3003);
    s.AsymmetricMesh = Checked(this, 3004);
    s.ProcessCopperHeating = Checked(this, 3005);
    s.ProcessViaHeating = Checked(this, 3006);
    s.ProcessHeatSourceHeating = Checked(this, 3007);
    s.MaxMeshOrder = ReadUnsigned(Control<QLineEdit>(this, 3008));
    s.CompressFiles = Checked(this, 3009);
}

AcSettingsPage::AcSettingsPage(const Settings& s, QWidget* parent) : SettingsPageBase(parent)
{
    setObjectName("AC");
    auto* grid = new QGridLayout(this);
    FormGrid f(grid);
    f.Field(3001, "Start Frequency", "Hz")->setText(NumberText(s.StartFrequency));
    f.Field(3002, "Stop Frequency", "Hz")->setText(NumberText(s.StopFrequency));
    SetUnsigned(f.Field(3003, "Number of Points"), s.NumberOfPoints);
    SetUnsigned(f.Field(3004, "Steps"), s.Steps);
    f.Field(3005, "Zin Distribution Frequency", "Hz")->setText(NumberText(s.ZinDistributionFrequency));
    auto* yAxis = new QButtonGroup(this);
    yAxis->setObjectName("YAxisMode");
    int row = f.Row();
    Radio(grid, row++, 3011, "Linear Y Axis", yAxis, 0);
    Radio(grid, row++, 3012, "Logarithmic Y Axis", yAxis, 1);
    Radio(grid, row++, 3013, "dB Y Axis", yAxis, 2);
    f.SetRow(row);
    f.Check(3006, "Logarithmic Frequency Axis");
    f.Check(3007, "Compute Stray Capacitance for 2 Layer Board");
    auto* click = new QButtonGroup(this);
    click->setObjectName("DiagramClickMode");
    row = f.Row();
    Radio(grid, row++, 3010, "Compute Zin Distribution", click, 0);
    Radio(grid, row++, 3008, "Compute CurrentDensity (Source = Port with ID 0)", click, 1);
    Radio(grid, row++, 3009, "Compute Current Injected Voltage Noise (Source = Port with ID 0)", click, 2);
    grid->setRowStretch(row, 1);
    if (auto* b = yAxis->button(static_cast<int>(s.YAxisMode))) b->setChecked(true);
    if (auto* b = click->button(static_cast<int>(s.DiagramClickMode))) b->setChecked(true);
    SetCheck(this, 3006, s.LogFrequencyAxis);
    SetCheck(this, 3007, s.ComputeStrayCapacitance);
    WatchControls();
}

void AcSettingsPage::Store(Settings& s)
{
    s.StartFrequency = ReadNumber(Control<QLineEdit>(this, 3001));
    s.StopFrequency = ReadNumber(Control<QLineEdit>(this, 3002));
    s.NumberOfPoints = ReadUnsigned(Control<QLineEdit>(this, 3003));
    s.Steps = ReadUnsigned(Control<QLineEdit>(this, 3004));
    s.ZinDistributionFrequency = ReadNumber(Control<QLineEdit>(this, 3005));
    const int yAxis = findChild<QButtonGroup*>("YAxisMode")->checkedId();
    if (yAxis >= 0) s.YAxisMode = yAxis;
    s.LogFrequencyAxis = Checked(this, 3006);
    s.ComputeStrayCapacitance = Checked(this, 3007);
    const int click = findChild<QButtonGroup*>("DiagramClickMode")->checkedId();
    if (click >= 0) s.DiagramClickMode = click;
}

ViewSettingsPage::ViewSettingsPage(const Settings& s, Diagram* diagram, QWidget* parent)
    : SettingsPageBase(parent), diagram_(diagram)
{
    setObjectName("View");
    auto* grid = new QGridLayout(this);
    FormGrid f(grid);
    f.Check(3001, "Link Edit and View Window");
    f.Check(3003, "Auto Min/Max");
    f.Field(3004, "Min Value")->setText(NumberText(s.MinValue));
    f.Field(3005, "Max Value")->setText(NumberText(s.MaxValue));
    for (int i = 0; i < kDiagramRefCurves; ++i) {
        QCheckBox* ref = f.Check(3006 + i, QString("Ref%1").arg(i + 1));
        ref->setEnabled(diagram != nullptr);
        if (diagram != nullptr) ref->setChecked(diagram->RefCurve[i].bValid != 0);
    }
    grid->setRowStretch(f.Row(), 1);
    SetCheck(this, 3001, s.LinkEditAndViewWindow);
    SetCheck(this, 3003, s.AutoMinMax);
    WatchControls();
}

void ViewSettingsPage::Store(Settings& s)
{
    s.LinkEditAndViewWindow = Checked(this, 3001);
    s.AutoMinMax = Checked(this, 3003);
    s.MinValue = static_cast<float>(ReadNumber(Control<QLineEdit>(this, 3004)));
    s.MaxValue = static_cast<float>(ReadNumber(Control<QLineEdit>(this, 3005)));
    if (diagram_ == nullptr) return;
    std::lock_guard<std::mutex> lock(diagram_->Lock);
    for (int i = 0; i < kDiagramRefCurves; ++i) diagram_->RefCurve[i].bValid = Checked(this, 3006 + i);
}

}  // namespace korvex::gui
