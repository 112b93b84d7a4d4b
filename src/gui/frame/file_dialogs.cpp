#include "frame/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace korvex::gui {
namespace {

std::function<QString(const FileDialogRequest&)>& Override()
{
    static std::function<QString(const FileDialogRequest&)> answer;
    return answer;
}

QString Ask(QWidget* owner, const FileDialogRequest& request)
{
    if (Override()) return Override()(request);
    QFileDialog dialog(owner);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultExtension);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace

QString GetFileName(QWidget* owner, bool save)
{
    return Ask(owner, {"Sav Files (*.sav);;All Files (*.*)", "sav", save});
}

QString GetFileNameBMP(QWidget* owner, bool save)
{
    return Ask(owner, {"BMP Files (*.bmp);;All Files (*.*)", "bmp", save});
}

QString GetFileNameCITI(QWidget* owner)
{
    return Ask(owner, {"D1 Files (*.D1);;All Files (*.*)", "D1", false});
}

QString GetFileNamecsv(QWidget* owner, bool save)
{
    return Ask(owner, {"CSV Files (*.csv);;All Files (*.*)", "csv", save});
}

QString GetExeFile(QWidget* owner)
{
    return Ask(owner, {"Executables (*);;All Files (*.*)", "", false});
}

void SetFileDialogOverride(std::function<QString(const FileDialogRequest&)> answer)
{
    Override() = std::move(answer);
}

}  // namespace korvex::gui
