#include "dialogs/voltage_noise_time_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWheelEvent>
#include <cstdio>
#include <memory>

#include "board/part_lookup.h"
#include "diagram/diagram_view.h"
#include "dialogs/port_dialogs.h"
#include "frame/job_signals.h"
#include "jobs/pdn_commands.h"
#include "netlist/ac_job.h"
#include "pdn/voltage_noise_time.h"
#include "util/debug_log.h"
#include "util/job_observer.h"
#include "util/number_text.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

using Param = VoltageNoiseTimeParam;

// How a field is shown, and what a change of it recomputes.
enum class Shown { kNumber, kUnsigned, kFixed, kExponent };
enum class Change { kHarmonics, kEverything, kPoints, kStoreOnly };

struct NoiseField {
    int number;
    const char* label;
    const char* unit;
    Shown shown;
    Change change;
    float Param::*value;      // float fields
    int32_t Param::*count;    // integer fields
};

const NoiseField kFields[] = {
    {3000, "tr", "s", Shown::kNumber, Change::kHarmonics, &Param::tr, nullptr},
    {3002, "T", "s", Shown::kNumber, Change::kEverything, &Param::T, nullptr},
    {3003, "TON", "s", Shown::kNumber, Change::kHarmonics, &Param::TON, nullptr},
    {3004, "Amplitude", "A", Shown::kNumber, Change::kEverything, &Param::Amplitude, nullptr},
    {3005, "n Harmonics", "", Shown::kUnsigned, Change::kEverything, nullptr, &Param::nHarmonics},
    {3010, "Datapoints", "", Shown::kUnsigned, Change::kPoints, nullptr, &Param::Datapoints},
    {3027, "Scroll", "s", Shown::kNumber, Change::kStoreOnly, &Param::Scroll, nullptr},
    {3011, "ScaleX", "", Shown::kFixed, Change::kStoreOnly, &Param::ScaleX, nullptr},
    {3026, "DIV Y", "A", Shown::kFixed, Change::kStoreOnly, &Param::DivY, nullptr},
    {3012, "DIV Y Sec", "V", Shown::kFixed, Change::kStoreOnly, &Param::DivYSec, nullptr},
    {3023, "Gauss tr", "s", Shown::kNumber, Change::kStoreOnly, &Param::GaussTr, nullptr},
    {3007, "twidth", "s", Shown::kNumber, Change::kHarmonics, &Param::twidth, nullptr},
    {3008, "Amplitude Gauss", "A", Shown::kNumber, Change::kEverything, &Param::AmplitudeGauss, nullptr},
    {3009, "t2", "s", Shown::kExponent, Change::kHarmonics, &Param::t2, nullptr},
};

const NoiseField* FindField(int number)
{
    for (const NoiseField& f : kFields)
        if (f.number == number) return &f;
    return nullptr;
}

QString FieldText(const NoiseField& f, const Param& p)
{
    switch (f.shown) {
    case Shown::kUnsigned: return QString::asprintf("%u", unsigned(p.*f.count));
    case Shown::kFixed: return QString::asprintf("%f", double(p.*f.value));
    case Shown::kExponent: return QString::asprintf("%.3e", double(p.*f.value));
    default: return NumberText(p.*f.value);
    }
}

// Radio numbers in the order of VoltageNoiseTimeDialog::radios_.
const struct {
    int number;
    const char* text;
} kRadios[6] = {{3016, "ZIN"},  {3017, "Noise Transfer"}, {3018, "Current Spectrum"}, {3019, "Voltage Spectrum"},
                {3021, "Log"}, {3022, "Linear"}};

constexpr float kWheelUp = 1.1f;
constexpr float kWheelDown = 0.9090909f;

}  // namespace

VoltageNoiseTimeDialog::VoltageNoiseTimeDialog(VoltageNoiseTimeParam* param, JobEnvironment env, JobSignals* jobs,
                                               Highlight highlight, QWidget* parent)
    : QDialog(parent), param_(param), env_(std::move(env)), jobs_(jobs), highlight_(std::move(highlight))
{
    setWindowTitle("Simulate Current injected Voltage Noise in Time Domain");
    BuildFields();
    filling_ = true;
    if (env_.Diagram != nullptr) {
        UpdategDiagramFromVoltageNoiseObject(param_, env_.Diagram);
        UpdateDiagram(env_.Diagram);
    }
    InitVoltageNoiseTimeDiagram(param_, &time_);
    param_->Colour = 0x646464;
    ShowFields();
    filling_ = false;
    Recompute(false);
}

