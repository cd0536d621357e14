#pragma once

#include <QMainWindow>

namespace retracer::app {

// The main frame. Its child windows (Process Selection, Control Panel, viewer) are views on
// the core models and arrive one by one; for now it is the empty frame with its caption.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace retracer::app
