#include "dialogs/port_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>
#include <cstdio>

#include "board/part_records.h"
#include "util/debug_log.h"

namespace korvex::gui {
namespace {

void FillPorts(QComboBox* list, const SimMatrix& board, uint32_t preset)
{
    for (const Part* part = board.pFirstPart; part != nullptr; part = part->pNext)
        if (part->Kind == PART_PORT && part->pRecord != nullptr)
            list->addItem(QString::asprintf("PORT%u", static_cast<const Port*>(part->pRecord)->ID));
    if (preset < uint32_t(list->count())) list->setCurrentIndex(int(preset));
}

const Part* PortPart(const SimMatrix& board, uint32_t id)
{
    for (const Part* part = board.pFirstPart; part != nullptr; part = part->pNext)
        if (part->Kind == PART_PORT && part->pRecord != nullptr && static_cast<const Port*>(part->pRecord)->ID == id)
            return part;
    return nullptr;
}

}  // namespace

bool ParsePortText(const QString& text, uint32_t* port)
{
    unsigned value = 0;
    const QByteArray bytes = text.toLatin1();
    if (std::sscanf(bytes.constData(), "PORT%u", &value) != 1) return false;
    *port = value;
    return true;
}

PortDialog::PortDialog(const SimMatrix& board, AcJob* job, std::function<void(const Part*)> highlight, QWidget* parent)
    : QDialog(parent), board_(board), job_(job), highlight_(std::move(highlight))
{
    auto* form = new QFormLayout;
    source_ = new QComboBox(this);
    source_->setObjectName("3000");
    FillPorts(source_, board, job->SourceIndex);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    if (job->Mode == AC_MODE_S21) {
        setWindowTitle("S21 Settings");
        termination_ = new QComboBox(this);
        termination_->setObjectName("3001");
        FillPorts(termination_, board, job->TerminationIndex);
        form->addRow("Port1", source_);
        form->addRow("Port2", termination_);
    } else {
        setWindowTitle("Noise Transfer Settings");
        form->addRow("Source Port", source_);
    }
    if (job->Mode == AC_MODE_CURRENT_NOISE_TRANSFER) {
        job->SourcePort = job->TerminationPort = 0;
        connect(source_, &QComboBox::currentIndexChanged, this, [this] {
            if (!TakeSource()) done(QDialog::Rejected);
        });
        // The preset port counts as chosen, so OK runs the port the list shows.
        if (source_->count() > 0) TakeSource();
        connect(buttons, &QDialogButtonBox::accepted, this, [this] { result_ = 0, accept(); });
    } else {
        connect(buttons, &QDialogButtonBox::accepted, this, &PortDialog::Take);
    }
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

bool PortDialog::TakeSource()
{
    uint32_t port = 0;
    if (!ParsePortText(source_->currentText(), &port)) {
        printDebug("Error in retreiving Port Info\r\n");
        result_ = 1;
        return false;
    }
    job_->SourcePort = port;
    job_->SourceIndex = uint32_t(source_->currentIndex());
    if (highlight_) highlight_(PortPart(board_, port));
    return true;
}

void PortDialog::Take()
{
    job_->SourcePort = job_->TerminationPort = 0;
    uint32_t source = 0, termination = 0;
    const bool ok = ParsePortText(source_->currentText(), &source) &&
                    (termination_ == nullptr || ParsePortText(termination_->currentText(), &termination));
    if (!ok) {
        printDebug("Error in retreiving Port Info\r\n");
        result_ = 1;
        reject();
        return;
    }
    job_->SourcePort = source;
    job_->SourceIndex = uint32_t(source_->currentIndex());
    if (termination_ != nullptr) {
        job_->TerminationPort = termination;
        job_->TerminationIndex = uint32_t(termination_->currentIndex());
    }
    result_ = 0;
    accept();
}

int PortDialog::Run()
{
    result_ = 1;
    exec();
    return result_;
}

}  // namespace korvex::gui
