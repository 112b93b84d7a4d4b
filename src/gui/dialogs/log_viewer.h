#pragma once
// A read-only window showing the simulator's log after a failed run.
#include <QDialog>

namespace korvex::gui {

class LogViewer : public QDialog {
public:
    LogViewer(const QString& path, QWidget* parent = nullptr);
};

}  // namespace korvex::gui
