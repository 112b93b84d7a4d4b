// korvex [PROJECT.sav]: the desktop. With a project path the program's folder
// becomes the current directory (its Settings.set and CapStd.csv are used) and
// the project is opened at start.
#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "board/settings.h"
#include "board/settings_file.h"
#include "frame/main_frame.h"
#include "util/debug_log.h"

using namespace korvex;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("KORVEX");
    QApplication::setOrganizationName("KORVEX");  // where QSettings keeps the view choices
    gSettings = DefaultSettings();

    QString startPath;
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        // Relative to the folder the user started from, before that changes.
        QString path = arguments.mid(1).join(' ');
        if (path.contains('"')) path = path.mid(1, path.lastIndexOf('"') - 1);
        startPath = QFileInfo(path).absoluteFilePath();
        QDir::setCurrent(QApplication::applicationDirPath());
    }

    korvex::gui::MainFrame frame;
    frame.show();
    frame.Initialise();
    if (!startPath.isEmpty()) {
        printDebug("Open File %s\r\n", startPath.toUtf8().constData());
        frame.OpenProject(startPath);
    }
    return QApplication::exec();
}
