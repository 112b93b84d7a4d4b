#include "widgets/save_picture.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace korvex::gui {

void SavePictureDialog(QWidget* window, QSize minimum, const QString& sizeRule,
                       const std::function<QImage(QSize)>& picture)
{
    const QString path = QFileDialog::getSaveFileName(window, "Save Picture", QString(), "PNG (*.png)");
    if (path.isEmpty()) return;
    bool ok = false;
    const QString text =
        QInputDialog::getText(window, "Save Picture", "Size in pixels (width x height):", QLineEdit::Normal,
                              QString("%1 x %2").arg(window->width()).arg(window->height()), &ok);
    if (!ok) return;
    const QStringList parts = text.split('x');
    const int w = parts.size() == 2 ? parts[0].trimmed().toInt() : 0;
    const int h = parts.size() == 2 ? parts[1].trimmed().toInt() : 0;
    if (w < minimum.width() || h < minimum.height() || w > 20000 || h > 20000) {
        QMessageBox::warning(window, "Save Picture", sizeRule);
        return;
    }
    if (!picture(QSize(w, h)).save(path, "PNG")) QMessageBox::warning(window, "Save Picture", "Could not write " + path);
}

}  // namespace korvex::gui
