#pragma once
// The diagram window in its plain form: the magnitude of every valid curve
// over frequency, axes as the record says (logarithmic frequency, linear, log
// or dB magnitude), and the range of each axis.
#include <QWidget>

#include "diagram/diagram.h"

namespace korvex::gui {

class DiagramView : public QWidget, public DiagramWindow {
    Q_OBJECT
public:
    explicit DiagramView(Diagram* diagram, QWidget* parent = nullptr);
    ~DiagramView() override;

    // Called by the core from any thread: schedules a repaint, never waits.
    void DiagramChanged(Diagram& diagram) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Diagram* diagram_;
};

}  // namespace korvex::gui
