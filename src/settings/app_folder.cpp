#include "settings/app_folder.h"

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

void CreateScratchFolders(const AppPaths& paths) noexcept {
    std::error_code ignored;
    fs::create_directory(paths.tmpFolder, ignored);
    fs::create_directory(paths.nestTmpFolder, ignored);
}

}  // namespace retracer
