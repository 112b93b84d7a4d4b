#include "dialogs/simulate_s_capacitor_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <memory>

#include "board/part_lookup.h"
#include "dialogs/cap_list_model.h"
#include "dialogs/port_dialogs.h"
#include "frame/job_signals.h"
#include "jobs/pdn_commands.h"
#include "pdn/cap_tuning.h"
#include "pdn/diagram_capacitor.h"
#include "pdn/simulate_s_capacitor.h"
#include "util/debug_log.h"
#include "util/number_text.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

// Kept across openings: the step chosen last.
uint32_t gSensitivity = 1;

QTableView* CapTable(const char* number, CapListModel* model, QWidget* parent)
{
    auto* table = new QTableView(parent);
    table->setObjectName(number);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setVisible(false);
    return table;
}

}  // namespace

uint32_t SimulateSCapacitorDialog::Sensitivity()
{
    return gSensitivity;
}

SimulateSCapacitorDialog::SimulateSCapacitorDialog(CapDatabase* catalogue, CapDatabase* boardList, JobEnvironment env,
                                                   JobSignals* jobs, Highlight highlight, QWidget* parent)
    : QDialog(parent), catalogue_(catalogue), boardList_(boardList), env_(std::move(env)), jobs_(jobs),
      highlight_(std::move(highlight))
{
    setWindowTitle("Optimize Caps Settings");
    workingPart_.Kind = PART_CAP;
    workingPart_.pRecord = &working_;

    auto* grid = new QGridLayout;
    FormGrid form(grid);
    ports_ = new QComboBox(this);
    ports_->setObjectName("3000");
    grid->addWidget(new QLabel("Port", this), form.Row(), 0);
    grid->addWidget(ports_, form.Row(), 1, 1, 2);
    form.NextRow();
    fields_[0] = form.Field(3001, "Capacitance", "F");
    fields_[1] = form.Field(3002, "ESR", "Ohm");
    fields_[2] = form.Field(3003, "ESL", "H");
    fields_[3] = form.Field(3011, "fRes", "Hz");
    fields_[4] = form.Field(3012, "Q");
    fields_[3]->setReadOnly(true), fields_[4]->setReadOnly(true);
    for (QLineEdit* field : fields_) field->installEventFilter(this);

    QHBoxLayout* stepRow = StepRadios(this, &gSensitivity);

    BuildBoardCapacitorList(env_.Board, boardList_);
    boardModel_ = new CapListModel(boardList_, true, this);
    boardTable_ = CapTable("3019", boardModel_, this);
    databaseTable_ = CapTable("3004", new CapListModel(catalogue_, false, this), this);
    connect(boardTable_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) SelectBoardRow(current.row());
            });
    connect(databaseTable_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) SelectDatabaseRow(current.row());
            });

    simulate_ = new QPushButton("Simulate", this);
    simulate_->setObjectName("3014");
    connect(simulate_, &QPushButton::clicked, this, &SimulateSCapacitorDialog::Simulate);
    auto* setC = new QPushButton("Set C ->", this);
    setC->setObjectName("3028");
    connect(setC, &QPushButton::clicked, this, &SimulateSCapacitorDialog::SetC);
    stop_ = NewStopButton(this, [this] {
        if (jobs_ != nullptr) jobs_->Cancel();
    });
    progress_ = NewBusyBar(this);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("1");
    connect(close, &QPushButton::clicked, this, [this] { done(0); });

    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addLayout(stepRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(simulate_);
    buttons->addWidget(setC);
    buttons->addWidget(stop_);
    left->addLayout(buttons);
    left->addWidget(progress_);
    left->addStretch();
    auto* lists = new QVBoxLayout;
    lists->addWidget(new QLabel("Capacitors on Board", this));
    lists->addWidget(boardTable_);
    lists->addWidget(new QLabel("Database", this));
    lists->addWidget(databaseTable_);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(lists, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(close, 0, Qt::AlignRight);

    if (env_.Board != nullptr)
        for (const Part* part = GetFirstPart(env_.Board); part != nullptr; part = GetNextPart(part))
            if (part->Kind == PART_PORT && part->pRecord != nullptr)
                ports_->addItem(QString::asprintf("PORT%u", PartRecord<Port>(part)->ID));
    if (env_.SParameters != nullptr)
        ports_->setCurrentIndex(std::max(ports_->findText(QString::asprintf("PORT%u", env_.SParameters->SelectedPort)), 0));
    connect(ports_, &QComboBox::currentIndexChanged, this, &SimulateSCapacitorDialog::SelectPort);
    for (int i = 0; i < 3; ++i) connect(fields_[i], &QLineEdit::textChanged, this, &SimulateSCapacitorDialog::EditChanged);
    if (boardList_->Count > 0) boardTable_->selectRow(0);
    resize(760, 480);
}

SimulateSCapacitorDialog::~SimulateSCapacitorDialog()
{
    if (simulating_ && jobs_ != nullptr) {
        jobs_->Cancel();
        jobs_->Wait();
    }
}

int SimulateSCapacitorDialog::SelectedBoardRow() const
{
    const QModelIndexList rows = boardTable_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SimulateSCapacitorDialog::ShowCapacitor(Part* part)
{
    if (env_.Diagram == nullptr) return;
    ShowDiagramCapacitor(env_.Diagram, part, 1);
    UpdateDiagram(env_.Diagram);
}

void SimulateSCapacitorDialog::SelectPort(int index)
{
    uint32_t port = 0;
    if (!ParsePortText(ports_->itemText(index), &port)) {
        printDebug("Error in retreiving Port Info\r\n");
        done(1);
        return;
    }
    if (env_.SParameters != nullptr) env_.SParameters->SelectedPort = port;
    if (highlight_ && env_.Board != nullptr) highlight_(GetPartfromID(env_.Board, PART_PORT, port));
}

void SimulateSCapacitorDialog::SelectBoardRow(int row)
{
    if (row < 0 || row >= boardList_->Count) return;
    printDebug("Item Selected iItem %i\r\n", row);
    const CapRecord& record = boardList_->Caps[row];
    if (env_.SParameters != nullptr) env_.SParameters->SelectedCap = record.Ref;
    if (highlight_) highlight_(record.pPart);
    ShowCapacitor(record.pPart);
}

void SimulateSCapacitorDialog::SelectDatabaseRow(int row)
{
    if (row < 0 || row >= catalogue_->Count) return;
    printDebug("Item Selected iItem %i\r\n", row);
    const CapRecord& record = catalogue_->Caps[row];
    ShowValues(record.Capacitance, record.ESR, record.ESL);
}

void SimulateSCapacitorDialog::ShowValues(float c, float esr, float esl)
{
    fields_[0]->setText(NumberText(c));
    fields_[1]->setText(NumberText(esr));
    fields_[2]->setText(NumberText(esl));
}

void SimulateSCapacitorDialog::EditChanged()
{
    if (filling_) return;
    float* values[3] = {&working_.Capacitance, &working_.ESR, &working_.ESL};
    for (int i = 0; i < 3; ++i) {
        // A text that is no number (yet) keeps the value it had.
        int ok = 0;
        const double value = GetDlgItemDouble(fields_[i]->text().toUtf8().constData(), &ok);
        if (ok != 0) *values[i] = float(value);
    }
    Recalculate();
}

void SimulateSCapacitorDialog::Recalculate()
{
    fields_[3]->setText(NumberText(CapResonanceFrequency(working_.Capacitance, working_.ESL)));
    fields_[4]->setText(NumberText(CapQualityFactor(working_.Capacitance, working_.ESR, working_.ESL)));
    ShowCapacitor(&workingPart_);
    if (env_.Diagram != nullptr && env_.SParameters != nullptr && env_.SParameters->Points > 0)
        SimulateSCapacitorDrawDiagram(env_.Diagram, &working_, env_.SParameters);
}

void SimulateSCapacitorDialog::Wheel(bool up)
{
    if (simulating_) return;
    WheelFactors factors;
    GetWheelFactors(gSensitivity, &factors);
    float c = working_.Capacitance, esr = working_.ESR, esl = working_.ESL;
    if (ScaleCapQuantity(&c, &esr, &esl, scrollParam_, up ? factors.Up : factors.Down) != 0) return;
    // The fields show rounded texts; the working capacitor keeps the exact values.
    working_.Capacitance = c, working_.ESR = esr, working_.ESL = esl;
    filling_ = true;
    ShowValues(c, esr, esl);
    filling_ = false;
    Recalculate();
    if (SelectedBoardRow() >= 0) boardTable_->viewport()->update();
}

bool SimulateSCapacitorDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        for (int i = 0; i < 5; ++i)
            if (watched == fields_[i]) {
                scrollParam_ = i;
                if (i < 3) printDebug("SetFocus\r\n");
            }
    return QDialog::eventFilter(watched, event);
}

void SimulateSCapacitorDialog::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta != 0) Wheel(delta > 0);
    event->accept();
}

