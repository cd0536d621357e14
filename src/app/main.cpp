#include <QApplication>

#include <cstdlib>

#include "main_window.h"
#include "settings/app_folder.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Retracer"));
    const retracer::AppPaths paths = retracer::ResolveAppPaths(retracer::ExecutableFolder(argv[0]),
                                                               std::getenv("RETRACER_HOME"));
    retracer::CreateScratchFolders(paths);
    retracer::app::MainWindow window;
    window.show();
    return QApplication::exec();
}
