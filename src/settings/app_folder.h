#pragma once

#include <filesystem>
#include <string_view>

namespace retracer {

// The folders and files every run resolves at start-up, all based on the application folder.
struct AppPaths {
    std::filesystem::path appFolder;      // base of every program-relative file
    std::filesystem::path settingsFile;   // appFolder / "Rtrc.INI"
    std::filesystem::path tmpFolder;      // appFolder / "TMP": scratch files of the drawing view
    std::filesystem::path nestTmpFolder;  // appFolder / "NestTmp": kept for the nesting program
};

// The folder of the running executable: /proc/self/exe on Linux, the module file name on
// Windows; when that is not available, the folder of `argv0` (made absolute), and failing that
// the current folder.
std::filesystem::path ExecutableFolder(const char* argv0);

// The fixed folder that development runs use.
inline constexpr std::string_view kVbDevelopmentFolder = "C:\\vbprojects\\retracer\\";

// True when `folderText`, upper-cased, contains "VB" anywhere: how a development run was told
// from an installed one (C:\TOOLS\VBSTUFF\ matches as well).
bool MatchesVbDevFolderRule(std::string_view folderText);

// `candidate`, or kVbDevelopmentFolder when the candidate matches the rule above.
std::filesystem::path ApplyVbDevFolderRule(const std::filesystem::path& candidate);

// Whether this build applies the development-folder rule (the RETRACER_VB_DEV_FOLDER option).
bool VbDevFolderRuleEnabled() noexcept;

// The application folder and the paths built on it. `retracerHome` is the value of the
// RETRACER_HOME environment variable (or nullptr): when set and not empty it is used as the
// folder as given, and the development-folder rule is not applied to it, since it is an
// explicit choice. Otherwise the executable folder is used, with the rule applied when this
// build enables it. Folders carry no trailing separator; callers that hand a folder to a
// component wanting one append it.
AppPaths ResolveAppPaths(const std::filesystem::path& executableFolder, const char* retracerHome);

// True when a file can be made in `folder` (a probe file is made and removed again).
bool IsWritableFolder(const std::filesystem::path& folder) noexcept;

// The per-user application folder: $XDG_DATA_HOME/Retracer, else $HOME/.local/share/Retracer
// (%LOCALAPPDATA%\Retracer on Windows); empty when none is set. A relative XDG_DATA_HOME is
// ignored, as the XDG rules ask.
std::filesystem::path PerUserAppFolder(const char* xdgDataHome, const char* home);

// Where an installation keeps the application folder's files: <prefix>/share/retracer beside
// <prefix>/bin.
std::filesystem::path InstalledAppFiles(const std::filesystem::path& executableFolder);

// Copies the application folder's files (Tool.Par and the letter library Letters/) from
// `installedFiles` into `folder`, making it as needed. Files already there are kept: the user may
// have edited the tool table. False when the folder could not be made or a file not copied.
bool SeedAppFolder(const std::filesystem::path& folder,
                   const std::filesystem::path& installedFiles) noexcept;

// The application folder of a run without RETRACER_HOME: the executable's folder where the user
// may write there (a build, a copy in the user's own folder); otherwise (an installed /usr/bin)
// `perUserFolder`, seeded from `installedFiles`. With no per-user folder known, the executable's
// folder all the same.
std::filesystem::path ChooseAppFolder(const std::filesystem::path& executableFolder,
                                      bool executableFolderWritable,
                                      const std::filesystem::path& perUserFolder,
                                      const std::filesystem::path& installedFiles);

// The paths of a program's start: RETRACER_HOME when set, else ChooseAppFolder with this
// system's folders.
AppPaths ResolveStartupPaths(const char* argv0, const char* retracerHome);

// Creates the TMP and NestTmp folders. A folder that exists already or cannot be made is not an
// error worth telling anyone about: the drawing view falls back to its own scratch space.
void CreateScratchFolders(const AppPaths& paths) noexcept;

}  // namespace retracer