void SimulateSCapacitorDialog::Simulate()
{
    if (jobs_ == nullptr || env_.Board == nullptr || env_.SParameters == nullptr || simulating_) return;
    uint32_t port = 0;
    if (!ParsePortText(ports_->currentText(), &port)) {
        printDebug("Error in retreiving Port Info\r\n");
        done(1);
        return;
    }
    const uint32_t capRef = env_.SParameters->SelectedCap;
    PdnMessage refusal;
    if (ports_->count() == 0 || boardList_->Count == 0 ||
        CheckSimulateSCapacitor(env_.Board, port, capRef, &refusal) != 0) {
        const QString text = refusal.Text.empty() ? QString("The board needs a port and a capacitor.")
                                                  : QString::fromStdString(refusal.Text);
        QMessageBox::warning(this, "Error", text);
        return;
    }
    env_.SParameters->SelectedPort = port;
    working_ = *PartRecord<Cap>(GetPartfromID(env_.Board, PART_CAP, capRef));
    printDebug("Simulate S21 Capacitor\r\n");
    printDebug("Generate AC Spice Circuit %s\r\n", WorkFilePath(env_, kAcBase, ".cir").c_str());
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(jobs_, &JobSignals::Finished, this,
                          [this, connection](const QString&, const JobOutcome& outcome, bool cancelled) {
                              disconnect(*connection);
                              SimulationFinished(outcome, cancelled);
                          });
    if (!jobs_->Start("Simulate Capacitors on actual Position", env_, [port, capRef](const JobEnvironment& e) {
            return CommandSimulateSCapacitor(e, port, capRef);
        })) {
        disconnect(*connection);
        return;
    }
    simulating_ = true;
    SetEditable(false);
}

