#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "worklist/text_grid.h"

namespace retracer {

// Column numbers of the worklist. Worklist files, CSV exchange and the label texts depend on
// this order, so it never changes.
namespace WorklistColumn {
inline constexpr int kNorm = 1;      // normal parts to make; > 0 translates the normal part
inline constexpr int kMir = 2;       // mirrored parts; > 0 translates the mirrored copy too
inline constexpr int kFilename = 3;  // program file name, no folder; set = the row is a job
inline constexpr int kJob = 4;
inline constexpr int kRoom = 5;
inline constexpr int kCabinet = 6;
inline constexpr int kPartDescription = 7;
inline constexpr int kMaterial = 8;  // free text; the material table only offers choices
inline constexpr int kLength = 9;    // part size as number texts
inline constexpr int kWidth = 10;
inline constexpr int kThick = 11;
inline constexpr int kPath = 12;            // folder of the program file as typed
inline constexpr int kVVariables = 13;      // name=value entries joined by " | "
inline constexpr int kRVariables = 14;      // entries joined by "¦"; the note holds descriptions
inline constexpr int kOutputFilename = 15;  // optional output base name
}  // namespace WorklistColumn

// Header captions, [column - 1].
inline constexpr std::array<std::string_view, 15> kWorklistCaptions = {
    "Norm",           "Mir",    "Filename", "Job",   "Room", "Cabinet",     "Part Description",
    "Material",       "Length", "Width",    "Thick", "Path", "V Variables", "R Variables",
    "Output Filename"};

// The list of jobs: 500 rows of 15 texts, row 0 the fixed captions. It is the only store of the
// jobs; runs, files and the editor all read and write it by row and column. A job refers to its
// row by number, and 0 means "no row", so row 0 reads as the captions and is never written.
class Worklist {
  public:
    static constexpr int kRowCount = 500;
    static constexpr int kColumnCount = 15;

    Worklist();

    int RowCount() const { return kRowCount; }
    int ColumnCount() const { return kColumnCount; }

    // "" outside rows 0..500 and columns 1..15.
    const std::string& GetCell(int row, int column) const { return grid_.Text(row, column); }
    // Ignored outside rows 1..500 and columns 1..15.
    void SetCell(int row, int column, std::string_view text) { grid_.SetText(row, column, text); }

    // The note without blanks or line ends around it.
    std::string GetCellNote(int row, int column) const;
    void SetCellNote(int row, int column, std::string_view note) {
        grid_.SetNote(row, column, note);
    }

    // The first column whose caption equals `caption` ignoring ASCII case; 0 when none does.
    int FindColumn(std::string_view caption) const;

    // Empties every data row and note.
    void Clear() { grid_.ClearCells(); }

    // A data row is a job when its file name is set.
    bool IsJob(int row) const {
        return row >= 1 && !GetCell(row, WorklistColumn::kFilename).empty();
    }
    // The last job row, 0 when there is none: files are added after it.
    int LastJobRow() const;

    // Column widths in characters as the view last left them; kept in worklist files. Widths
    // outside 0..1000 or of other columns are ignored.
    double ColumnWidth(int column) const {
        return column >= 1 && column <= kColumnCount
                   ? columnWidths_[static_cast<std::size_t>(column - 1)]
                   : 0.0;
    }
    void SetColumnWidth(int column, double width) {
        if (column >= 1 && column <= kColumnCount && width >= 0 && width <= 1000) {
            columnWidths_[static_cast<std::size_t>(column - 1)] = width;
        }
    }

    // For views: every cell and note change is reported, Clear as a whole change.
    const TextGrid& Grid() const { return grid_; }
    ChangeNotifier& Changes() { return grid_.Changes(); }
    std::uint64_t Revision() const { return grid_.Revision(); }

  private:
    TextGrid grid_;
    std::array<double, kColumnCount> columnWidths_ = {5, 5, 14, 10, 10, 10, 24, 12,
                                                      8, 8, 6,  24, 24, 24, 14};
};

}  // namespace retracer
