#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "settings/user_store.h"

namespace retracer {

// Where the nesting application records its own program file in the per-user store; its
// material table "Mat.dat" sits in the same folder.
inline constexpr std::string_view kNestingApp = "Cutplan";
inline constexpr std::string_view kNestingPathsSection = "Paths";
inline constexpr std::string_view kNestingExecutableKey = "Executable";
inline constexpr std::string_view kNestingExecutableDefault = "C:\\";
inline constexpr std::string_view kMaterialTableName = "Mat.dat";

// The material table beside the nesting application's executable: the folder part of the stored
// value ("\" and "/" both separate) followed by "Mat.dat". Empty when that folder is not an
// absolute path on this system (no folder part, or "C:\" outside Windows): a relative lookup
// would depend on the working folder of whoever runs us.
std::filesystem::path MaterialTablePath(const UserSettingsStore& store);

// The material names of a table's text: the second field of every line, blanks around it
// removed, each distinct non-empty name once, in order of first appearance. Names are compared
// exactly ("Oak" and "oak" are two materials).
//
// The nesting application's table format is not ours, so a line's fields are taken as separated
// by tabs when the line holds a tab, else by semicolons when it holds one, else by commas: a
// name with a comma in it survives in a tab or semicolon table. A field in double quotes may
// hold separators, and "" in it stands for one quote.
std::vector<std::string> ParseMaterials(std::string_view text);

// ParseMaterials of the file; an empty list when it is missing or unreadable (the user can still
// type any material name into the worklist).
std::vector<std::string> LoadMaterials(const std::filesystem::path& matDat);

// The names as the choice list of the worklist's material column takes them: joined by tabs.
std::string MaterialChoiceText(const std::vector<std::string>& materials);

}  // namespace retracer
