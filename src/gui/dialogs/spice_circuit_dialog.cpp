#include "dialogs/spice_circuit_dialog.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <memory>

#include "pdn/diagram_capacitor.h"
#include "frame/job_signals.h"
#include "pdn/cap_tuning.h"
#include "pdn/spice_fit.h"
#include "util/debug_log.h"
#include "util/job_observer.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

// Kept across openings, as the step choice of the last use.
uint32_t gSensitivity = 1;

const int kFieldNumbers[5] = {3001, 3002, 3003, 3011, 3012};

}  // namespace

uint32_t SpiceCircuitDialog::Sensitivity()
{
    return gSensitivity;
}

SpiceCircuitDialog::SpiceCircuitDialog(CapDatabase* list, JobEnvironment env, JobSignals* jobs, QWidget* parent)
    : QDialog(parent), list_(list), env_(env), jobs_(jobs)
{
    setWindowTitle("Create Spice Equivalent Circuit Settings");
    workingPart_.Kind = PART_CAP;
    workingPart_.pRecord = &working_;
    auto* grid = new QGridLayout;
    FormGrid form(grid);
    fields_[0] = form.Field(3001, "Capacitance", "F");
    fields_[1] = form.Field(3002, "ESR", "Ohm");
    fields_[2] = form.Field(3003, "ESL", "H");
    fields_[3] = form.Field(3011, "fRes", "Hz");
    fields_[4] = form.Field(3012, "Q");
    for (int i = 0; i < 5; ++i) fields_[i]->installEventFilter(this);
    for (int i = 0; i < 3; ++i) connect(fields_[i], &QLineEdit::textEdited, this, &SpiceCircuitDialog::EditChanged);
    fields_[3]->setReadOnly(true), fields_[4]->setReadOnly(true);

    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName("3004");
    table_->setHorizontalHeaderLabels({"Capacitance", "ESR", "ESL"});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->viewport()->installEventFilter(this);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!filling_ && SelectedRow() >= 0) SelectRow(SelectedRow());
    });

    auto* add = new QPushButton("Add", this);
    add->setObjectName("3005");
    auto* remove = new QPushButton("Delete", this);
    remove->setObjectName("3006");
    connect(add, &QPushButton::clicked, this, &SpiceCircuitDialog::Add);
    connect(remove, &QPushButton::clicked, this, &SpiceCircuitDialog::Delete);

    QHBoxLayout* stepRow = StepRadios(this, &gSensitivity);

    optimize_ = new QPushButton("Optimize", this);
    optimize_->setObjectName("3017");
    connect(optimize_, &QPushButton::clicked, this, &SpiceCircuitDialog::Optimize);
    stop_ = NewStopButton(this, [this] {
        if (jobs_ != nullptr) jobs_->Cancel();
    });
    progress_ = NewBusyBar(this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(optimize_);
    buttons->addWidget(stop_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    layout->addLayout(stepRow);
    layout->addWidget(progress_);
    AddOkCancel(this, layout);

    FillList();
    ShowValues(working_.Capacitance, working_.ESR, working_.ESL);
}

SpiceCircuitDialog::~SpiceCircuitDialog()
{
    if (optimizing_ && jobs_ != nullptr) {
        jobs_->Cancel();
        jobs_->Wait();
    }
}

int SpiceCircuitDialog::SelectedRow() const
{
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

void SpiceCircuitDialog::ShowRow(int row)
{
    const CapRecord r = GetCap(list_, row);
    const QString texts[3] = {NumberText(r.Capacitance) + "F", NumberText(r.ESR) + "Ohm", NumberText(r.ESL) + "H"};
    for (int c = 0; c < 3; ++c) {
        QTableWidgetItem* item = table_->item(row, c);
        if (item == nullptr) table_->setItem(row, c, item = new QTableWidgetItem);
        item->setText(texts[c]);
    }
}

void SpiceCircuitDialog::FillList()
{
    filling_ = true;
    const int selected = SelectedRow();
    table_->setRowCount(list_->Count);
    for (int row = 0; row < list_->Count; ++row) ShowRow(row);
    if (selected >= 0 && selected < list_->Count) table_->selectRow(selected);
    filling_ = false;
}

void SpiceCircuitDialog::SelectRow(int row)
{
    printDebug("Item Selected iItem %i\r\n", row);
    const CapRecord r = GetCap(list_, row);
    ShowValues(r.Capacitance, r.ESR, r.ESL);
    EditChanged();
}

void SpiceCircuitDialog::ShowValues(float c, float esr, float esl)
{
    fields_[0]->setText(NumberText(c));
    fields_[1]->setText(NumberText(esr));
    fields_[2]->setText(NumberText(esl));
}

void SpiceCircuitDialog::EditChanged()
{
    working_.Capacitance = float(ReadNumber(fields_[0]));
    working_.ESR = float(ReadNumber(fields_[1]));
    working_.ESL = float(ReadNumber(fields_[2]));
    fields_[3]->setText(NumberText(CapResonanceFrequency(working_.Capacitance, working_.ESL)));
    fields_[4]->setText(NumberText(CapQualityFactor(working_.Capacitance, working_.ESR, working_.ESL)));
    const int row = SelectedRow();
    if (row >= 0 && row < list_->Count) {
        list_->Caps[row].Capacitance = working_.Capacitance;
        list_->Caps[row].ESR = working_.ESR;
        list_->Caps[row].ESL = working_.ESL;
        ShowRow(row);
    } else {
        printDebug("Nothing selected\r\n");
    }
    TellDiagram(true);
}

void SpiceCircuitDialog::TellDiagram(bool show)
{
    if (env_.Diagram == nullptr) return;
    ShowDiagramCapacitor(env_.Diagram, show ? &workingPart_ : nullptr, 1);
    ShowDiagramSpiceCircuit(env_.Diagram, show ? list_ : nullptr, 1);
    UpdateDiagram(env_.Diagram);
}

void SpiceCircuitDialog::Add()
{
    const int selected = SelectedRow();
    const int position = selected >= 0 ? selected : list_->Count;
    printDebug("Add Cap at Pos %u\r\n", unsigned(position));
    CapRecord record;
    record.Capacitance = float(ReadNumber(fields_[0]));
    record.ESR = float(ReadNumber(fields_[1]));
    record.ESL = float(ReadNumber(fields_[2]));
    AddCap(list_, position, &record);
    FillList();
    TellDiagram(true);
}

void SpiceCircuitDialog::Delete()
{
    const int selected = SelectedRow();
    if (selected < 0) {
        printDebug("Nothing selected\r\n");
        return;
    }
    printDebug("DeleteCap Item %u\r\n", unsigned(selected));
    DeleteCap(list_, selected);
    table_->clearSelection();
    FillList();
    TellDiagram(true);
}

void SpiceCircuitDialog::Wheel(bool up)
{
    if (optimizing_) return;
    const int row = SelectedRow();
    if (row < 0) {
        printDebug("Nothing selected\r\n");
        return;
    }
    WheelFactors factors;
    GetWheelFactors(gSensitivity, &factors);
    float c = list_->Caps[row].Capacitance, esr = list_->Caps[row].ESR, esl = list_->Caps[row].ESL;
    if (ScaleCapQuantity(&c, &esr, &esl, scrollParam_, up ? factors.Up : factors.Down) != 0) return;
    ShowValues(c, esr, esl);
    EditChanged();
}

bool SpiceCircuitDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        for (int i = 0; i < 5; ++i)
            if (watched == fields_[i]) {
                scrollParam_ = i;
                printDebug("SetFocus\r\n");
            }
    } else if (event->type() == QEvent::Wheel) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta != 0) Wheel(delta > 0);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SpiceCircuitDialog::Optimize()
{
    if (jobs_ == nullptr || env_.Board == nullptr || env_.Diagram == nullptr) return;
    // The fit works on a copy; the list takes the result when the job ends.
    auto fitted = std::make_shared<CapDatabase>();
    for (int i = 0; i < list_->Count; ++i) AddCap(fitted.get(), i, &list_->Caps[i]);
    auto message = std::make_shared<PdnMessage>();
    const uint32_t sensitivity = gSensitivity;
    JobEnvironment env = env_;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(jobs_, &JobSignals::Finished, this,
                          [this, fitted, message, connection](const QString&, const JobOutcome& outcome, bool cancelled) {
                              disconnect(*connection);
                              if (outcome.Success && !cancelled) SwapCapDatabase(list_, fitted.get());
                              FreeCapDatabase(fitted.get());
                              if (!outcome.Success && !cancelled && !message->Text.empty())
                                  QMessageBox::warning(this, QString::fromStdString(message->Caption),
                                                       QString::fromStdString(message->Text));
                              OptimizeFinished(outcome, cancelled);
                          });
    const bool started = jobs_->Start("Optimize Spice Circuit", env, [fitted, message, sensitivity](const JobEnvironment& e) {
        JobOutcome outcome;
        outcome.Success = OptimizeSpiceCircuit(e.Board, e.Diagram, fitted.get(), sensitivity, message.get()) == 0;
        outcome.Reason = message->Text;
        outcome.Changes = kChangedDiagram;
        return outcome;
    });
    if (!started) {
        disconnect(*connection);
        FreeCapDatabase(fitted.get());
        return;
    }
    optimizing_ = true;
    SetEditable(false);
    stop_->setVisible(true);
    progress_->setVisible(true);
}

