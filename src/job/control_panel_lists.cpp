#include "job/control_panel_lists.h"

#include <algorithm>

#include "base/field_splitter.h"
#include "base/file_lookup.h"
#include "base/value_text.h"

namespace retracer {
namespace {

const std::string kNone;

// Row captions of the dimension list; the letters are the variables the sizes set.
constexpr std::string_view kDimCaptions[] = {"Length  (L) ", "Height  (H) ", "Thickness  (S) "};

// The grid's row count follows a counter that has gone past it.
void GrowTo(TextGrid& grid, int row) {
    if (grid.RowCount() < row) grid.SetRowCount(row);
}

std::string_view TrimLeadingBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == text.npos ? std::string_view() : text.substr(first);
}

}  // namespace

std::string_view TextList::Line(int index) const {
    if (index < 0 || index >= Count()) return {};
    const std::string& text = *text_;
    const std::size_t start = starts_[static_cast<std::size_t>(index)];
    return std::string_view(text).substr(start, text.find('\n', start) - start);
}

void TextList::Add(std::string_view line) {
    auto text = std::make_shared<std::string>(text_ ? *text_ : std::string());
    starts_.push_back(text->size());
    text->append(line);
    text->push_back('\n');
    text_ = std::move(text);
    changes_.Notify({Count(), 1});
}

void TextList::AssignText(std::string text) {
    if (!text.empty() && text.back() != '\n') text.push_back('\n');
    AssignShared(std::make_shared<const std::string>(std::move(text)));
}

