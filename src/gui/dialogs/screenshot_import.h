#pragma once
// Screenshot import: the whole screen is captured with QScreen::grabWindow(0),
// shown in a zoomable "Screenshot" window where the user marks the board area
// (and may pick the copper colour), and "Import" resamples the marked area to
// the board raster and overwrites the copper of the active layer.
#include <QDialog>
#include <QImage>
#include <QRect>
#include <QWidget>

#include "board/sim_matrix.h"

class QLabel;

namespace korvex::gui {

// The marked area in capture pixels and the picked colour (0: none), kept
// between imports of one program run.
struct ScreenshotParam {
    int left = 10, top = 10, right = 110, bottom = 110;
    QRgb colour = 0;
};
ScreenshotParam& ScreenshotSettings();

// Copper of `layer` from the area of the capture: each element takes the
// pixel at its resampled position (an area marked backwards mirrors); with no
// colour picked every non-black pixel is copper, else only that exact colour.
// -1 for a board without copper raster or a layer it does not have.
int ImportScreenshotCopper(const QImage& capture, const ScreenshotParam& param, SimMatrix* board, int layer);

// The capture window: pans with the left button, zooms 1 ... 10 with the
// wheel, and in its select modes marks the area or picks the colour.
class ScreenshotView : public QWidget {
    Q_OBJECT
public:
    enum Option { kPan = 0, kSelectArea = 1, kSelectColour = 2 };
    ScreenshotView(const QImage& capture, ScreenshotParam* param, QWidget* parent = nullptr);
    void SetOption(Option option) { option_ = option; }
    Option CurrentOption() const { return option_; }
    int Zoom() const { return zoom_; }
    QPoint Centre() const { return centre_; }
    // The capture pixel under a window position.
    QPoint CapturePixel(QPoint window) const;

signals:
    void ColourPicked(QRgb colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void ComputeEven();
    void ClampCentre();

    QImage capture_;
    ScreenshotParam* param_;
    QPoint centre_;
    int zoom_ = 1;
    int cxEven_ = 0, cyEven_ = 0;
    Option option_ = kPan;
    QPoint pressed_, centreAtPress_;
};

// The dialog with "Select" (3000), "Select Color" (3001), "Reset Color"
// (3002), the colour swatch (3003), "Import" and "Cancel".
class ScreenshotDialog : public QDialog {
    Q_OBJECT
public:
    ScreenshotDialog(const QImage& capture, SimMatrix* board, int layer, QWidget* parent = nullptr);
    ~ScreenshotDialog() override;
    ScreenshotView* View() const { return view_; }

private:
    void ShowSwatch();
    void Import();

    QImage capture_;
    SimMatrix* board_;
    int layer_;
    ScreenshotView* view_;
    QLabel* swatch_;
};

// Captures the whole screen (the desktop's root window) as an image.
QImage CaptureScreen();

}  // namespace korvex::gui
