#pragma once
// The toolbar and application icons, drawn by code: a small pictogram per
// command, layer buttons with their layer number.
#include <QIcon>

#include "frame/command.h"

namespace korvex::gui {

QIcon ApplicationIcon();
// The icon of a toolbar command; layer buttons show "1" ... "8".
QIcon CommandIcon(Command command);

}  // namespace korvex::gui
