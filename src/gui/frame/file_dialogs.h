#pragma once
// The file dialogs of the desktop with their filters and default extensions.
// Each returns the chosen path, or an empty string when the user cancelled.
#include <QString>
#include <functional>

class QWidget;

namespace korvex::gui {

struct FileDialogRequest {
    QString filter;            // e.g. "Sav Files (*.sav);;All Files (*.*)"
    QString defaultExtension;  // appended when the user types none
    bool save = false;         // save: asks before overwriting
};

QString GetFileName(QWidget* owner, bool save);     // "sav"
QString GetFileNameBMP(QWidget* owner, bool save);  // "bmp"
QString GetFileNameCITI(QWidget* owner);            // "D1"
QString GetFileNamecsv(QWidget* owner, bool save);  // "csv"
QString GetExeFile(QWidget* owner);                 // the simulator executable

// Replaces the dialogs by a function (tests, scripted runs); empty restores them.
void SetFileDialogOverride(std::function<QString(const FileDialogRequest&)> answer);

}  // namespace korvex::gui
