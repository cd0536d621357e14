#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <tuple>

namespace retracer {

// Where Retracer keeps its own per-user values (application, section).
inline constexpr std::string_view kRetracerApp = "Retracer";
inline constexpr std::string_view kDefaultsSection = "Defaults";

// Per-user values (last folders of the file dialogs, the viewer background colour, the running
// HBD counter) kept by application, section and key. Section and key names match without regard
// to ASCII case; the application name is taken as written, since it names a file.
class UserSettingsStore {
  public:
    virtual ~UserSettingsStore() = default;

    // The stored value, or `defaultValue` when there is none.
    virtual std::string Get(std::string_view app, std::string_view section, std::string_view key,
                            std::string_view defaultValue) const = 0;

    // Stores the value at once. False when it could not be stored; callers may ignore that.
    virtual bool Save(std::string_view app, std::string_view section, std::string_view key,
                      std::string_view value) = 0;
};

// One file per application under a root folder (root/"Retracer.ini", root/"Cutplan.ini"), so the
// desktop application and the command-line tool of one user share their values. Values are kept
// whole and exactly: no length cut, and blanks or quotes around a value survive.
class FileUserSettingsStore : public UserSettingsStore {
  public:
    explicit FileUserSettingsStore(std::filesystem::path root);

    // $XDG_CONFIG_HOME/Retracer, else $HOME/.config/Retracer (%APPDATA%\Retracer on Windows);
    // empty when none of these is set, and the caller then keeps values in memory only.
    static std::filesystem::path DefaultRoot();

    // DefaultRoot's rule for given variable values (nullptr for an unset variable). A relative
    // XDG_CONFIG_HOME is ignored, as the XDG rules ask.
    static std::filesystem::path RootFromEnvironment(const char* xdgConfigHome, const char* home);

    const std::filesystem::path& Root() const { return root_; }

    // The file holding an application's values; empty for a name that cannot be a file name.
    std::filesystem::path FileFor(std::string_view app) const;

    std::string Get(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view defaultValue) const override;
    bool Save(std::string_view app, std::string_view section, std::string_view key,
              std::string_view value) override;

  private:
    std::filesystem::path root_;
};

// Values held in memory only: for tests and for runs that must not touch the user's files.
class MemoryUserSettingsStore : public UserSettingsStore {
  public:
    std::string Get(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view defaultValue) const override;
    bool Save(std::string_view app, std::string_view section, std::string_view key,
              std::string_view value) override;

  private:
    std::map<std::tuple<std::string, std::string, std::string>, std::string> values_;
};

// The folder part of a path: everything up to and including its last "\" or "/"; a path
// without a separator has no folder part ("").
std::string FolderPart(std::string_view path);

}  // namespace retracer
