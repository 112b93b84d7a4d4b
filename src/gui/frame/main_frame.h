#pragma once
// The frame: menus, the top toolbar, the layer / result-view toolbar on the
// right, the tool toolbar on the left, the status bar with the job's progress
// and Cancel, the debug console, and the document area with the edit, result
// and diagram windows of the one open board. Every command goes through
// Execute by its number.
#include <QMainWindow>
#include <map>
#include <memory>

#include "edit/board_document.h"
#include "frame/command.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;
class QAction;

namespace korvex::gui {

class DebugConsole;
class DiagramView;
class EditView;
class JobSignals;
class ResultView;

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    MainFrame();
    ~MainFrame() override;

    // The start-up steps after the frame exists: the capacitor catalogue,
    // the settings file and the simulator check (opening the sheet on failure).
    void Initialise();

    // Runs a command by its number; false when it is unknown or disabled.
    bool Execute(int command);
    bool Execute(Command command) { return Execute(CommandNumber(command)); }
    // Opens a project without the file dialog (command line, tests).
    bool OpenProject(const QString& path);

    QAction* Action(Command command) const;
    QMenu* Menu(const QString& title) const;
    bool IsFileOpened() const { return fileOpened_; }
    BoardDocument* Document() const { return document_.get(); }
    EditView* Edit() const { return edit_; }
    ResultView* Result() const { return result_; }
    DiagramView* DiagramWindow() const { return diagram_; }
    JobSignals* Jobs() const { return jobs_; }
    DebugConsole* Console() const { return console_; }
    QLabel* StatusPart(int part) const;
    QProgressBar* JobProgress() const { return progress_; }
    QPushButton* JobCancel() const { return cancel_; }
    int ActiveLayer() const { return activeLayer_; }
    // "Really quit?" and unsaved-changes questions are skipped (tests, scripted runs).
    void SetConfirmations(bool ask) { askConfirmations_ = ask; }

    // Enables menus, buttons and tools by whether a board is open and a job runs.
    void UpdateMenuItem();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // frame_layout.cpp
    void BuildMenus();
    // View menu of the result and diagram windows (frame_view_menu.cpp).
    QMenu* BuildViewMenu();
    // Dialogs of the power-distribution tools (frame_tool_dialogs.cpp).
    void CreateSpiceCircuit();
    void OptimizeCaps();
    void SimulateVoltageNoiseTime();
    void SimulateCapsOnPosition();
    void ImportScreenshot();
    void BuildToolbars();
    void BuildStatusBar();
    QAction* NewAction(Command command, const QString& text, const QString& tip = {});
    void CheckOnly(int first, int count, int checked);
    void ApplyConsoleVisibility();

    // frame_commands.cpp
    void NewBoard();
    void OpenWithDialog();
    bool Save();
    bool SaveAs();
    void ImportCiti();
    void ShowSettings();
    void SetLayerstack();
    void ImportBitmap();
    void CreateBitmaps();
    void ChooseLayer(int layer);
    void ChooseResultView(int view);
    void ChooseTool(int tool);
    void TileVertically(bool vertical);

    // frame_documents.cpp
    void ShowDocument(std::unique_ptr<BoardDocument> document);
    bool CloseDocument(bool ask);
    bool AskToSaveChanges();

    // frame_jobs.cpp
    void CreateMesh();
    void DrawMesh();
    void SimulateElectrical(bool thermal);
    void SimulateAc(int mode);
    void JobStarted(const QString& name);
    void JobFinished(const QString& name, const JobOutcome& outcome, bool cancelled);
    void ShowLog(const JobOutcome& outcome);

    std::map<int, QAction*> actions_;
    std::map<QString, QMenu*> menus_;
    QMdiArea* mdi_ = nullptr;
    DebugConsole* console_ = nullptr;
    QToolBar* top_ = nullptr;
    QToolBar* left_ = nullptr;
    QToolBar* right_ = nullptr;
    QLabel* status_[3] = {};
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    JobSignals* jobs_ = nullptr;

    std::unique_ptr<BoardDocument> document_;
    EditView* edit_ = nullptr;
    ResultView* result_ = nullptr;
    DiagramView* diagram_ = nullptr;
    QMdiSubWindow* editWindow_ = nullptr;
    QMdiSubWindow* resultWindow_ = nullptr;
    QMdiSubWindow* diagramWindow_ = nullptr;

    Cap previewCap_;    // the capacitor dialog's values shown in the diagram
    Part previewPart_;

    bool fileOpened_ = false;
    int activeLayer_ = 0;
    int resultShow_ = 0;
    int editMode_ = 0;
    bool askConfirmations_ = true;
    bool closingDocument_ = false;
};

}  // namespace korvex::gui
