#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace retracer {

// What changed in a model, told after the change. Row and column count from 1; a 0 in either
// means "all of them", so {0, 0} asks a view to read the whole model again (size, header,
// enabled state or every cell).
struct ModelChange {
    int row = 0;
    int column = 0;
    bool Whole() const { return row == 0 || column == 0; }
};

// The change hook shared by the core models, so a view (a Qt table model adapter) can follow
// them: a revision number that grows with every change, and one optional callback.
class ChangeNotifier {
  public:
    using Handler = std::function<void(const ModelChange&)>;

    void SetChangeHandler(Handler handler) { handler_ = std::move(handler); }
    std::uint64_t Revision() const { return revision_; }

    void Notify(const ModelChange& change) {
        ++revision_;
        if (handler_) handler_(change);
    }

  private:
    Handler handler_;
    std::uint64_t revision_ = 0;
};

// A table of texts in the manner of a spreadsheet control: data rows and columns from 1, row 0
// the column captions, any cell may carry a note. Reads outside the table give "" and writes
// outside it are ignored, so a caller's bad row number never takes the program down.
//
// Notes are sparse (few cells have one), so they are kept by cell rather than beside every text.
class TextGrid {
  public:
    TextGrid(int rows, int columns);

    int RowCount() const { return rows_; }
    int ColumnCount() const { return columns_; }

    // Rows beyond the new count are dropped with their notes; new rows are empty. A negative
    // count counts as 0.
    void SetRowCount(int rows);

    // Row 0 gives the column caption.
    const std::string& Text(int row, int column) const;
    void SetText(int row, int column, std::string_view text);

    const std::string& Caption(int column) const { return Text(0, column); }
    void SetCaption(int column, std::string_view caption);

    const std::string& Note(int row, int column) const;
    void SetNote(int row, int column, std::string_view note);  // "" removes the note

    // Empties every cell text and note; size and captions stay.
    void ClearCells();

    // A disabled grid is shown greyed and is not for editing; the model keeps its texts.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    ChangeNotifier& Changes() { return changes_; }
    std::uint64_t Revision() const { return changes_.Revision(); }

  private:
    bool InData(int row, int column) const {
        return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
    }
    std::size_t Index(int row, int column) const {
        return static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(column - 1);
    }

    int rows_ = 0;
    int columns_ = 0;
    bool enabled_ = true;
    std::vector<std::string> captions_;                   // [column - 1]
    std::vector<std::string> texts_;                      // row by row
    std::unordered_map<std::size_t, std::string> notes_;  // by Index()
    ChangeNotifier changes_;
};

// Background colours of the grids as 0xRRGGBB: white while editable, light grey otherwise.
inline constexpr std::uint32_t kEnabledGridColour = 0xFFFFFF;   // RGB(255, 255, 255)
inline constexpr std::uint32_t kDisabledGridColour = 0xE6E6E6;  // RGB(230, 230, 230)

inline std::uint32_t GridBackground(bool enabled) {
    return enabled ? kEnabledGridColour : kDisabledGridColour;
}

}  // namespace retracer
