#include "worklist/worklist_files.h"

#include <map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/atomic_file.h"
#include "base/field_splitter.h"
#include "base/file_lookup.h"
#include "base/text_codec.h"
#include "settings/user_store.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

using nlohmann::json;

constexpr int kColumns = Worklist::kColumnCount;

bool Fail(std::string* error, std::string message) {
    if (error != nullptr) *error = std::move(message);
    return false;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// What a worklist file holds, checked completely before the worklist is touched.
struct FileContent {
    std::map<int, std::vector<std::string>> rows;  // row -> its 15 texts
    std::map<std::pair<int, int>, std::string> notes;
    std::vector<double> widths;
};

int RowNumber(const json& value, int rows) {
    if (!value.is_number_integer()) throw std::runtime_error("a row number is not a whole number");
    const int row = value.get<int>();
    if (row < 1 || row > rows) {
        throw std::runtime_error("row " + std::to_string(row) + " is outside 1 to " +
                                 std::to_string(rows));
    }
    return row;
}

FileContent ReadContent(const json& doc) {
    if (!doc.is_object() || doc.value("format", "") != kWorklistFormatName) {
        throw std::runtime_error("it is not a Retracer worklist file");
    }
    const json& version = doc.at("version");
    if (!version.is_number_integer()) throw std::runtime_error("its version is not a number");
    if (version.get<int>() > kWorklistFormatVersion) {
        throw std::runtime_error("it was written by a newer Retracer (format version " +
                                 std::to_string(version.get<int>()) + ")");
    }
    if (doc.at("columns").get<int>() != kColumns) {
        throw std::runtime_error("it does not have the 15 worklist columns");
    }
    const json& captions = doc.at("captions");
    if (!captions.is_array() || captions.size() != static_cast<std::size_t>(kColumns)) {
        throw std::runtime_error("its column captions are missing");
    }
    for (int c = 0; c < kColumns; ++c) {
        if (!SameIgnoringCase(captions[static_cast<std::size_t>(c)].get<std::string>(),
                              kWorklistCaptions[static_cast<std::size_t>(c)])) {
            throw std::runtime_error("column " + std::to_string(c + 1) + " is not \"" +
                                     std::string(kWorklistCaptions[static_cast<std::size_t>(c)]) +
                                     "\"");
        }
    }
    const int rows = Worklist::kRowCount;
    FileContent content;
    for (const json& entry : doc.at("cells")) {
        const int row = RowNumber(entry.at("row"), rows);
        const json& texts = entry.at("texts");
        if (!texts.is_array() || texts.size() != static_cast<std::size_t>(kColumns)) {
            throw std::runtime_error("row " + std::to_string(row) + " does not have 15 texts");
        }
        std::vector<std::string> cells;
        for (const json& text : texts) cells.push_back(text.get<std::string>());
        if (!content.rows.emplace(row, std::move(cells)).second) {
            throw std::runtime_error("row " + std::to_string(row) + " appears twice");
        }
    }
    for (const json& entry : doc.at("notes")) {
        const int row = RowNumber(entry.at("row"), rows);
        const int column = entry.at("column").get<int>();
        if (column < 1 || column > kColumns) {
            throw std::runtime_error("a note is in column " + std::to_string(column));
        }
        content.notes[{row, column}] = entry.at("text").get<std::string>();
    }
    if (doc.contains("columnWidths")) {
        content.widths = doc.at("columnWidths").get<std::vector<double>>();
    }
    return content;
}

}  // namespace

