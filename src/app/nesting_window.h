#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "job/worklist_run.h"

namespace retracer::app {

// Brings the nesting application's window to the front once a run has written Batch.lst. Only
// an X11 desktop with wmctrl installed can do it (`wmctrl -a TITLE`); anywhere else it does
// nothing, as does a failed start of the tool.
class DesktopNestingWindow : public NestingWindow {
  public:
    // Starts a program with its arguments without waiting for it.
    using Launcher = std::function<void(const QString& program, const QStringList& arguments)>;

    // `platform` is Qt's platform name ("xcb" on X11); `wmctrl` the tool's full path, empty
    // when it is not installed.
    DesktopNestingWindow(QString platform, QString wmctrl, Launcher launch);

    // This desktop: the running application's platform, wmctrl looked up on PATH, started
    // through QProcess.
    static DesktopNestingWindow ForThisDesktop();

    void Raise(std::string_view title) override;

  private:
    QString platform_;
    QString wmctrl_;
    Launcher launch_;
};

}  // namespace retracer::app
