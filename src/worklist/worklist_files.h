#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace retracer {

class UserSettingsStore;
class Worklist;

// Worklist files (".lst"): the whole worklist as JSON, described in docs/worklist-format.md.
inline constexpr std::string_view kWorklistFormatName = "Retracer worklist";
inline constexpr int kWorklistFormatVersion = 1;

std::string WorklistFileText(const Worklist& worklist);
bool SaveWorklistFile(const Worklist& worklist, const std::filesystem::path& file,
                      std::string* error);

// Replaces the worklist by the file's content. A file that is damaged, foreign or from a newer
// version leaves the worklist as it was and returns false with the reason in `error`.
bool LoadWorklistText(std::string_view text, Worklist& worklist, std::string* error);
bool LoadWorklistFile(const std::filesystem::path& file, Worklist& worklist, std::string* error);

// CSV exchange: one line per row that has any text, the 15 cell texts joined by "," without
// quoting, each line ended by CR LF; no header line. A "," inside a cell does not survive.
std::string WorklistCsvText(const Worklist& worklist);
bool ExportWorklistCsv(const Worklist& worklist, const std::filesystem::path& file,
                       std::string* error);

// Puts the lines into rows 1, 2, … up to the last row: field c into column c (missing fields
// empty, fields after the 15th dropped). The first empty line ends the import; rows below the
// last imported line keep what they had. Any material name is taken as it is. Returns the number
// of rows imported; lines beyond the last row are counted in `linesLeftOut` (when given).
int ImportWorklistCsvText(std::string_view text, Worklist& worklist, int* linesLeftOut = nullptr);
// False (with the reason), the worklist unchanged, when the file cannot be read, is no text, or
// has more lines than the worklist has rows.
bool ImportWorklistCsv(const std::filesystem::path& file, Worklist& worklist, int* imported,
                       std::string* error);

// The folders the file dialogs remember, under "Defaults" of the user's store: "ListDir" for
// worklist files, "CSVDir" for CSV.
inline constexpr std::string_view kListDirKey = "ListDir";
inline constexpr std::string_view kCsvDirKey = "CSVDir";
std::string RememberedFolder(const UserSettingsStore& store, std::string_view key);
// Stores the folder of a chosen file (with its trailing separator).
void RememberFolder(UserSettingsStore& store, std::string_view key, std::string_view chosenFile);

// The file name the CSV dialogs propose after `previous`: up to and including its first "."
// followed by "CSV" (so "*.csv" gives "*.CSV"), or `previous` and "CSV" when it has no ".".
std::string ProposedCsvName(std::string_view previous);

}  // namespace retracer