std::string WorklistFileText(const Worklist& worklist) {
    json doc;
    doc["format"] = kWorklistFormatName;
    doc["version"] = kWorklistFormatVersion;
    doc["rows"] = worklist.RowCount();
    doc["columns"] = kColumns;
    json captions = json::array();
    json widths = json::array();
    for (int c = 1; c <= kColumns; ++c) {
        captions.push_back(worklist.GetCell(0, c));
        widths.push_back(worklist.ColumnWidth(c));
    }
    doc["captions"] = captions;
    doc["columnWidths"] = widths;
    json cells = json::array();
    json notes = json::array();
    for (int r = 1; r <= worklist.RowCount(); ++r) {
        json texts = json::array();
        bool any = false;
        for (int c = 1; c <= kColumns; ++c) {
            const std::string& text = worklist.GetCell(r, c);
            any = any || !text.empty();
            texts.push_back(text);
            const std::string& note = worklist.Grid().Note(r, c);
            if (!note.empty()) notes.push_back({{"row", r}, {"column", c}, {"text", note}});
        }
        if (any) cells.push_back({{"row", r}, {"texts", texts}});
    }
    doc["cells"] = cells;
    doc["notes"] = notes;
    // Cell texts are UTF-8; should one not be, it is kept readable rather than failing the save.
    return doc.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

bool SaveWorklistFile(const Worklist& worklist, const std::filesystem::path& file,
                      std::string* error) {
    return WriteFileAtomically(file, WorklistFileText(worklist), error);
}

bool LoadWorklistText(std::string_view text, Worklist& worklist, std::string* error) {
    FileContent content;
    try {
        content = ReadContent(json::parse(text));
    } catch (const std::exception& e) {
        return Fail(error, std::string("Not a readable worklist: ") + e.what());
    }
    worklist.Clear();
    for (const auto& [row, texts] : content.rows) {
        for (int c = 1; c <= kColumns; ++c) {
            worklist.SetCell(row, c, texts[static_cast<std::size_t>(c - 1)]);
        }
    }
    for (const auto& [cell, note] : content.notes)
        worklist.SetCellNote(cell.first, cell.second, note);
    for (std::size_t c = 0; c < content.widths.size(); ++c) {
        worklist.SetColumnWidth(static_cast<int>(c) + 1, content.widths[c]);
    }
    return true;
}

bool LoadWorklistFile(const std::filesystem::path& file, Worklist& worklist, std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(file, bytes, error)) return false;
    std::string message;
    if (LoadWorklistText(bytes, worklist, &message)) return true;
    return Fail(error, PathText(file) + ": " + message);
}

std::string WorklistCsvText(const Worklist& worklist) {
    std::string text;
    for (int r = 1; r <= worklist.RowCount(); ++r) {
        std::string line;
        for (int c = 1; c <= kColumns; ++c) line += worklist.GetCell(r, c) + ",";
        if (line.size() > static_cast<std::size_t>(kColumns)) {
            line.pop_back();
            text += line + "\r\n";
        }
    }
    return text;
}

bool ExportWorklistCsv(const Worklist& worklist, const std::filesystem::path& file,
                       std::string* error) {
    return WriteFileAtomically(file, WorklistCsvText(worklist), error);
}

int ImportWorklistCsvText(std::string_view text, Worklist& worklist, int* linesLeftOut) {
    FieldSplitter fields;
    int row = 0;
    int leftOut = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        if (row == worklist.RowCount()) {
            ++leftOut;  // no row left for it; counted so the user hears of it
            continue;
        }
        fields.Assign(line, ",");
        ++row;
        for (int c = 1; c <= kColumns; ++c) worklist.SetCell(row, c, fields.Field(c));
    }
    if (linesLeftOut != nullptr) *linesLeftOut = leftOut;
    return row;
}

bool ImportWorklistCsv(const std::filesystem::path& file, Worklist& worklist, int* imported,
                       std::string* error) {
    std::string text;
    if (!ReadTextFile(file, text, error)) return false;
    // A text file has no NUL (UTF-16 is decoded by now): this is some other kind of file.
    if (text.find('\0') != std::string::npos) {
        return Fail(error, "Cannot import \"" + PathText(file) + "\": it is not a text file");
    }
    // Into a copy first: a file with more lines than the worklist has rows is refused whole,
    // rather than leaving a worklist that silently lacks its last jobs.
    Worklist copy = worklist;
    int leftOut = 0;
    const int rows = ImportWorklistCsvText(text, copy, &leftOut);
    if (leftOut > 0) {
        return Fail(error, PathText(file) + ": " + std::to_string(rows + leftOut) +
                               " lines, but the worklist holds " +
                               std::to_string(worklist.RowCount()) + " rows; nothing was imported");
    }
    worklist = std::move(copy);
    if (imported != nullptr) *imported = rows;
    return true;
}

std::string RememberedFolder(const UserSettingsStore& store, std::string_view key) {
    return store.Get(kRetracerApp, kDefaultsSection, key, "C:\\");
}

void RememberFolder(UserSettingsStore& store, std::string_view key, std::string_view chosenFile) {
    store.Save(kRetracerApp, kDefaultsSection, key, FolderPart(chosenFile));
}

std::string ProposedCsvName(std::string_view previous) {
    const std::size_t dot = previous.find('.');
    if (dot == std::string_view::npos) return std::string(previous) + "CSV";
    return std::string(previous.substr(0, dot + 1)) + "CSV";
}

}  // namespace retracer
