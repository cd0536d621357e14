#include "settings/user_store.h"

#include <cstdlib>
#include <system_error>

#include "settings/ini_file.h"

namespace fs = std::filesystem;

namespace retracer {
namespace {

// Values are stored exactly, so the profile rules that shape values on reading are off, except
// unquoting, which lets a value keep the blanks or quotes around it (see Encode).
constexpr IniOptions kStoreOptions{
    .maxValueChars = 0, .endMarkerReadsEmpty = false, .unquote = true};

// Wraps the value in quotes when reading it back would otherwise change it: blanks around it
// would be trimmed, or a pair of surrounding quotes would be taken off.
std::string Encode(std::string_view value) {
    const bool blanksAround = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                                 value.back() == ' ' || value.back() == '\t');
    const bool quotedAlready = value.size() >= 2 &&
                               (value.front() == '"' || value.front() == '\'') &&
                               value.back() == value.front();
    if (!blanksAround && !quotedAlready) return std::string(value);
    return "\"" + std::string(value) + "\"";
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

}  // namespace

FileUserSettingsStore::FileUserSettingsStore(fs::path root) : root_(std::move(root)) {}

fs::path FileUserSettingsStore::RootFromEnvironment(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && *xdgConfigHome != '\0') {
        const fs::path base(xdgConfigHome);
        if (base.is_absolute()) return base / "Retracer";
    }
    if (home != nullptr && *home != '\0') return fs::path(home) / ".config" / "Retracer";
    return {};
}

fs::path FileUserSettingsStore::DefaultRoot() {
#ifdef _WIN32
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (appData != nullptr && *appData != L'\0') return fs::path(appData) / "Retracer";
    return {};
#else
    return RootFromEnvironment(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
#endif
}

fs::path FileUserSettingsStore::FileFor(std::string_view app) const {
    if (root_.empty() || app.empty() || app == "." || app == ".." ||
        app.find_first_of("/\\:*?\"<>|\r\n") != app.npos)
        return {};
    return root_ / (std::string(app) + ".ini");
}

std::string FileUserSettingsStore::Get(std::string_view app, std::string_view section,
                                       std::string_view key, std::string_view defaultValue) const {
    const fs::path file = FileFor(app);
    if (file.empty()) return std::string(defaultValue);
    const auto value = IniFile(file, kStoreOptions).Find(section, key);
    return value ? *value : std::string(defaultValue);
}

bool FileUserSettingsStore::Save(std::string_view app, std::string_view section,
                                 std::string_view key, std::string_view value) {
    const fs::path file = FileFor(app);
    if (file.empty()) return false;
    std::error_code ec;
    fs::create_directories(root_, ec);
    IniFile ini(file, kStoreOptions);
    return ini.Write(section, key, Encode(value));
}

std::string MemoryUserSettingsStore::Get(std::string_view app, std::string_view section,
                                         std::string_view key,
                                         std::string_view defaultValue) const {
    const auto found = values_.find({std::string(app), Lower(section), Lower(key)});
    return found != values_.end() ? found->second : std::string(defaultValue);
}

bool MemoryUserSettingsStore::Save(std::string_view app, std::string_view section,
                                   std::string_view key, std::string_view value) {
    values_[{std::string(app), Lower(section), Lower(key)}] = std::string(value);
    return true;
}

std::string FolderPart(std::string_view path) {
    const std::size_t last = path.find_last_of("/\\");
    return last == path.npos ? std::string() : std::string(path.substr(0, last + 1));
}

}  // namespace retracer
