#include "cli/command_session.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "base/file_lookup.h"
#include "base/value_text.h"
#include "settings/app_folder.h"

namespace retracer::cli {

bool OpenCommandSession(const CommandSetup& setup, const char* argv0, Prompt& prompt,
                        CommandSession& out) {
    const AppPaths paths = setup.appFolder.empty()
                               ? ResolveStartupPaths(argv0, std::getenv("RETRACER_HOME"))
                               : ResolveAppPaths(std::filesystem::path(setup.appFolder), nullptr);
    CreateScratchFolders(paths);

    const std::filesystem::path userRoot = FileUserSettingsStore::DefaultRoot();
    if (userRoot.empty()) {
        out.store = std::make_unique<MemoryUserSettingsStore>();
    } else {
        out.store = std::make_unique<FileUserSettingsStore>(userRoot);
    }
    out.session = std::make_unique<Session>(paths, prompt, *out.store);
    Session& session = *out.session;
    session.LoadSettings();
    for (const std::string& o : setup.overrides) {
        if (!ApplySettingOverride(o, session.settings)) {
            std::cerr << "retracer-cli: unknown setting in '" << o << "'\n";
            return false;
        }
    }
    session.destFolder = PathFromText(setup.dest.empty() ? session.settings.destDir : setup.dest);
    if (session.destFolder.empty()) session.destFolder = std::filesystem::current_path();
    return true;
}

bool ApplySettingOverride(const std::string& assignment, Settings& settings) {
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = assignment.substr(0, eq);
    const std::string value = assignment.substr(eq + 1);
    auto same = [&key](std::string_view name) {
        return key.size() == name.size() &&
               std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    for (const OptionKey& option : kOptionKeys) {
        if (same(option.key)) {
            settings.options.*option.field = NumericValue(value) == 1;
            return true;
        }
    }
    if (same("SourceDir")) {
        settings.sourceDir = value;
    } else if (same("DestDir")) {
        settings.destDir = value;
    } else if (same("SubPath")) {
        settings.subprogramFolder = value;
        if (value.empty() || (value.back() != '/' && value.back() != '\\')) {
            settings.subprogramFolder += std::filesystem::path::preferred_separator;
        }
    } else if (same("AllVariables")) {
        settings.allVariables = static_cast<std::int16_t>(NumericValue(value));
    } else {
        return false;
    }
    return true;
}

}  // namespace retracer::cli
