#include "dialogs/settings_sheet.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "board/settings_file.h"
#include "dialogs/settings_pages.h"
#include "diagram/diagram.h"
#include "util/debug_log.h"
#include "widgets/icon_painter.h"

namespace korvex::gui {

SettingsSheet::SettingsSheet(Settings* settings, Diagram* diagram, QWidget* parent)
    : QDialog(parent), settings_(settings), diagram_(diagram)
{
    setWindowTitle("Settings");
    setWindowIcon(ApplicationIcon());
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget;
    general_ = new GeneralSettingsPage(*settings);
    ac_ = new AcSettingsPage(*settings);
    view_ = new ViewSettingsPage(*settings, diagram);
    tabs_->addTab(general_, "Settings");
    tabs_->addTab(ac_, "AC");
    tabs_->addTab(view_, "View");
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
    apply_ = buttons->button(QDialogButtonBox::Apply);
    apply_->setObjectName("Apply");
    apply_->setEnabled(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, &SettingsSheet::Apply);
    for (SettingsPageBase* page : {static_cast<SettingsPageBase*>(general_), static_cast<SettingsPageBase*>(ac_),
                                   static_cast<SettingsPageBase*>(view_)})
        connect(page, &SettingsPageBase::Changed, this, [this] { apply_->setEnabled(true); });
}

bool SettingsSheet::Apply()
{
    Settings next = *settings_;
    general_->Store(next);
    ac_->Store(next);
    view_->Store(next);
    const bool axesChanged = next.LogFrequencyAxis != settings_->LogFrequencyAxis || next.YAxisMode != settings_->YAxisMode;
    *settings_ = next;
    if (diagram_ != nullptr && axesChanged) {
        std::lock_guard<std::mutex> lock(diagram_->Lock);
        diagram_->bLogX = settings_->LogFrequencyAxis;
        diagram_->YAxis = settings_->YAxisMode;
    }
    printDebug("Settings %s/%s\r\n", gszFolderSettings.c_str(), kSettingsFileName);
    if (WriteSettingsFile(settings_, gszFolderSettings) != 0) {
        emit Applied();
        return true;  // reported on the debug log; the pages stay marked as changed
    }
    std::string message, caption;
    if (CheckLTSpicePath(settings_, &message, &caption) != 0) {
        emit Applied();
        QMessageBox::critical(this, QString::fromStdString(caption), QString::fromStdString(message));
        return false;
    }
    gszFolderLTSPICE = settings_->LTspicePath;
    printDebug("New LTSPICE File %s\r\n", gszFolderLTSPICE.c_str());
    for (SettingsPageBase* page : {static_cast<SettingsPageBase*>(general_), static_cast<SettingsPageBase*>(ac_),
                                   static_cast<SettingsPageBase*>(view_)})
        page->SetUnchanged();
    apply_->setEnabled(false);
    emit Applied();
    return true;
}

void SettingsSheet::accept()
{
    if (Apply()) QDialog::accept();
}

}  // namespace korvex::gui
