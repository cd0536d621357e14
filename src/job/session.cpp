#include "job/session.h"

#include "base/file_lookup.h"
#include "settings/ini_file.h"

namespace retracer {

void Session::LoadSettings() {
    const IniFile ini(paths.settingsFile);
    settings = ReadSettings(ini);
    roots = LayerRoots::FromSettings(ini);
    tools = LoadToolTable(paths.appFolder / "Tool.Par");
    destFolder = PathFromText(settings.destDir);
    letters = std::make_shared<const LetterLibrary>(paths.appFolder / "Letters");
}

}  // namespace retracer
