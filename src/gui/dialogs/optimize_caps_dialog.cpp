#include "dialogs/optimize_caps_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "board/part_records.h"
#include "dialogs/port_dialogs.h"
#include "util/debug_log.h"
#include "widgets/dialog_form.h"

namespace korvex::gui {

OptimizeCapsDialog::OptimizeCapsDialog(const SimMatrix& board, OptiCapParam* param, QWidget* parent)
    : QDialog(parent), param_(param)
{
    setWindowTitle("Optimize Capacitor at Port X");
    auto* grid = new QGridLayout;
    FormGrid form(grid);
    frequency_ = form.Field(3001, "Target Frequency", "Hz");
    impedance_ = form.Field(3002, "Target Impedance", "Ohm");
    count_ = form.Field(3000, "Max. No of Capacitors");
    port_ = new QComboBox(this);
    port_->setObjectName("3004");
    grid->addWidget(new QLabel("Target Port", this), form.Row(), 0);
    grid->addWidget(port_, form.Row(), 1);
    for (const Part* part = board.pFirstPart; part != nullptr; part = part->pNext)
        if (part->Kind == PART_PORT && part->pRecord != nullptr)
            port_->addItem(QString::asprintf("PORT%u", PartRecord<Port>(part)->ID));
    frequency_->setText(NumberText(param->TargetFrequency));
    impedance_->setText(NumberText(param->TargetImpedance));
    SetUnsigned(count_, param->MaxCapacitors);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptimizeCapsDialog::Take);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void OptimizeCapsDialog::Take()
{
    param_->TargetFrequency = float(ReadNumber(frequency_));
    param_->TargetImpedance = float(ReadNumber(impedance_));
    param_->MaxCapacitors = ReadUnsigned(count_);
    param_->TargetPort = 0;
    uint32_t port = 0;
    if (ParsePortText(port_->currentText(), &port)) param_->TargetPort = port;
    else printDebug("Error in retreiving Port Info\r\n");
    result_ = 0;
    accept();
}

int OptimizeCapsDialog::Run()
{
    result_ = 1;
    exec();
    return result_;
}

}  // namespace korvex::gui
