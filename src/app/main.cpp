#include <QApplication>
#include <QSettings>

#include <cstdlib>
#include <memory>

#include "about_dialog.h"
#include "main_window.h"
#include "message_prompt.h"
#include "settings/app_folder.h"
#include "settings/user_store.h"
#include "workspace.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Retracer"));
    QApplication::setOrganizationName(QStringLiteral("Retracer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/retracer.svg")));

    // Start-up order: the About box first, then the folders, then the frame and its windows.
    {
        retracer::app::AboutDialog about;
        about.exec();
    }
    // An installed program keeps its application folder per user (seeded on first start).
    const retracer::AppPaths paths =
        retracer::ResolveStartupPaths(argv[0], std::getenv("RETRACER_HOME"));
    retracer::CreateScratchFolders(paths);

    std::unique_ptr<retracer::UserSettingsStore> store;
    const std::filesystem::path userRoot = retracer::FileUserSettingsStore::DefaultRoot();
    if (userRoot.empty()) {
        store = std::make_unique<retracer::MemoryUserSettingsStore>();
    } else {
        store = std::make_unique<retracer::FileUserSettingsStore>(userRoot);
    }
    retracer::app::MessagePrompt prompt;
    retracer::app::Workspace workspace(paths, prompt, *store);

    QSettings windowSettings;
    retracer::app::FrameServices services;
    services.windowSettings = &windowSettings;
    retracer::app::MainWindow window(workspace, services);
    prompt.SetParent(&window);  // message boxes are centred on the frame
    window.show();
    return QApplication::exec();
}
