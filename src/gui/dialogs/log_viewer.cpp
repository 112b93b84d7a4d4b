#include "dialogs/log_viewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace korvex::gui {

LogViewer::LogViewer(const QString& path, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(path);
    setObjectName("LogViewer");
    resize(700, 450);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QPlainTextEdit;
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QFile file(path);
    // The log can be large; the last megabyte holds the reason.
    if (file.open(QIODevice::ReadOnly)) {
        const qint64 size = file.size();
        if (size > (1 << 20)) file.seek(size - (1 << 20));
        text->setPlainText(QString::fromUtf8(file.readAll()));
    } else {
        text->setPlainText("The log " + path + " cannot be read.");
    }
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
}

}  // namespace korvex::gui
