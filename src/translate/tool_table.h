#pragma once

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace retracer {

// One drill of the drilling head: its offset from the head's reference and its diameter, in
// millimetres.
struct DrillTool {
    float x = 0;
    float y = 0;
    float dia = 0;

    bool operator==(const DrillTool&) const = default;
};

// The drill tools by number, 1 to 100; tools not given are all zeros.
class ToolTable {
  public:
    static constexpr int kFirst = 1;
    static constexpr int kLast = 100;

    static bool Holds(int tool) { return tool >= kFirst && tool <= kLast; }

    // The tool, or nothing for a number outside the table.
    const DrillTool* Find(int tool) const;
    // Ignored for a number outside the table.
    void Set(int tool, const DrillTool& values);

    bool operator==(const ToolTable&) const = default;

  private:
    std::array<DrillTool, kLast> tools_{};
};

// Tool.Par text: one tool per line, "number,x,y,dia". Numbers are read leniently (empty or
// unreadable fields are 0; the tool number is the line's leading number rounded to the nearest
// integer). At most 100 lines are read, and the first line whose tool number is outside the
// table ends the reading; the tools read before it stay.
ToolTable ParseToolTable(std::string_view text);

// The table of a Tool.Par file; a missing or unreadable file gives all zeros.
ToolTable LoadToolTable(const std::filesystem::path& file);

// One row of the tool editor: the X, Y and diameter cells as the user sees them.
struct ToolRow {
    std::string x;
    std::string y;
    std::string dia;
};

// Tool.Par text of the editor's rows, row i (from 0) being tool i + 1: one line "n,x,y,dia" per
// row with at least one cell filled (a cell of blanks counts as empty and is written empty).
std::string ToolTableText(std::span<const ToolRow> rows);

// Replaces the file with the rows' text in one step. Refuses (false, file untouched, reason in
// `error` when given) more rows than the table holds, or a cell holding a comma or a line break,
// which would shift the fields of its line.
bool SaveToolTable(const std::filesystem::path& file, std::span<const ToolRow> rows,
                   std::string* error = nullptr);

// A drill tool text names tools when it has at least two characters and its value is above 0.
bool NamesDrillTools(std::string_view toolText);

// The tool numbers of a drill tool text, one per group of two characters from the left ("0512"
// gives 5 and 12; a last single character is a group of its own).
std::vector<int> DrillToolNumbers(std::string_view toolText);

}  // namespace retracer