VoltageNoiseTimeDialog::~VoltageNoiseTimeDialog()
{
    if (simulating_ && jobs_ != nullptr) {
        jobs_->Cancel();
        jobs_->Wait();
    }
    // The view reads the time diagram, which is a member: it goes first.
    delete view_;
}

void VoltageNoiseTimeDialog::BuildFields()
{
    auto* grid = new QGridLayout;
    FormGrid form(grid);
    for (const NoiseField& f : kFields) {
        QLineEdit* edit = form.Field(f.number, f.label, f.unit);
        edit->installEventFilter(this);
        const int number = f.number;
        connect(edit, &QLineEdit::textChanged, this, [this, number] { FieldChanged(number); });
    }
    gaussOn_ = form.Check(3006, "ON");
    connect(gaussOn_, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_) return;
        param_->GaussOn = on ? 1 : 0;
        Recompute(false);
    });

    auto* radioGrid = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        radios_[i] = new QRadioButton(kRadios[i].text, this);
        radios_[i]->setObjectName(QString::number(kRadios[i].number));
        radioGrid->addWidget(radios_[i], i / 2, i % 2);
    }
    for (int pair = 0; pair < 3; ++pair) {
        auto* group = new QButtonGroup(this);
        group->addButton(radios_[2 * pair]);
        group->addButton(radios_[2 * pair + 1]);
    }
    connect(radios_[2], &QRadioButton::clicked, this, [this] { param_->Spectrum = 1; });
    connect(radios_[3], &QRadioButton::clicked, this, [this] { param_->Spectrum = 0; });
    auto setLog = [this](int log) {
        param_->LogX = log;
        if (env_.Diagram == nullptr) return;
        {
            std::lock_guard<std::mutex> lock(env_.Diagram->Lock);
            env_.Diagram->bLogX = unsigned(log);
        }
        if (log != 0) UpdateDiagram(env_.Diagram);
    };
    connect(radios_[4], &QRadioButton::clicked, this, [setLog] { setLog(1); });
    connect(radios_[5], &QRadioButton::clicked, this, [setLog] { setLog(0); });

    zinPorts_ = new QComboBox(this);
    zinPorts_->setObjectName("3024");
    noiseCurves_ = new QComboBox(this);
    noiseCurves_->setObjectName("3025");
    connect(zinPorts_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!filling_) SelectZinPort(i);
    });
    connect(noiseCurves_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!filling_) SelectNoiseCurve(i);
    });
    grid->addWidget(new QLabel("Port", this), form.Row(), 0);
    grid->addWidget(zinPorts_, form.Row(), 1, 1, 2);
    form.NextRow();
    grid->addWidget(new QLabel("Port", this), form.Row(), 0);
    grid->addWidget(noiseCurves_, form.Row(), 1, 1, 2);

    view_ = new DiagramView(&time_, this);
    view_->setObjectName("3013");
    view_->SetUnits(DiagramUnits{"s", "A", "V", false});
    view_->setMinimumSize(520, 360);

    message_ = new QLabel(this);
    message_->setObjectName("Message");
    message_->setWordWrap(true);
    simulate_ = new QPushButton("Simulate", this);
    simulate_->setObjectName("3014");
    connect(simulate_, &QPushButton::clicked, this, &VoltageNoiseTimeDialog::Simulate);
    stop_ = NewStopButton(this, [this] {
        if (jobs_ != nullptr) jobs_->Cancel();
    });
    progress_ = NewBusyBar(this);

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addLayout(radioGrid);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(view_, 1);
    right->addWidget(message_);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(simulate_);
    buttons->addWidget(stop_);
    buttons->addWidget(progress_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    AddOkCancel(this, layout);
}

QLineEdit* VoltageNoiseTimeDialog::Field(int number) const
{
    return Control<QLineEdit>(this, number);
}

void VoltageNoiseTimeDialog::ShowFields()
{
    for (const NoiseField& f : kFields) Field(f.number)->setText(FieldText(f, *param_));
    gaussOn_->setChecked(param_->GaussOn != 0);
    radios_[param_->Source == 1 ? 1 : 0]->setChecked(true);
    radios_[param_->Spectrum == 1 ? 2 : 3]->setChecked(true);
    radios_[param_->LogX != 0 ? 4 : 5]->setChecked(true);
    zinPorts_->clear();
    if (env_.Board != nullptr)
        for (const Part* part = GetFirstPart(env_.Board); part != nullptr; part = GetNextPart(part))
            if (part->Kind == PART_PORT && part->pRecord != nullptr)
                zinPorts_->addItem(QString::asprintf("PORT%u", PartRecord<Port>(part)->ID));
    if (param_->ZinCurve >= 0 && param_->ZinCurve < zinPorts_->count()) zinPorts_->setCurrentIndex(param_->ZinCurve);
    FillNoiseCurves();
}

