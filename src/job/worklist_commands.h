#pragma once

#include <filesystem>
#include <string>

#include "worklist/worklist_files.h"

namespace retracer {

struct Session;

// The File menu's commands once a file was chosen: each remembers the chosen file's folder
// ("ListDir" or "CSVDir"). Opening or saving a worklist file also makes its folder the one that
// relative "Path" cells are read from. A command that fails shows its reason ("Alert!") and
// returns it in `error` (when given).
bool OpenWorklist(Session& session, const std::filesystem::path& file, std::string* error);
bool SaveWorklistAs(Session& session, const std::filesystem::path& file, std::string* error);
bool ImportWorklistFromCsv(Session& session, const std::filesystem::path& file, std::string* error);
bool ExportWorklistToCsv(Session& session, const std::filesystem::path& file, std::string* error);

}  // namespace retracer
