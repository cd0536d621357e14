#include "nesting_window.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <utility>

namespace retracer::app {

DesktopNestingWindow::DesktopNestingWindow(QString platform, QString wmctrl, Launcher launch)
    : platform_(std::move(platform)), wmctrl_(std::move(wmctrl)), launch_(std::move(launch)) {}

DesktopNestingWindow DesktopNestingWindow::ForThisDesktop() {
    return DesktopNestingWindow(QGuiApplication::platformName(),
                                QStandardPaths::findExecutable(QStringLiteral("wmctrl")),
                                [](const QString& program, const QStringList& arguments) {
                                    // The tool's answer is of no interest: a window that is not
                                    // there stays not there.
                                    QProcess::startDetached(program, arguments);
                                });
}

void DesktopNestingWindow::Raise(std::string_view title) {
    // wmctrl speaks to an X server only; under Wayland or offscreen there is nobody to ask.
    if (platform_ != QLatin1String("xcb") || wmctrl_.isEmpty() || title.empty() || !launch_) {
        return;
    }
    // The title goes as one argument, never through a shell.
    launch_(wmctrl_, {QStringLiteral("-a"),
                      QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()))});
}

}  // namespace retracer::app
