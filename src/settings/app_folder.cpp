#include "settings/app_folder.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace fs = std::filesystem;

namespace retracer {
namespace {

// "/a/b/" and "/a/b" name the same folder; keep the form without the trailing separator so that
// joined paths and comparisons do not depend on how the folder was spelled.
fs::path WithoutTrailingSeparator(fs::path folder) {
    if (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
    return folder;
}

fs::path RunningExecutable() {
#ifdef _WIN32
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return fs::path(std::wstring(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
#elif defined(__linux__)
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
#else
    return {};
#endif
}

}  // namespace

fs::path ExecutableFolder(const char* argv0) {
    const fs::path exe = RunningExecutable();
    if (!exe.empty()) return exe.parent_path();
    std::error_code ec;
    if (argv0 != nullptr && *argv0 != '\0') {
        const fs::path given = fs::absolute(fs::path(argv0), ec);
        if (!ec) return given.parent_path();
    }
    fs::path current = fs::current_path(ec);
    return ec ? fs::path(".") : current;
}

bool MatchesVbDevFolderRule(std::string_view folderText) {
    for (std::size_t i = 0; i + 1 < folderText.size(); ++i) {
        const char a = folderText[i];
        const char b = folderText[i + 1];
        if ((a == 'V' || a == 'v') && (b == 'B' || b == 'b')) return true;
    }
    return false;
}

fs::path ApplyVbDevFolderRule(const fs::path& candidate) {
    return MatchesVbDevFolderRule(candidate.string()) ? fs::path(kVbDevelopmentFolder) : candidate;
}

bool VbDevFolderRuleEnabled() noexcept {
#ifdef RETRACER_VB_DEV_FOLDER
    return true;
#else
    return false;
#endif
}

AppPaths ResolveAppPaths(const fs::path& executableFolder, const char* retracerHome) {
    fs::path folder;
    if (retracerHome != nullptr && *retracerHome != '\0')
        folder = fs::path(retracerHome);
    else if (VbDevFolderRuleEnabled())
        folder = ApplyVbDevFolderRule(executableFolder);
    else
        folder = executableFolder;
    folder = WithoutTrailingSeparator(std::move(folder));

    AppPaths paths;
    paths.appFolder = folder;
    paths.settingsFile = folder / "Rtrc.INI";
    paths.tmpFolder = folder / "TMP";
    paths.nestTmpFolder = folder / "NestTmp";
    return paths;
}

bool IsWritableFolder(const fs::path& folder) noexcept {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path probe = folder / (".retracer-probe-" + std::to_string(attempt));
        if (fs::exists(probe, ec)) continue;
        std::FILE* file = std::fopen(probe.string().c_str(), "wx");
        if (file == nullptr) return false;
        std::fclose(file);
        fs::remove(probe, ec);
        return true;
    }
    return false;
}

fs::path PerUserAppFolder(const char* xdgDataHome, const char* home) {
#ifdef _WIN32
    (void)xdgDataHome;
    (void)home;
    const char* local = std::getenv("LOCALAPPDATA");
    return local != nullptr && *local != '\0' ? fs::path(local) / "Retracer" : fs::path();
#else
    if (xdgDataHome != nullptr && *xdgDataHome != '\0' && fs::path(xdgDataHome).is_absolute())
        return fs::path(xdgDataHome) / "Retracer";
    if (home != nullptr && *home != '\0') return fs::path(home) / ".local" / "share" / "Retracer";
    return {};
#endif
}

fs::path InstalledAppFiles(const fs::path& executableFolder) {
    return WithoutTrailingSeparator(executableFolder).parent_path() / "share" / "retracer";
}

bool SeedAppFolder(const fs::path& folder, const fs::path& installedFiles) noexcept {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return false;
    bool complete = true;
    const fs::path tools = installedFiles / "Tool.Par";
    if (fs::is_regular_file(tools, ec) && !fs::exists(folder / "Tool.Par", ec)) {
        fs::copy_file(tools, folder / "Tool.Par", ec);
        complete = complete && !ec;
    }
    // Letter by letter, so a library the user completed or changed keeps its files.
    const fs::path letters = installedFiles / "Letters";
    if (fs::is_directory(letters, ec)) {
        fs::create_directories(folder / "Letters", ec);
        for (const fs::directory_entry& entry : fs::directory_iterator(letters, ec)) {
            const fs::path target = folder / "Letters" / entry.path().filename();
            if (!entry.is_regular_file(ec) || fs::exists(target, ec)) continue;
            fs::copy_file(entry.path(), target, ec);
            complete = complete && !ec;
        }
    }
    return complete;
}

fs::path ChooseAppFolder(const fs::path& executableFolder, bool executableFolderWritable,
                         const fs::path& perUserFolder, const fs::path& installedFiles) {
    if (executableFolderWritable || perUserFolder.empty()) return executableFolder;
    SeedAppFolder(perUserFolder, installedFiles);
    return perUserFolder;
}

AppPaths ResolveStartupPaths(const char* argv0, const char* retracerHome) {
    if (retracerHome != nullptr && *retracerHome != '\0') return ResolveAppPaths({}, retracerHome);
    const fs::path exe = ExecutableFolder(argv0);
    return ResolveAppPaths(
        ChooseAppFolder(exe, IsWritableFolder(exe),
                        PerUserAppFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")),
                        InstalledAppFiles(exe)),
        nullptr);
}

void CreateScratchFolders(const AppPaths& paths) noexcept {
    std::error_code ignored;
    fs::create_directory(paths.tmpFolder, ignored);
    fs::create_directory(paths.nestTmpFolder, ignored);
}

}  // namespace retracer
