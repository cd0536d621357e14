#include "worklist/text_grid.h"

#include <algorithm>

namespace retracer {
namespace {

const std::string kNone;

}  // namespace

TextGrid::TextGrid(int rows, int columns)
    : rows_(std::max(rows, 0)),
      columns_(std::max(columns, 0)),
      captions_(static_cast<std::size_t>(columns_)),
      texts_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_)) {}

void TextGrid::SetRowCount(int rows) {
    rows = std::max(rows, 0);
    if (rows == rows_) return;
    if (rows < rows_) {
        const std::size_t kept =
            static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns_);
        std::erase_if(notes_, [kept](const auto& note) { return note.first >= kept; });
    }
    rows_ = rows;
    texts_.resize(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_));
    changes_.Notify({});
}

const std::string& TextGrid::Text(int row, int column) const {
    if (row == 0 && column >= 1 && column <= columns_)
        return captions_[static_cast<std::size_t>(column - 1)];
    return InData(row, column) ? texts_[Index(row, column)] : kNone;
}

void TextGrid::SetText(int row, int column, std::string_view text) {
    if (!InData(row, column)) return;
    std::string& cell = texts_[Index(row, column)];
    if (cell == text) return;
    cell.assign(text);
    changes_.Notify({row, column});
}

void TextGrid::SetCaption(int column, std::string_view caption) {
    if (column < 1 || column > columns_) return;
    std::string& cell = captions_[static_cast<std::size_t>(column - 1)];
    if (cell == caption) return;
    cell.assign(caption);
    changes_.Notify({});
}

const std::string& TextGrid::Note(int row, int column) const {
    if (!InData(row, column)) return kNone;
    const auto found = notes_.find(Index(row, column));
    return found == notes_.end() ? kNone : found->second;
}

void TextGrid::SetNote(int row, int column, std::string_view note) {
    if (!InData(row, column)) return;
    const std::size_t index = Index(row, column);
    const auto found = notes_.find(index);
    if (note.empty()) {
        if (found == notes_.end()) return;
        notes_.erase(found);
    } else if (found == notes_.end()) {
        notes_.emplace(index, std::string(note));
    } else {
        if (found->second == note) return;
        found->second.assign(note);
    }
    changes_.Notify({row, column});
}

void TextGrid::ClearCells() {
    for (std::string& text : texts_) text.clear();
    notes_.clear();
    changes_.Notify({});
}

void TextGrid::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    changes_.Notify({});
}

}  // namespace retracer
