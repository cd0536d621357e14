#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace retracer {

class Worklist;

// The program file of a worklist row: its "Path" cell (a folder as typed, "\" or "/" separated)
// and its "Filename". A relative folder is taken relative to `baseFolder`, the folder of the
// worklist file it came from, so that a worklist travels with its programs; with no base it
// stays relative to the working folder.
std::filesystem::path ProgramPathOfRow(const Worklist& worklist, int row,
                                       const std::filesystem::path& baseFolder);

}  // namespace retracer
