#include "dialogs/screenshot_import.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "util/debug_log.h"

namespace korvex::gui {

ScreenshotParam& ScreenshotSettings()
{
    static ScreenshotParam param;
    return param;
}

int ImportScreenshotCopper(const QImage& capture, const ScreenshotParam& p, SimMatrix* board, int layer)
{
    if (board == nullptr || board->CopperMatrix == nullptr || layer < 0 || layer >= board->LayerCount ||
        capture.isNull())
        return -1;
    const int cx = int(board->CountPixelX), cy = int(board->CountPixelY);
    const double w = p.right - p.left, h = p.bottom - p.top;
    const QImage image = capture.convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x < cx; ++x)
        for (int y = 0; y < cy; ++y) {
            const int sx = p.left + int(std::floor((x + 0.5) * w / cx));
            const int sy = p.top + int(std::floor((y + 0.5) * h / cy));
            QRgb pixel = 0;
            if (sx >= 0 && sy >= 0 && sx < image.width() && sy < image.height()) pixel = image.pixel(sx, sy) & 0xFFFFFF;
            const bool copper = p.colour == 0 ? pixel != 0 : pixel == (p.colour & 0xFFFFFF);
            board->CopperMatrix[x][y][layer] = copper ? 1.0f : 0.0f;
        }
    return 0;
}

QImage CaptureScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

ScreenshotView::ScreenshotView(const QImage& capture, ScreenshotParam* param, QWidget* parent)
    : QWidget(parent, Qt::Window), capture_(capture), param_(param)
{
    setWindowTitle("Screenshot");
    setAttribute(Qt::WA_OpaquePaintEvent);
    centre_ = QPoint(capture_.width() / 2, capture_.height() / 2);
    resize(640, 480);
}

void ScreenshotView::ComputeEven()
{
    cxEven_ = zoom_ * 2 * (width() / 2 / zoom_ + 2);
    cyEven_ = zoom_ * 2 * (height() / 2 / zoom_ + 2);
}

void ScreenshotView::ClampCentre()
{
    const int cx = width(), cy = height();
    if (centre_.x() * zoom_ < cx / 2) centre_.setX(cx / 2 / zoom_);
    if (centre_.y() * zoom_ < cy / 2) centre_.setY(cy / 2 / zoom_);
    if ((capture_.width() - centre_.x()) * zoom_ < cx / 2) centre_.setX(capture_.width() - cx / 2 / zoom_);
    if ((capture_.height() - centre_.y()) * zoom_ < cy / 2) centre_.setY(capture_.height() - cy / 2 / zoom_);
}

QPoint ScreenshotView::CapturePixel(QPoint p) const
{
    return QPoint(centre_.x() + (p.x() - cxEven_ / 2) / zoom_, centre_.y() + (p.y() - cyEven_ / 2) / zoom_);
}

void ScreenshotView::resizeEvent(QResizeEvent*)
{
    ComputeEven();
}

void ScreenshotView::paintEvent(QPaintEvent*)
{
    ClampCentre();
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QRect source(centre_.x() - cxEven_ / 2 / zoom_, centre_.y() - cyEven_ / 2 / zoom_, cxEven_ / zoom_,
                       cyEven_ / zoom_);
    p.drawImage(QRect(0, 0, cxEven_, cyEven_), capture_, source);
    const int ox = cxEven_ / 2 - zoom_ * centre_.x(), oy = cyEven_ / 2 - zoom_ * centre_.y();
    const QRect area(QPoint(ox + zoom_ * param_->left - zoom_ / 2, oy + zoom_ * param_->top - zoom_ / 2),
                     QPoint(ox + zoom_ * param_->right + zoom_ / 2, oy + zoom_ * param_->bottom + zoom_ / 2));
    p.setPen(QPen(QColor(255, 200, 200), zoom_));
    p.setBrush(QBrush(QColor(150, 100, 100), Qt::BDiagPattern));
    p.drawRect(area.normalized());
}

void ScreenshotView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    pressed_ = event->position().toPoint();
    const QPoint c = CapturePixel(pressed_);
    if (option_ == kSelectArea) {
        param_->left = c.x(), param_->top = c.y();
    } else if (option_ == kSelectColour) {
        if (capture_.rect().contains(c)) {
            param_->colour = capture_.pixel(c) & 0xFFFFFF;
            emit ColourPicked(param_->colour);
        }
    } else {
        centreAtPress_ = centre_;
    }
    update();
}

void ScreenshotView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint p = event->position().toPoint();
    if (option_ == kPan) centre_ = centreAtPress_ + (pressed_ - p) / zoom_;
    else if (option_ == kSelectArea) {
        const QPoint c = CapturePixel(p);
        param_->right = c.x(), param_->bottom = c.y();
    }
    update();
}

void ScreenshotView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) option_ = kPan;
}

void ScreenshotView::wheelEvent(QWheelEvent* event)
{
    const int zoom = zoom_ + (event->angleDelta().y() > 0 ? 1 : -1);
    if (zoom > 10) {
        zoom_ = 10;
        return;
    }
    if (zoom <= 0) {
        zoom_ = 1;
        return;
    }
    zoom_ = zoom;
    ComputeEven();
    centre_ = CapturePixel(event->position().toPoint());
    update();
}

ScreenshotDialog::ScreenshotDialog(const QImage& capture, SimMatrix* board, int layer, QWidget* parent)
    : QDialog(parent), capture_(capture), board_(board), layer_(layer)
{
    setWindowTitle("Set Layer Stack");
    view_ = new ScreenshotView(capture_, &ScreenshotSettings(), this);
    auto* select = new QPushButton("Select", this);
    select->setObjectName("3000");
    auto* selectColour = new QPushButton("Select Color", this);
    selectColour->setObjectName("3001");
    auto* resetColour = new QPushButton("Reset Color", this);
    resetColour->setObjectName("3002");
    swatch_ = new QLabel(this);
    swatch_->setObjectName("3003");
    swatch_->setFixedSize(40, 20);
    swatch_->setAutoFillBackground(true);
    connect(select, &QPushButton::clicked, this, [this] {
        printDebug("Select Area\r\n");
        view_->SetOption(ScreenshotView::kSelectArea);
    });
    connect(selectColour, &QPushButton::clicked, this, [this] {
        printDebug("Select Color\r\n");
        view_->SetOption(ScreenshotView::kSelectColour);
    });
    connect(resetColour, &QPushButton::clicked, this, [this] {
        printDebug("Reset Color\r\n");
        ScreenshotSettings().colour = 0;
        ShowSwatch();
    });
    connect(view_, &ScreenshotView::ColourPicked, this, &ScreenshotDialog::ShowSwatch);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("Import", QDialogButtonBox::AcceptRole)->setObjectName("1");
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName("2");
    connect(buttons, &QDialogButtonBox::accepted, this, &ScreenshotDialog::Import);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(select), static_cast<QWidget*>(selectColour),
                       static_cast<QWidget*>(resetColour), static_cast<QWidget*>(swatch_)})
        row->addWidget(w);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    ShowSwatch();
    view_->show();
}

ScreenshotDialog::~ScreenshotDialog()
{
    delete view_;
}

void ScreenshotDialog::ShowSwatch()
{
    QPalette palette = swatch_->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(ScreenshotSettings().colour));
    swatch_->setPalette(palette);
}

void ScreenshotDialog::Import()
{
    ImportScreenshotCopper(capture_, ScreenshotSettings(), board_, layer_);
    accept();
}

}  // namespace korvex::gui
