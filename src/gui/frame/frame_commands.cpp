// The frame's file, edit, view and tool commands.
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>

#include "board/bitmap_file.h"
#include "board/citi_file.h"
#include "board/settings.h"
#include "diagram/diagram_citi.h"
#include "diagram/diagram_view.h"
#include "dialogs/layer_stack_dialog.h"
#include "dialogs/part_dialogs.h"
#include "dialogs/settings_sheet.h"
#include "edit/edit_view.h"
#include "frame/file_dialogs.h"
#include "frame/main_frame.h"
#include "board/part_lookup.h"
#include "result/result_view.h"
#include "util/debug_log.h"

namespace korvex::gui {

void MainFrame::NewBoard()
{
    if (fileOpened_) return;
    fileOpened_ = true;
    SimMatrix stack;
    ApplyNewBoardDefaults(&stack);
    LayerStackDialog dialog(&stack, false, this);
    if (dialog.exec() != QDialog::Accepted) {
        printDebug("Cancel SetLayerStack\r\n");
        freeSimulationMatrix(&stack);
        fileOpened_ = false;
        activeLayer_ = 0;
        UpdateMenuItem();
        return;
    }
    std::string reason;
    auto document = BoardDocument::CreateNew(stack, &reason);
    freeSimulationMatrix(&stack);
    if (document == nullptr) {
        fileOpened_ = false;
        QMessageBox::warning(this, "Oh Oh...", QString::fromStdString(reason));
        UpdateMenuItem();
        return;
    }
    ShowDocument(std::move(document));
}

void MainFrame::OpenWithDialog()
{
    const QString path = GetFileName(this, false);
    if (!path.isEmpty()) OpenProject(path);
}

bool MainFrame::Save()
{
    if (document_ == nullptr) return false;
    if (document_->IsUntitled()) return SaveAs();
    std::string reason;
    if (!document_->Save(document_->Path(), gSettings.CompressFiles != 0, &reason)) {
        QMessageBox::warning(this, "Oh Oh...", QString::fromStdString(reason));
        return false;
    }
    return true;
}

bool MainFrame::SaveAs()
{
    if (document_ == nullptr) return false;
    const QString path = GetFileName(editWindow_, true);
    if (path.isEmpty()) return false;
    std::string reason;
    if (!document_->Save(path.toStdString(), gSettings.CompressFiles != 0, &reason)) {
        QMessageBox::warning(this, "Oh Oh...", QString::fromStdString(reason));
        return false;
    }
    editWindow_->setWindowTitle(path);
    resultWindow_->setWindowTitle(path);
    UpdateMenuItem();
    return true;
}

void MainFrame::ImportCiti()
{
    const QString path = GetFileNameCITI(this);
    if (path.isEmpty()) return;
    freeSPARAM(&gData);
    printDebug("Read CITI File...\r\r\n");
    std::string reason;
    if (ReadCITIFile(&gData, path.toUtf8().constData(), &reason) != 0) {
        printDebug("%s\r\n", reason.c_str());
        return;
    }
    if (document_ != nullptr) {
        FillDiagramFromCITI(&document_->DiagramRecord(), &gData);
        diagram_->Redraw();
    }
}

void MainFrame::ShowSettings()
{
    SettingsSheet sheet(&gSettings, document_ ? &document_->DiagramRecord() : nullptr, this);
    connect(&sheet, &SettingsSheet::Applied, this, [this] {
        ApplyConsoleVisibility();
        if (result_ != nullptr) result_->Rebuild();
        if (diagram_ != nullptr) diagram_->Redraw();
    });
    sheet.exec();
}

void MainFrame::SetLayerstack()
{
    if (document_ == nullptr) return;
    LayerStackDialog dialog(&document_->Board(), true, this);
    if (dialog.exec() != QDialog::Accepted) return;
    document_->MarkChanged();
    edit_->RedrawBackground(false);
}

void MainFrame::ImportBitmap()
{
    const QString path = GetFileNameBMP(this, false);
    if (path.isEmpty()) {
        printDebug("Error File");
        return;
    }
    SimMatrix& board = document_->Board();
    if (BitmapToMatrix(&board, path.toUtf8().constData(), board.CopperMatrix, activeLayer_) != 0) {
        printDebug("Error in BitmapToMatrix\r\n");
        return;
    }
    document_->MarkChanged();
    edit_->RedrawBackground(true);
}

void MainFrame::CreateBitmaps()
{
    printDebug("Create BMPs\r\n");
    std::string reason;
    if (document_ == nullptr) return;
    if (CreateBMPs(&document_->Board(), QDir::currentPath().toStdString(), &reason) != 0) {
        printDebug("%s\r\n", reason.c_str());
        return;
    }
    printDebug("BMPs created");
}

void MainFrame::ChooseLayer(int layer)
{
    if (document_ == nullptr || layer >= document_->Board().LayerCount) return;
    activeLayer_ = layer;
    printDebug("Switch to Layer%u\n", layer + 1);
    CheckOnly(CommandNumber(Command::Layer1), document_->Board().LayerCount, CommandNumber(Command::Layer1) + layer);
    edit_->SetActiveLayer(layer);
    result_->SetActiveLayer(layer);
}

void MainFrame::ChooseResultView(int view)
{
    resultShow_ = view;
    CheckOnly(CommandNumber(Command::ShowVoltage), 4, CommandNumber(Command::ShowVoltage) + view);
    if (view == kShowVoltage) gSettings.DiagramClickMode = 2;
    else if (view == kShowCurrentDensity) gSettings.DiagramClickMode = 1;
    else if (view == kShowZin) gSettings.DiagramClickMode = 0;
    if (result_ != nullptr) result_->SetShow(view);
}

void MainFrame::ChooseTool(int tool)
{
    if (edit_ != nullptr) edit_->SetTool(tool);
    editMode_ = tool;
    CheckOnly(kFirstToolCommand, kToolCount, kFirstToolCommand + tool);
    if (document_ == nullptr) return;
    const SimMatrix& board = document_->Board();
    const int layers = board.LayerCount;
    switch (tool) {
    case kToolVia: RunPartDialog(this, PART_VIA, &gVia, layers); break;
    case kToolCurrentSource: RunPartDialog(this, PART_CURRENT, &gCurrent, layers); break;
    case kToolHeatSource: RunPartDialog(this, PART_HEATSOURCE, &gHeatSource, layers); break;
    case kToolHeatsink: RunPartDialog(this, PART_HEATSINK, &gHeatSink, layers); break;
    case kToolResistor: RunPartDialog(this, PART_RESISTOR, &gResistor, layers); break;
    case kToolPort:
        gPort.ID = GetFreeID(&board, PART_PORT);
        gPort.Layer = activeLayer_;
        RunPartDialog(this, PART_PORT, &gPort, layers);
        break;
    case kToolCapacitor:
        gCap.Ref = GetFreeID(&board, PART_CAP);
        gCap.Layer = activeLayer_;
        RunPartDialog(this, PART_CAP, &gCap, layers);
        break;
    case kToolSubcircuit:
        gSubCircuit.Reference = GetFreeID(&board, PART_SUBCIRCUIT);
        RunPartDialog(this, PART_SUBCIRCUIT, &gSubCircuit, layers);
        break;
    case kToolSeriesSubcircuit:
        gSeriesSubCircuit.Reference = GetFreeID(&board, PART_SERIESSUBCIRCUIT);
        RunPartDialog(this, PART_SERIESSUBCIRCUIT, &gSeriesSubCircuit, layers);
        break;
    default:
        break;
    }
}

void MainFrame::TileVertically(bool vertical)
{
    const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
    if (windows.isEmpty()) return;
    const QRect area = mdi_->viewport()->rect();
    const int n = windows.size();
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMinimized()) w->showNormal();
        if (vertical) {
            const int width = area.width() / n;
            w->setGeometry(i * width, 0, width, area.height());
        } else {
            const int height = area.height() / n;
            w->setGeometry(0, i * height, area.width(), height);
        }
    }
}

}  // namespace korvex::gui
