#include "worklist/row_program.h"

#include "base/file_lookup.h"
#include "base/text_codec.h"
#include "worklist/worklist.h"

namespace retracer {

std::filesystem::path ProgramPathOfRow(const Worklist& worklist, int row,
                                       const std::filesystem::path& baseFolder) {
    std::string text = worklist.GetCell(row, WorklistColumn::kPath);
    if (!text.empty() && text.back() != '\\' && text.back() != '/') text += '\\';
    text += worklist.GetCell(row, WorklistColumn::kFilename);
    std::filesystem::path path = PathFromText(text);
    // "C:\..." is absolute on Windows only; elsewhere it stays as typed rather than being glued
    // under the base folder.
    const bool driveLetter = text.size() > 1 && text[1] == ':';
    if (path.is_relative() && !driveLetter && !baseFolder.empty()) path = baseFolder / path;
    return path;
}

}  // namespace retracer
