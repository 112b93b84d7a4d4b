#pragma once
// The "Settings" sheet: pages "Settings", "AC" and "View" with OK, Cancel
// and Apply. Apply stores every page into the settings record and writes the
// whole record to "Settings.set"; a simulator path that is not an existing
// file is refused, and the sheet stays open.
#include <QDialog>

#include "board/settings.h"

class QPushButton;
class QTabWidget;
namespace korvex {
struct Diagram;
}

namespace korvex::gui {

class GeneralSettingsPage;
class AcSettingsPage;
class ViewSettingsPage;

class SettingsSheet : public QDialog {
    Q_OBJECT
public:
    // `diagram` may be null (no board open).
    SettingsSheet(Settings* settings, Diagram* diagram, QWidget* parent = nullptr);

    // Applies all pages; false when the simulator path was refused.
    bool Apply();
    void accept() override;
    QTabWidget* Pages() const { return tabs_; }

signals:
    // After an apply: the console's visibility, the simulator, the diagram and result views.
    void Applied();

private:
    Settings* settings_;
    Diagram* diagram_;
    QTabWidget* tabs_;
    GeneralSettingsPage* general_;
    AcSettingsPage* ac_;
    ViewSettingsPage* view_;
    QPushButton* apply_;
};

}  // namespace korvex::gui