void TextList::AssignShared(std::shared_ptr<const std::string> text) {
    text_ = std::move(text);
    starts_.clear();
    const std::string_view view = text_ ? std::string_view(*text_) : std::string_view();
    for (std::size_t at = 0; at < view.size();) {
        starts_.push_back(at);
        const std::size_t end = view.find('\n', at);
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    changes_.Notify({});
}

void TextList::Clear() {
    if (starts_.empty()) return;
    text_.reset();
    starts_.clear();
    changes_.Notify({});
}

void ProgramDataLabels::Set(std::string& field, std::string_view text) {
    if (field == text) return;
    field.assign(text);
    changes_.Notify({});
}

ControlPanelLists::ControlPanelLists()
    : vVarList_(kVVarRows, 2), rVarList_(0, 3), dimList_(kDimRows, 2), subList_(kSubListRows, 2) {
    for (int row = 1; row <= kDimRows; ++row) dimList_.SetText(row, 1, kDimCaptions[row - 1]);
}

void ControlPanelLists::SetVariableListsEnabled(bool enabled) {
    vVarList_.SetEnabled(enabled);
    rVarList_.SetEnabled(enabled);
    dimList_.SetEnabled(enabled);
}

void ControlPanelLists::AddVVar(VVarMode mode, std::string_view text) {
    switch (mode) {
        case VVarMode::kClear:
            vVarList_.ClearCells();
            vNameCount_ = 0;
            vValueCount_ = 0;
            return;
        case VVarMode::kName:
            GrowTo(vVarList_, ++vNameCount_);
            vVarList_.SetText(vNameCount_, 1, text);
            return;
        case VVarMode::kValue:
            GrowTo(vVarList_, ++vValueCount_);
            vVarList_.SetText(vValueCount_, 2, text);
            return;
    }
}

RVarFields ControlPanelLists::AddRVar(std::string& entry) {
    if (entry == "Clear") {
        rVarList_.ClearCells();
        rRowCount_ = 0;
        return {};
    }
    RVarFields split = SplitRVarLine(entry);
    AddRVar(split);
    return split;
}

void ControlPanelLists::AddRVar(const RVarFields& fields) {
    GrowTo(rVarList_, ++rRowCount_);
    rVarList_.SetText(rRowCount_, 1, fields.name);
    rVarList_.SetText(rRowCount_, 2, fields.value);
    rVarList_.SetText(rRowCount_, 3, fields.description);
}

void ControlPanelLists::ShowPartSize(const ProgramHeader& header) {
    dimList_.SetText(1, 2, StandardText(header.partLength));
    dimList_.SetText(2, 2, StandardText(header.partWidth));
    dimList_.SetText(3, 2, StandardText(header.partThickness));
}

void ControlPanelLists::ClearPartSize() {
    for (int row = 1; row <= kDimRows; ++row) dimList_.SetText(row, 2, "");
}

void ControlPanelLists::AddSubprogramCall(std::string_view caller, const SubprogramCall* call) {
    if (caller == "Clear") {
        subList_.ClearCells();
        subList_.SetEnabled(false);  // shown greyed: the list is a report, not an editor
        subList_.SetRowCount(0);
        subList_.SetRowCount(kSubListRows);
        subCount_ = 0;
        return;
    }
    const std::string& fileName = call != nullptr ? call->fileName : kNone;
    GrowTo(subList_, ++subCount_);
    subList_.SetText(subCount_, 1, caller);
    subList_.SetText(subCount_, 2, fileName);

    std::string note;
    if (call != nullptr) {
        for (int i = 0; i < SubprogramCall::kParameterCount; ++i) {
            const std::string& parameter = call->parameters[static_cast<std::size_t>(i)];
            if (parameter.empty()) continue;
            if (note.empty()) note = "Rnnn: " + fileName + "\r";
            note += "R" + std::to_string(i) + "=" + parameter + "\r";
        }
    }
    subList_.SetNote(subCount_, 2, note);
}

void ControlPanelLists::ListSubprogramCalls(const std::vector<SubprogramCall>& calls) {
    AddSubprogramCall("Clear", nullptr);
    for (const SubprogramCall& call : calls)
        AddSubprogramCall(StandardText(static_cast<double>(call.parentCall)), &call);
}

void ControlPanelLists::ListDiagnostics(const std::vector<Diagnostic>& diagnostics) {
    std::string text;
    for (const Diagnostic& d : diagnostics) {
        text += PathText(PathFromText(d.file).filename());
        if (d.line > 0) text += ":" + std::to_string(d.line);
        text += ": ";
        // One line per message, whatever a message holds.
        for (char c : d.message) text += c == '\n' || c == '\r' ? ' ' : c;
        text += '\n';
    }
    messageList_.AssignText(std::move(text));
}

std::string ControlPanelLists::VVarText() const {
    std::string text;
    for (int row = 1; row <= kVVarRows; ++row) {
        if (row > 1) text += kVVarSeparator;
        text += vVarList_.Text(row, 1);
        text += '=';
        text += vVarList_.Text(row, 2);
    }
    return text;
}

RVarTexts ControlPanelLists::RVarText() const {
    RVarTexts texts;
    for (int row = 1; row <= kStoredRVarRows; ++row) {
        const std::string& name = rVarList_.Text(row, 1);
        if (!TrimLeadingBlanks(name).starts_with('R')) continue;
        // Both keep the separator after every entry; the text drops its last one below.
        texts.text += name + "=" + rVarList_.Text(row, 2);
        texts.text += kRVarSeparator;
        texts.note += rVarList_.Text(row, 3);
        texts.note += kRVarSeparator;
    }
    if (!texts.text.empty()) texts.text.resize(texts.text.size() - kRVarSeparator.size());
    return texts;
}

bool ControlPanelLists::StoreVVarsInRow(Worklist& worklist, int currentRow) const {
    if (currentRow < 1 || currentRow > worklist.RowCount()) return false;
    worklist.SetCell(currentRow, WorklistColumn::kVVariables, VVarText());
    return true;
}

bool ControlPanelLists::StoreRVarsInRow(Worklist& worklist, int currentRow) const {
    if (currentRow < 1 || currentRow > worklist.RowCount()) return false;
    const RVarTexts texts = RVarText();
    worklist.SetCell(currentRow, WorklistColumn::kRVariables, texts.text);
    worklist.SetCellNote(currentRow, WorklistColumn::kRVariables, texts.note);
    return true;
}

}  // namespace retracer