void SimulateSCapacitorDialog::SetEditable(bool editable)
{
    for (QLineEdit* field : fields_) field->setEnabled(editable);
    for (QWidget* w : std::initializer_list<QWidget*>{ports_, boardTable_, databaseTable_, simulate_,
                                                      findChild<QPushButton*>("3028")})
        w->setEnabled(editable);
    stop_->setVisible(!editable);
    progress_->setVisible(!editable);
}

void SimulateSCapacitorDialog::SimulationFinished(const JobOutcome& outcome, bool cancelled)
{
    simulating_ = false;
    SetEditable(true);
    if (cancelled || !outcome.Success) return;  // the frame reports why
    DrawSimulateSCapacitor(env_, working_);
    ShowValues(working_.Capacitance, working_.ESR, working_.ESL);
    ShowCapacitor(&workingPart_);
}

void SimulateSCapacitorDialog::SetC()
{
    if (env_.Board == nullptr || env_.SParameters == nullptr) return;
    const int row = SelectedBoardRow();
    if (row < 0) printDebug("Nothing selected\r\n");
    if (SetBoardCapacitorValues(env_.Board, env_.SParameters->SelectedCap, working_.Capacitance, working_.ESR,
                                working_.ESL, row >= 0 ? boardList_ : nullptr) == 0)
        boardChanged_ = true;
    if (row >= 0) boardModel_->ReloadRow(row);
}

void SimulateSCapacitorDialog::done(int result)
{
    if (simulating_ && jobs_ != nullptr) {
        jobs_->Cancel();
        jobs_->Wait();
        QCoreApplication::processEvents();
    }
    ShowCapacitor(nullptr);
    QDialog::done(result);
}

}  // namespace korvex::gui
