#include "translate/tool_table.h"

#include <cmath>
#include <cstddef>

#include "base/atomic_file.h"
#include "base/field_splitter.h"
#include "base/text_codec.h"
#include "base/value_text.h"

namespace retracer {
namespace {

constexpr int kMaxLines = 100;

// Nearest integer, ties to even; 0 (outside every table) for values no int can hold.
int NearestInt(double v) {
    const double rounded = std::nearbyint(v);
    if (!(rounded >= -1e9 && rounded <= 1e9)) return 0;
    return static_cast<int>(rounded);
}

}  // namespace

const DrillTool* ToolTable::Find(int tool) const {
    if (!Holds(tool)) return nullptr;
    return &tools_[static_cast<std::size_t>(tool - kFirst)];
}

void ToolTable::Set(int tool, const DrillTool& values) {
    if (Holds(tool)) tools_[static_cast<std::size_t>(tool - kFirst)] = values;
}

ToolTable ParseToolTable(std::string_view text) {
    ToolTable table;
    FieldSplitter fields;
    LineCursor lines(text);
    std::string_view line;
    for (int count = 0; count < kMaxLines && lines.Next(line); ++count) {
        const int tool = NearestInt(NumericValue(line));
        if (!ToolTable::Holds(tool)) break;
        fields.Assign(line, ",");
        table.Set(tool, DrillTool{static_cast<float>(NumericValue(fields.Field(2))),
                                  static_cast<float>(NumericValue(fields.Field(3))),
                                  static_cast<float>(NumericValue(fields.Field(4)))});
    }
    return table;
}

ToolTable LoadToolTable(const std::filesystem::path& file) {
    std::string text;
    if (!ReadTextFile(file, text, nullptr)) return ToolTable{};
    return ParseToolTable(text);
}

std::string ToolTableText(std::span<const ToolRow> rows) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string_view x = TrimBlanks(rows[i].x);
        const std::string_view y = TrimBlanks(rows[i].y);
        const std::string_view dia = TrimBlanks(rows[i].dia);
        if (x.empty() && y.empty() && dia.empty()) continue;
        text += std::to_string(i + 1);
        for (std::string_view cell : {x, y, dia}) {
            text += ',';
            text += cell;
        }
        text += '\n';
    }
    return text;
}

bool SaveToolTable(const std::filesystem::path& file, std::span<const ToolRow> rows,
                   std::string* error) {
    if (rows.size() > static_cast<std::size_t>(ToolTable::kLast)) {
        if (error) *error = "The tool table holds at most 100 tools.";
        return false;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (const std::string* cell : {&rows[i].x, &rows[i].y, &rows[i].dia}) {
            if (cell->find_first_of(",\r\n") != std::string::npos) {
                if (error) {
                    *error =
                        "Tool " + std::to_string(i + 1) + ": \"" + *cell + "\" is not a number.";
                }
                return false;
            }
        }
    }
    return WriteFileAtomically(file, ToolTableText(rows), error);
}

bool NamesDrillTools(std::string_view toolText) {
    return toolText.size() >= 2 && NumericValue(toolText) > 0;
}

std::vector<int> DrillToolNumbers(std::string_view toolText) {
    std::vector<int> tools;
    for (std::size_t i = 0; i < toolText.size(); i += 2) {
        tools.push_back(NearestInt(NumericValue(toolText.substr(i, 2))));
    }
    return tools;
}

}  // namespace retracer