void VoltageNoiseTimeDialog::FillNoiseCurves()
{
    const bool wasFilling = filling_;
    filling_ = true;
    noiseCurves_->clear();
    if (env_.Diagram != nullptr) {
        std::lock_guard<std::mutex> lock(env_.Diagram->Lock);
        for (int i = 0; i < kStimulusCurve; ++i)
            if (DiagramCurveHasData(env_.Diagram->Curve[i]))
                noiseCurves_->addItem(QString::fromUtf8(env_.Diagram->Curve[i].szName), i);
    }
    // The entry of the curve in use (the list holds curve numbers as data).
    const int entry = noiseCurves_->findData(param_->NoiseCurve);
    if (entry >= 0) noiseCurves_->setCurrentIndex(entry);
    filling_ = wasFilling;
}

void VoltageNoiseTimeDialog::FieldChanged(int number)
{
    if (filling_) return;
    const NoiseField* f = FindField(number);
    if (f == nullptr) return;
    const QString text = Field(number)->text();
    // A text that is no number (yet) changes nothing.
    if (f->count != nullptr) {
        bool ok = false;
        const uint value = text.trimmed().toUInt(&ok);
        if (!ok || value > 100000) return;
        param_->*f->count = int32_t(value);
    } else {
        int ok = 0;
        const float value = float(GetDlgItemDouble(text.toUtf8().constData(), &ok));
        if (ok == 0) return;
        if (f->value == &Param::T && value == 0) return;
        param_->*f->value = f->value == &Param::ScaleX ? std::max(value, 1.0f) : value;
    }
    switch (f->change) {
    case Change::kHarmonics: Recompute(false); break;
    case Change::kEverything: Recompute(true); break;
    case Change::kPoints:
        InitVoltageNoiseTimeDiagram(param_, &time_);
        Recompute(false);
        break;
    case Change::kStoreOnly: break;
    }
}

void VoltageNoiseTimeDialog::Recompute(bool updateAxes)
{
    PdnMessage message;
    int result = 0;
    if (updateAxes) result = RecomputeVoltageNoiseTime(param_, &time_, env_.Diagram, &message);
    else result = CalculateHarmonics(param_, &time_, env_.Diagram, &message);
    ShowComputation(message, result);
    Redraw();
}

void VoltageNoiseTimeDialog::ShowComputation(const PdnMessage& message, int result)
{
    QString text = QString::fromStdString(message.Text);
    if (result != 0 && text.isEmpty()) text = "The time signals could not be computed.";
    message_->setText(text);
}

QString VoltageNoiseTimeDialog::Message() const
{
    return message_->text();
}

void VoltageNoiseTimeDialog::Redraw()
{
    view_->Redraw();
    if (env_.Diagram != nullptr) UpdateDiagram(env_.Diagram);
}

void VoltageNoiseTimeDialog::SelectZinPort(int index)
{
    param_->ZinCurve = index;
    uint32_t port = 0;
    if (!ParsePortText(zinPorts_->itemText(index), &port)) {
        printDebug("Error in retreiving Port Info\r\n");
        return;
    }
    if (highlight_ && env_.Board != nullptr) highlight_(GetPartfromID(env_.Board, PART_PORT, port));
    if (param_->Source == 0) Recompute(true);
}

void VoltageNoiseTimeDialog::SelectNoiseCurve(int index)
{
    const QVariant curve = noiseCurves_->itemData(index);
    param_->NoiseCurve = curve.isValid() ? curve.toInt() : index;
    unsigned port = 0;
    if (std::sscanf(noiseCurves_->itemText(index).toLatin1().constData(), "V(port%u)", &port) != 1) {
        printDebug("Error in retreiving Port Info\r\n");
        return;
    }
    if (highlight_ && env_.Board != nullptr) highlight_(GetPartfromID(env_.Board, PART_PORT, port));
    if (param_->Source == 1) Recompute(true);
}

void VoltageNoiseTimeDialog::TakeRadios()
{
    param_->Source = radios_[1]->isChecked() ? 1 : 0;
    param_->Spectrum = radios_[2]->isChecked() ? 1 : 0;
}

