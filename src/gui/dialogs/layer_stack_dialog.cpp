#include "dialogs/layer_stack_dialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "widgets/dialog_form.h"

namespace korvex::gui {
namespace {

constexpr int kFirstSizeZ = 3005, kFirstEr = 3013, kFirstDf = 3021, kFirstCopper = 3029;
// Pixel counts beyond this are refused (a raster row of the bitmap limit).
constexpr uint32_t kMaxPixelCount = 100000;

QString Fixed(double value, const char* format = "%f")
{
    return QString::asprintf(format, value);
}

}  // namespace

LayerStackDialog::LayerStackDialog(SimMatrix* board, bool countsFixed, QWidget* parent)
    : QDialog(parent), board_(board), countsFixed_(countsFixed)
{
    setWindowTitle("Set Layerstack");
    setProperty("resource", "SETLAYERSTACK");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    FormGrid f(grid);
    SetUnsigned(f.Field(3000, "CountPixelX"), board->CountPixelX);
    SetUnsigned(f.Field(3001, "CountPixelY"), board->CountPixelY);
    QLineEdit* layers = f.Field(3002, "LayerCount");
    SetUnsigned(layers, board->LayerCount);
    f.Field(3003, "SizeX", "m")->setText(Fixed(board->SizeX));
    f.Field(3004, "SizeY", "m")->setText(Fixed(board->SizeY));
    for (int number : {3000, 3001, 3002})
        if (countsFixed) Field(number)->setReadOnly(true);

    auto* stack = new QGridLayout;
    layout->addLayout(stack);
    for (int l = 0; l < kMaxLayers; ++l) {
        FormGrid row(stack);
        row.SetRow(l);
        row.Field(kFirstCopper + l, QString("Copper Thickness Layer%1").arg(l + 1), "m", 0)
            ->setText(NumberText(board->CopperThickness[l]));
        QLineEdit* sizeZ = row.Field(kFirstSizeZ + l, QString("SizeZ Layer%1").arg(l + 1), "m", 1);
        QLineEdit* er = row.Field(kFirstEr + l, "Er", "-", 2);
        QLineEdit* df = row.Field(kFirstDf + l, "Df", "-", 3);
        if (l < kMaxLayers - 1) {
            sizeZ->setText(NumberText(board->SizeZ[l]));
            er->setText(Fixed(board->Er[l], "%1.1f"));
            df->setText(Fixed(board->Df[l], "%1.4f"));
        }
    }

    auto* materials = new QGridLayout;
    layout->addLayout(materials);
    FormGrid m(materials);
    m.Field(3037, "Electrical Conductivity", "V/(Am)")->setText(Fixed(board->ElectricalConductivity));
    m.Field(3038, "Temperature Coefficient", "1/K")->setText(Fixed(board->TemperatureCoefficient));
    m.Field(3039, "ThermalConductivityCopper", "W/(mK)")->setText(Fixed(board->ThermalConductivityCopper));
    m.Field(3040, "ThermalConductivityFR4 X/Y", "W/(mK)")->setText(Fixed(board->ThermalConductivityFR4XY));
    m.Field(3041, "ThermalConductivityFR4 Z", "W/(mK)")->setText(Fixed(board->ThermalConductivityFR4Z));
    m.Field(3042, "Alpha", "-")->setText(Fixed(board->Alpha));
    m.Field(3043, "Epsilon", "-")->setText(Fixed(board->Epsilon));
    m.Field(3044, "T Ambient", "° C")->setText(Fixed(board->TAmbient));
    AddOkCancel(this, layout);

    EnableLayerRows(board->LayerCount);
    connect(layers, &QLineEdit::editingFinished, this, [this, layers] { EnableLayerRows(ReadUnsigned(layers)); });
}

QLineEdit* LayerStackDialog::Field(int number) const
{
    return Control<QLineEdit>(this, number);
}

void LayerStackDialog::EnableLayerRows(int layerCount)
{
    for (int l = 0; l < kMaxLayers; ++l) {
        Field(kFirstCopper + l)->setEnabled(l < layerCount);
        for (int first : {kFirstSizeZ, kFirstEr, kFirstDf}) Field(first + l)->setEnabled(l < layerCount - 1);
    }
}

void LayerStackDialog::accept()
{
    const uint32_t cx = ReadUnsigned(Field(3000)), cy = ReadUnsigned(Field(3001));
    const uint32_t layers = ReadUnsigned(Field(3002));
    if (!countsFixed_) {
        if (layers < 1 || layers > kMaxLayers) {
            QMessageBox::warning(this, "Set Layerstack", "LayerCount must be 1 to 8");
            return;
        }
        if (cx < 1 || cy < 1 || cx > kMaxPixelCount || cy > kMaxPixelCount) {
            QMessageBox::warning(this, "Set Layerstack", "CountPixelX and CountPixelY must be 1 to 100000");
            return;
        }
        board_->CountPixelX = cx;
        board_->CountPixelY = cy;
        SetLayerCount(board_, static_cast<int32_t>(layers));
    }
    board_->SizeX = ReadNumber(Field(3003));
    board_->SizeY = ReadNumber(Field(3004));
    for (int l = 0; l < board_->LayerCount; ++l) {
        board_->CopperThickness[l] = ReadNumber(Field(kFirstCopper + l));
        board_->SizeZ[l] = ReadNumber(Field(kFirstSizeZ + l));
        board_->Er[l] = ReadNumber(Field(kFirstEr + l));
        board_->Df[l] = ReadNumber(Field(kFirstDf + l));
    }
    board_->ElectricalConductivity = ReadNumber(Field(3037));
    board_->TemperatureCoefficient = ReadNumber(Field(3038));
    board_->ThermalConductivityCopper = ReadNumber(Field(3039));
    board_->ThermalConductivityFR4XY = ReadNumber(Field(3040));
    board_->ThermalConductivityFR4Z = ReadNumber(Field(3041));
    board_->Alpha = ReadNumber(Field(3042));
    board_->Epsilon = ReadNumber(Field(3043));
    board_->TAmbient = ReadNumber(Field(3044));
    QDialog::accept();
}

}  // namespace korvex::gui
