#include "worklist/worklist.h"

#include <algorithm>

namespace retracer {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

Worklist::Worklist() : grid_(kRowCount, kColumnCount) {
    for (int column = 1; column <= kColumnCount; ++column)
        grid_.SetCaption(column, kWorklistCaptions[static_cast<std::size_t>(column - 1)]);
}

std::string Worklist::GetCellNote(int row, int column) const {
    const std::string& note = grid_.Note(row, column);
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = note.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    return note.substr(first, note.find_last_not_of(kBlanks) - first + 1);
}

int Worklist::FindColumn(std::string_view caption) const {
    for (int column = 1; column <= kColumnCount; ++column)
        if (EqualsIgnoringCase(grid_.Caption(column), caption)) return column;
    return 0;
}

int Worklist::LastJobRow() const {
    for (int row = kRowCount; row >= 1; --row)
        if (IsJob(row)) return row;
    return 0;
}

}  // namespace retracer
