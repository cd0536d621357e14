#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/prompt.h"
#include "job/session.h"
#include "settings/options.h"
#include "settings/user_store.h"

namespace retracer::cli {

// What every translating command works on: the application folder (given, else RETRACER_HOME,
// else the executable's folder) with its settings and this run's --set overrides, the user's
// store, and the destination folder (given, else DestDir, else the working folder).
struct CommandSession {
    std::unique_ptr<UserSettingsStore> store;
    std::unique_ptr<Session> session;
};

struct CommandSetup {
    std::string appFolder;
    std::string dest;
    std::vector<std::string> overrides;  // Key=Value for the Config section, this run only
};

// Opens the session; false (with the reason on stderr) for an unknown setting.
bool OpenCommandSession(const CommandSetup& setup, const char* argv0, Prompt& prompt,
                        CommandSession& out);

// Applies one "Key=Value" to the settings' Config values; false for an unknown key.
bool ApplySettingOverride(const std::string& assignment, Settings& settings);

}  // namespace retracer::cli