void VoltageNoiseTimeDialog::Wheel(bool up)
{
    if (simulating_) return;
    const NoiseField* f = FindField(scrollParam_);
    if (f == nullptr || f->value == nullptr) return;
    float value = param_->*f->value;
    const float step = 0.02f * param_->T / std::max(param_->ScaleX, 1.0f);
    switch (f->number) {
    case 3009: value += up ? -step : step; break;  // t2
    case 3027: value += up ? step : -step; break;  // Scroll
    case 3011:                                     // ScaleX
        if (up) value *= 2;
        else if (value >= 2) value /= 2;
        else return;
        break;
    case 3000: case 3003: case 3004: case 3023: case 3007: case 3008:
        value *= up ? kWheelUp : kWheelDown;
        break;
    default: return;
    }
    Param shown = *param_;
    shown.*f->value = value;
    Field(f->number)->setText(FieldText(*f, shown));
}

bool VoltageNoiseTimeDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        for (const NoiseField& f : kFields)
            if (watched == Field(f.number)) scrollParam_ = f.number;
    return QDialog::eventFilter(watched, event);
}

void VoltageNoiseTimeDialog::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta != 0) Wheel(delta > 0);
    event->accept();
}

void VoltageNoiseTimeDialog::Simulate()
{
    TakeRadios();
    if (jobs_ == nullptr || env_.Board == nullptr || env_.Diagram == nullptr || simulating_) return;
    PdnMessage refusal;
    if (CheckVoltageNoiseTimeParam(param_, &refusal) != 0) {
        QMessageBox::warning(this, "Error", QString::fromStdString(refusal.Text));
        return;
    }
    uint32_t drivePort = 0;
    if (param_->Source == 1) {
        // The current is injected at the port chosen as for "Simulate Current Injected Noise Transfer".
        AcJob* job = AcJobForMode(AC_MODE_CURRENT_NOISE_TRANSFER);
        job->Mode = AC_MODE_CURRENT_NOISE_TRANSFER;
        PortDialog ports(*env_.Board, job, highlight_, this);
        if (ports.Run() != 0) return;
        drivePort = job->SourcePort;
    }
    // The worker computes on copies; the dialog recomputes from the sweep when it is in.
    auto param = std::make_shared<Param>(*param_);
    auto scratch = std::make_shared<Diagram>();
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(jobs_, &JobSignals::Finished, this,
                          [this, connection, scratch](const QString&, const JobOutcome& outcome, bool cancelled) {
                              disconnect(*connection);
                              SimulationFinished(outcome, cancelled);
                          });
    printDebug("Generate AC Spice Circuit %s\r\n", WorkFilePath(env_, kAcBase, ".cir").c_str());
    const bool started = jobs_->Start("Simulate Voltage Noise in Time Domain", env_,
                                      [param, scratch, drivePort](const JobEnvironment& e) {
                                          return CommandVoltageNoiseTime(e, param.get(), drivePort, scratch.get());
                                      });
    if (!started) {
        disconnect(*connection);
        return;
    }
    simulating_ = true;
    SetEditable(false);
}

void VoltageNoiseTimeDialog::SetEditable(bool editable)
{
    for (const NoiseField& f : kFields) Field(f.number)->setEnabled(editable);
    for (QWidget* w : std::initializer_list<QWidget*>{gaussOn_, zinPorts_, noiseCurves_, simulate_}) w->setEnabled(editable);
    for (QRadioButton* r : radios_) r->setEnabled(editable);
    stop_->setVisible(!editable);
    progress_->setVisible(!editable);
}

void VoltageNoiseTimeDialog::SimulationFinished(const JobOutcome& outcome, bool cancelled)
{
    simulating_ = false;
    SetEditable(true);
    if (cancelled) {
        message_->setText("Simulation cancelled.");
        return;
    }
    if (!outcome.Success && !outcome.Caption.empty()) {
        QMessageBox::warning(this, QString::fromStdString(outcome.Caption), QString::fromStdString(outcome.Reason));
        return;
    }
    if ((outcome.Changes & kChangedDiagram) == 0) {
        message_->setText(QString::fromStdString(outcome.Reason));
        return;
    }
    // The sweep is in the main diagram (also when the response could not be
    // formed from it): what the tool does when its results arrive.
    TakeRadios();
    FillNoiseCurves();
    Recompute(true);
    if (!outcome.Success && message_->text().isEmpty()) message_->setText(QString::fromStdString(outcome.Reason));
}

void VoltageNoiseTimeDialog::done(int result)
{
    if (simulating_ && jobs_ != nullptr) {
        jobs_->Cancel();
        jobs_->Wait();
        QCoreApplication::processEvents();
    }
    // The fields are stored as they change; OK takes the radios too.
    if (result == QDialog::Accepted) TakeRadios();
    QDialog::done(0);
}

}  // namespace korvex::gui
