#pragma once
// Building blocks of the dialogs: labelled fields whose objectName is the
// control number, numbers shown with FloatToChar and read with
// GetDlgItemDouble, and the OK ("1") and Cancel ("2") buttons.
#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <cstdint>
#include <functional>

namespace korvex::gui {

// The control with that number inside `parent`, or null.
template <class T>
T* Control(const QWidget* parent, int number)
{
    return parent->findChild<T*>(QString::number(number));
}

// Engineering-notation text of a value and its reading back.
QString NumberText(double value);
double ReadNumber(const QLineEdit* field);
uint32_t ReadUnsigned(const QLineEdit* field);
void SetUnsigned(QLineEdit* field, uint32_t value);
// A text field's content as a C string, cut to `maxChars` characters.
QByteArray ReadText(const QLineEdit* field, int maxChars);

// A grid of rows "label | field | unit" with the control number as objectName.
class FormGrid {
public:
    explicit FormGrid(QGridLayout* grid) : grid_(grid) {}
    QLineEdit* Field(int number, const QString& label, const QString& unit = {}, int column = 0);
    QCheckBox* Check(int number, const QString& label, int column = 0);
    int Row() const { return row_; }
    void NextRow() { ++row_; }
    void SetRow(int row) { row_ = row; }

private:
    QGridLayout* grid_;
    int row_ = 0;
};

// OK ("1") and Cancel ("2") below `layout`, wired to accept and reject.
void AddOkCancel(QDialog* dialog, QLayout* layout);

// The wheel-step radios " 1 %" (3013), "10 %" (3015) and "25 %" (3016) in a
// row; the one `*step` (0, 1 or 2) names is checked, and a click stores its index there.
QHBoxLayout* StepRadios(QWidget* parent, uint32_t* step);
// The Stop button of a dialog's job ("StopJob", hidden until a job runs) and
// the busy bar shown meanwhile.
QPushButton* NewStopButton(QWidget* parent, std::function<void()> stop);
QProgressBar* NewBusyBar(QWidget* parent);

}  // namespace korvex::gui
