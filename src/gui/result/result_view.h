#pragma once
// The result window in its plain form: the chosen result raster of the active
// layer in false colour (the colour scale of the bitmaps), placed like the
// edit window's copper, and the value under the mouse.
#include <QImage>
#include <QWidget>

#include "edit/board_document.h"
#include "edit/view_transform.h"

namespace korvex::gui {

enum ResultShow : int { kShowVoltage = 0, kShowCurrentDensity = 1, kShowTemperature = 2, kShowZin = 3 };

class ResultView : public QWidget {
    Q_OBJECT
public:
    explicit ResultView(BoardDocument* document, QWidget* parent = nullptr);

    void SetShow(int show);
    void SetActiveLayer(int layer);
    // Rebuilds the colour map from the raster (after a job or a layer change).
    void Rebuild();
    void AdoptView(const ViewRect& view);
    // The read-out at this raster point.
    void ShowValueAt(QPoint element);
    const QImage& ColourMap() const { return map_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    float*** Raster() const;

    BoardDocument* document_;
    int show_ = kShowVoltage;
    int layer_ = 0;
    BoardView view_;
    QImage map_;
    double minimum_ = 0, maximum_ = 0;
    QString readOut_;
};

}  // namespace korvex::gui
