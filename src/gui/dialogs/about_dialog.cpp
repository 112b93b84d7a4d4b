#include "dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/icon_painter.h"

namespace korvex::gui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About");
    setProperty("resource", "AboutBox");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    layout->addLayout(row);
    auto* icon = new QLabel;
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    row->addWidget(icon);
    row->addWidget(new QLabel("Korvex"));
    row->addWidget(new QLabel(" V0.70 "));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace korvex::gui
