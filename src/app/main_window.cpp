#include "main_window.h"

#include <QMdiArea>

namespace retracer::app {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Retracer-  Program Code to DXF"));
    setObjectName(QStringLiteral("mdiMain"));
    auto* area = new QMdiArea(this);
    area->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(area);
    resize(1024, 720);
}

}  // namespace retracer::app
