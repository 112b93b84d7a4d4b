#include "widgets/dialog_form.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QLabel>
#include <QPushButton>

#include "util/number_text.h"

namespace korvex::gui {

QString NumberText(double value)
{
    return QString::fromStdString(FloatToChar(static_cast<float>(value)));
}

double ReadNumber(const QLineEdit* field)
{
    return GetDlgItemDouble(field->text().toUtf8().constData());
}

uint32_t ReadUnsigned(const QLineEdit* field)
{
    // Leading digits as the number (as a dialog reads integers); anything else 0.
    const QString text = field->text().trimmed();
    qsizetype n = 0;
    while (n < text.size() && text[n].isDigit()) ++n;
    bool ok = false;
    const qulonglong value = text.left(n).toULongLong(&ok);
    return ok && value <= 0xFFFFFFFFull ? static_cast<uint32_t>(value) : 0;
}

void SetUnsigned(QLineEdit* field, uint32_t value)
{
    field->setText(QString::number(value));
}

QByteArray ReadText(const QLineEdit* field, int maxChars)
{
    return field->text().left(maxChars).toUtf8();
}

QLineEdit* FormGrid::Field(int number, const QString& label, const QString& unit, int column)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::number(number));
    auto* text = new QLabel(label);
    text->setBuddy(edit);
    grid_->addWidget(text, row_, column * 3);
    grid_->addWidget(edit, row_, column * 3 + 1);
    if (!unit.isEmpty()) grid_->addWidget(new QLabel(unit), row_, column * 3 + 2);
    if (column == 0) ++row_;
    return edit;
}

QCheckBox* FormGrid::Check(int number, const QString& label, int column)
{
    auto* box = new QCheckBox(label);
    box->setObjectName(QString::number(number));
    grid_->addWidget(box, row_, column * 3, 1, 3);
    if (column == 0) ++row_;
    return box;
}

void AddOkCancel(QDialog* dialog, QLayout* layout)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
}

QHBoxLayout* StepRadios(QWidget* parent, uint32_t* step)
{
    auto* group = new QButtonGroup(parent);
    auto* row = new QHBoxLayout;
    const struct {
        int number;
        const char* text;
    } radios[] = {{3013, " 1 %"}, {3015, "10 %"}, {3016, "25 %"}};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(radios[i].text, parent);
        radio->setObjectName(QString::number(radios[i].number));
        radio->setChecked(uint32_t(i) == *step);
        group->addButton(radio, i);
        row->addWidget(radio);
    }
    QObject::connect(group, &QButtonGroup::idClicked, parent, [step](int id) { *step = uint32_t(id); });
    return row;
}

QPushButton* NewStopButton(QWidget* parent, std::function<void()> stop)
{
    auto* button = new QPushButton("Stop", parent);
    button->setObjectName("StopJob");
    button->setVisible(false);
    QObject::connect(button, &QPushButton::clicked, parent, std::move(stop));
    return button;
}

QProgressBar* NewBusyBar(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setVisible(false);
    return bar;
}

}  // namespace korvex::gui
