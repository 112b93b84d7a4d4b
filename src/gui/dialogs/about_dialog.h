#pragma once
#include <QDialog>

namespace korvex::gui {

// "AboutBox": the application icon, the name and the version.
class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace korvex::gui
