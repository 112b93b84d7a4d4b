// The View menu: the colour legend of the result window (remembered with
// QSettings), pictures of the result and diagram windows, and the diagram's
// curves as CSV.
#include <QMenu>
#include <QMenuBar>

#include "diagram/diagram_view.h"
#include "frame/main_frame.h"
#include "result/colour_legend.h"
#include "result/result_view.h"

namespace korvex::gui {

QMenu* MainFrame::BuildViewMenu()
{
    QMenu* view = menuBar()->addMenu("&View");
    QAction* legend = view->addAction("Colour Legend");
    legend->setObjectName("ColourLegend");
    legend->setCheckable(true);
    legend->setChecked(ColourLegendVisible());
    connect(legend, &QAction::toggled, this, [this](bool on) {
        SetColourLegendVisible(on);
        if (result_ != nullptr) result_->SetLegendVisible(on);
    });
    view->addSeparator();
    connect(view->addAction("Save Result Picture..."), &QAction::triggered, this, [this] {
        if (result_ != nullptr) result_->SavePictureDialog();
    });
    connect(view->addAction("Save Diagram Picture..."), &QAction::triggered, this, [this] {
        if (diagram_ != nullptr) diagram_->SavePictureDialog();
    });
    connect(view->addAction("Export Curves..."), &QAction::triggered, this, [this] {
        if (diagram_ != nullptr) diagram_->ExportCurvesDialog();
    });
    return view;
}

}  // namespace korvex::gui
