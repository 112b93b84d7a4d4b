// Opening, showing and closing the one board.
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>

#include "pdn/diagram_capacitor.h"
#include "diagram/diagram_view.h"
#include "dialogs/cap_dialog.h"
#include "edit/edit_view.h"
#include "frame/main_frame.h"
#include "result/result_view.h"
#include "board/settings.h"
#include "util/debug_log.h"

namespace korvex::gui {

bool MainFrame::OpenProject(const QString& path)
{
    if (fileOpened_) return false;
    fileOpened_ = true;
    std::string reason;
    auto document = BoardDocument::Open(path.toStdString(), gSettings.CompressFiles != 0, &reason);
    if (document == nullptr) {
        fileOpened_ = false;
        activeLayer_ = 0;
        if (!reason.empty()) printDebug("%s\r\n", reason.c_str());
        QMessageBox::warning(this, "Oh Oh...", "Couldn't load Matrix (Compressed/Uncompressed Data ?)");
        UpdateMenuItem();
        return false;
    }
    ShowDocument(std::move(document));
    return true;
}

void MainFrame::ShowDocument(std::unique_ptr<BoardDocument> document)
{
    document_ = std::move(document);
    fileOpened_ = true;
    activeLayer_ = 0;
    const QString title = QString::fromStdString(document_->Title());

    edit_ = new EditView(document_.get());
    edit_->SetTool(editMode_);
    editWindow_ = mdi_->addSubWindow(edit_);
    editWindow_->setWindowTitle(title);
    editWindow_->setObjectName("ChildEdit");
    editWindow_->installEventFilter(this);

    result_ = new ResultView(document_.get());
    result_->SetShow(resultShow_);
    resultWindow_ = mdi_->addSubWindow(result_);
    resultWindow_->setWindowTitle(title);
    resultWindow_->setObjectName("ChildResult");
    resultWindow_->installEventFilter(this);

    diagram_ = new DiagramView(&document_->DiagramRecord());
    diagramWindow_ = mdi_->addSubWindow(diagram_);
    diagramWindow_->setWindowTitle("Diagram");
    diagramWindow_->setObjectName("ChildDiagram");
    diagramWindow_->installEventFilter(this);

    connect(edit_, &EditView::ViewChanged, this, [this](const ViewRect& view) {
        if (gSettings.LinkEditAndViewWindow && result_ != nullptr) result_->AdoptView(view);
    });
    connect(edit_, &EditView::MatrixPointChanged, this, [this](QPoint e) {
        if (result_ != nullptr) result_->ShowValueAt(e);
        status_[2]->setText(QString::asprintf("%u, %u px", e.x(), e.y()));
    });
    // The result and diagram windows' own signals: linked view, status bar,
    // and the analysis a click into the diagram starts.
    connect(result_, &ResultView::ViewChanged, this, [this](const ViewRect& view) {
        if (gSettings.LinkEditAndViewWindow && edit_ != nullptr) edit_->AdoptView(view);
    });
    connect(result_, &ResultView::MatrixPointChanged, this,
            [this](QPoint e) { status_[2]->setText(QString::asprintf("%u, %u px", e.x(), e.y())); });
    connect(diagram_, &DiagramView::AnalysisRequested, this, [this](int command) { Execute(command); });
    connect(edit_, &EditView::BoardEdited, this, [this] {
        if (result_ != nullptr) result_->update();
    });
    // The diagram shows the impedance of the capacitor under the mouse, and
    // of the values typed into the capacitor dialog.
    connect(edit_, &EditView::CapacitorHovered, this, [this](const Part* capacitor) {
        if (document_ != nullptr) ShowDiagramCapacitor(&document_->DiagramRecord(), const_cast<Part*>(capacitor), 0);
    });
    SetCapacitorPreviewHandler([this](const Cap& values) {
        if (document_ == nullptr) return;
        previewCap_ = values;
        previewPart_.Kind = PART_CAP;
        previewPart_.pRecord = &previewCap_;
        ShowDiagramCapacitor(&document_->DiagramRecord(), &previewPart_, 1);
    });

    for (QMdiSubWindow* w : {editWindow_, resultWindow_, diagramWindow_}) w->show();
    mdi_->setActiveSubWindow(resultWindow_);
    mdi_->setActiveSubWindow(editWindow_);
    TileVertically(true);
    CheckOnly(CommandNumber(Command::Layer1), kLayerCommandCount, CommandNumber(Command::Layer1));
    UpdateMenuItem();
}

bool MainFrame::AskToSaveChanges()
{
    if (document_ == nullptr || !document_->IsChanged()) return true;
    const auto answer = QMessageBox::question(
        this, "KORVEX", QString("Save changes to %1?").arg(QString::fromStdString(document_->Title())),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Yes) return Save();
    return true;
}

bool MainFrame::CloseDocument(bool ask)
{
    if (document_ == nullptr) return true;
    if (ask && !AskToSaveChanges()) return false;
    SetCapacitorPreviewHandler({});
    ShowDiagramCapacitor(&document_->DiagramRecord(), nullptr, 0);
    closingDocument_ = true;
    for (QMdiSubWindow* w : {diagramWindow_, resultWindow_, editWindow_}) {
        if (w == nullptr) continue;
        mdi_->removeSubWindow(w);
        delete w;
    }
    closingDocument_ = false;
    editWindow_ = resultWindow_ = diagramWindow_ = nullptr;
    edit_ = nullptr;
    result_ = nullptr;
    diagram_ = nullptr;
    document_.reset();
    fileOpened_ = false;
    activeLayer_ = 0;
    UpdateMenuItem();
    return true;
}

}  // namespace korvex::gui