void SpiceCircuitDialog::SetEditable(bool editable)
{
    // While the fit runs on its copy, the list is not edited.
    for (int i = 0; i < 3; ++i) fields_[i]->setEnabled(editable);
    table_->setEnabled(editable);
    optimize_->setEnabled(editable);
    for (const char* number : {"3005", "3006"}) findChild<QPushButton*>(number)->setEnabled(editable);
}

void SpiceCircuitDialog::OptimizeFinished(const JobOutcome&, bool)
{
    optimizing_ = false;
    SetEditable(true);
    stop_->setVisible(false);
    progress_->setVisible(false);
    FillList();
    const int row = SelectedRow();
    if (row >= 0) {
        const CapRecord r = GetCap(list_, row);
        ShowValues(r.Capacitance, r.ESR, r.ESL);
    }
    TellDiagram(true);
}

void SpiceCircuitDialog::done(int result)
{
    if (optimizing_) {
        // The fit's result belongs to this dialog; it is waited for before closing.
        jobs_->Cancel();
        jobs_->Wait();
        QCoreApplication::processEvents();
    }
    if (result == QDialog::Accepted) {
        // Line by line: a long list exceeds what one log call carries.
        const std::string text = SpiceSubcircuitText(list_);
        for (size_t start = 0; start < text.size();) {
            const size_t end = std::min(text.find('\n', start), text.size() - 1);
            printDebug("%s", text.substr(start, end + 1 - start).c_str());
            start = end + 1;
        }
    }
    TellDiagram(false);
    QDialog::done(result);
}

}  // namespace korvex::gui
