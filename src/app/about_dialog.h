#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

namespace retracer::app {

// How the About box finds and starts the system information tool; tests replace both.
struct SystemInfoLauncher {
    // The full path of an installed program, or an empty text.
    std::function<QString(const QString& program)> find;
    // Starts the program in a window of its own; false when it could not be started.
    std::function<bool(const QString& path, const QStringList& arguments)> start;

    static SystemInfoLauncher Desktop();
};

// The desktop's system information tools, the first installed one is started.
struct SystemInfoTool {
    QString program;
    QStringList arguments;
};
const QList<SystemInfoTool>& SystemInfoTools();

// The About box: title, description, version, and the system information button.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr,
                         SystemInfoLauncher launcher = SystemInfoLauncher::Desktop());

    // The System Info button: starts the first tool found, else says it is unavailable (through
    // `tell`, which tests replace). True when a tool was started.
    bool StartSysInfo();
    void SetTell(std::function<void(const QString& text)> tell) { tell_ = std::move(tell); }

    static QString VersionText();

  private:
    SystemInfoLauncher launcher_;
    std::function<void(const QString&)> tell_;
};

}  // namespace retracer::app
