#pragma once
// "Save Picture..." of the result and diagram windows: asks for a PNG path and
// a size (the window's by default), checks the size and writes the picture.
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

namespace korvex::gui {

// `picture` renders at a size; sizes below `minimum` are refused with
// `sizeRule` as the message.
void SavePictureDialog(QWidget* window, QSize minimum, const QString& sizeRule,
                       const std::function<QImage(QSize)>& picture);

}  // namespace korvex::gui
