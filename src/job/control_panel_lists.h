#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "translate/job_state.h"
#include "translate/program_header.h"
#include "translate/recognition.h"
#include "variables/subprogram_call.h"
#include "worklist/text_grid.h"
#include "worklist/worklist.h"

namespace retracer {

// Separators of the variables' text forms in a worklist row.
inline constexpr std::string_view kVVarSeparator = " | ";
inline constexpr std::string_view kRVarSeparator = "\xC2\xA6";  // U+00A6 BROKEN BAR, UTF-8

// Lines of a list box: the current program's lines, the viewed drawing's layers.
class TextList {
  public:
    int Count() const { return static_cast<int>(starts_.size()); }
    // Lines from 0; "" outside. Valid until the list changes.
    std::string_view Line(int index) const;

    // Reported as a change of the new row (index + 1).
    void Add(std::string_view line);
    // Every line of `text` ("\n" ends a line; a last line without one counts too); reported as a
    // whole change. A program of a million lines is kept as one text, not a million strings.
    void AssignText(std::string text);
    // The same with a text shared with others (the job scans the program from it).
    void AssignShared(std::shared_ptr<const std::string> text);
    void Clear();

    ChangeNotifier& Changes() { return changes_; }
    std::uint64_t Revision() const { return changes_.Revision(); }

  private:
    std::shared_ptr<const std::string> text_;  // the lines, each followed by "\n"
    std::vector<std::size_t> starts_;          // where each line begins in text_
    ChangeNotifier changes_;
};

// The texts of the "Program data" frame: its caption names the recognised dialect, one label
// shows units and part size, the other the program's comment.
class ProgramDataLabels {
  public:
    const std::string& Frame() const { return frame_; }
    const std::string& Dimensions() const { return dimensions_; }
    const std::string& Comment() const { return comment_; }

    void SetFrame(std::string_view text) { Set(frame_, text); }
    void SetDimensions(std::string_view text) { Set(dimensions_, text); }
    void SetComment(std::string_view text) { Set(comment_, text); }

    ChangeNotifier& Changes() { return changes_; }

  private:
    void Set(std::string& field, std::string_view text);

    std::string frame_ = "Program data";
    std::string dimensions_;
    std::string comment_;
    ChangeNotifier changes_;
};

// What AddVVar does with its text.
enum class VVarMode : int {
    kClear = 0,  // empty the list; the text is ignored
    kName = 1,   // next name, column 1
    kValue = 2,  // next value, column 2
};

// The fields of one R variable entry as AddRVar split it.
using RVarFields = RVarEntry;

// The "R Variables" cell of a worklist row: the entries and, for its note, the descriptions.
struct RVarTexts {
    std::string text;
    std::string note;
};

// The lists of the Control Panel as models: what was recognised in the last program and what
// the last job found. The window's grids are views on them; the translators, the job driver and
// the worklist fill them through the operations below.
class ControlPanelLists {
  public:
    // Grid layouts. The variable lists hold what a program declares; more rows are added when
    // more arrive.
    static constexpr int kVVarRows = 8;          // V0 … V7
    static constexpr int kDimRows = 3;           // length, width, thickness
    static constexpr int kSubListRows = 10;      // rows of an empty subprogram list
    static constexpr int kStoredRVarRows = 300;  // rows StoreRVarsInRow reads, one per R variable

    ControlPanelLists();

    TextGrid& VVarList() { return vVarList_; }  // column 1 names, column 2 value expressions
    TextGrid& RVarList() { return rVarList_; }  // name, value text, description
    TextGrid& DimList() { return dimList_; }    // column 1 captions, column 2 sizes
    TextGrid& SubList() { return subList_; }    // caller, file name with its parameters as note
    TextList& LayerList() { return layerList_; }
    TextList& PrgList() { return prgList_; }
    TextList& MessageList() { return messageList_; }  // what the last job could not read or draw
    ProgramDataLabels& Labels() { return labels_; }
    const TextGrid& VVarList() const { return vVarList_; }
    const TextGrid& RVarList() const { return rVarList_; }
    const TextGrid& DimList() const { return dimList_; }
    const TextGrid& SubList() const { return subList_; }
    const TextList& LayerList() const { return layerList_; }
    const TextList& PrgList() const { return prgList_; }
    const TextList& MessageList() const { return messageList_; }
    const ProgramDataLabels& Labels() const { return labels_; }

    // Enables the V, R and dimension lists together: editable while a worklist row is being
    // edited, greyed while a program file is only previewed.
    void SetVariableListsEnabled(bool enabled);
    bool VariableListsEnabled() const { return vVarList_.Enabled(); }

    // Names and values have counters of their own and pair up by order of arrival, so three
    // names and two values leave the third name without a value.
    void AddVVar(VVarMode mode, std::string_view text);

    // "Clear" empties the R list. Any other entry has every "#" turned into "R" and is split at
    // "|" and "=" into name, value and description, which fill the next row; the entry then
    // becomes name=value. Returns the fields (all empty for "Clear").
    RVarFields AddRVar(std::string& entry);
    // The next row with fields already split.
    void AddRVar(const RVarFields& fields);

    // Part size in the standard number form (a leading blank for numbers that are not negative).
    void ShowPartSize(const ProgramHeader& header);
    void ClearPartSize();
    // The sizes as shown or typed: length, width (height), thickness.
    const std::string& GetDimX() const { return dimList_.Text(1, 2); }
    const std::string& GetDimY() const { return dimList_.Text(2, 2); }
    const std::string& GetDimZ() const { return dimList_.Text(3, 2); }

    // "Clear" empties the subprogram list (greyed, 10 rows). Otherwise the next row takes the
    // caller text and the call's file name; the file name's cell gets a note listing the call's
    // non-empty parameters, or none when it has none. A null call lists an empty file name.
    void AddSubprogramCall(std::string_view caller, const SubprogramCall* call);
    // The whole list after a job: "Clear", then every call with its parent number as caller.
    void ListSubprogramCalls(const std::vector<SubprogramCall>& calls);

    // The message list afresh: one line per diagnostic, "FILE:LINE: message" with the file's
    // name only (the folder is the program's), "FILE: message" when no line applies.
    void ListDiagnostics(const std::vector<Diagnostic>& diagnostics);

    // The worklist text forms of the lists.
    std::string VVarText() const;
    RVarTexts RVarText() const;

    // Write those forms into the "V Variables" or "R Variables" cell (and note) of the current
    // job's row. With no current job (row below 1, or past the worklist) it is left alone: false.
    bool StoreVVarsInRow(Worklist& worklist, int currentRow) const;
    bool StoreRVarsInRow(Worklist& worklist, int currentRow) const;

  private:
    TextGrid vVarList_;
    TextGrid rVarList_;
    TextGrid dimList_;
    TextGrid subList_;
    TextList layerList_;
    TextList prgList_;
    TextList messageList_;
    ProgramDataLabels labels_;

    int vNameCount_ = 0;
    int vValueCount_ = 0;
    int rRowCount_ = 0;
    int subCount_ = 0;
};

}  // namespace retracer
