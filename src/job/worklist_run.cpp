#include "job/worklist_run.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <system_error>

#include "base/atomic_file.h"
#include "base/file_lookup.h"
#include "base/text_codec.h"
#include "base/value_text.h"
#include "base/worker_pool.h"
#include "job/job_driver.h"
#include "job/job_variables.h"
#include "job/session.h"
#include "labels/label_block.h"
#include "worklist/job_texts.h"
#include "worklist/row_program.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;
using Translation = RunReport::Translation;

// The output name a row asks for, as it will be written: trimmed, a trailing ".DXF" (any case)
// removed.
std::string OverrideName(const Worklist& worklist, int row) {
    std::string name(TrimSpaces(worklist.GetCell(row, WorklistColumn::kOutputFilename)));
    if (name.size() >= 4 && UpperAscii(std::string_view(name).substr(name.size() - 4)) == ".DXF") {
        name.erase(name.size() - 4);
    }
    return name;
}

// The name a row's program gives its drawing, compared without letter case: drawings end up on
// Windows file shares, where PANEL.DXF and panel.dxf are one file.
std::string DerivedKey(const Worklist& worklist, int row) {
    const std::string file(TrimSpaces(worklist.GetCell(row, WorklistColumn::kFilename)));
    if (file.empty()) return {};
    std::string name = PathText(PathFromText(file).filename());
    return UpperAscii(name.substr(0, name.find('.')));
}

// Quantities are whole numbers: 0.4 passes the "more than nothing" test but makes nothing.
bool MakesCopies(const Worklist& worklist, int row, int column) {
    return std::nearbyint(NumericValue(TrimSpaces(worklist.GetCell(row, column)))) > 0;
}

void ShowDuplicate(Prompt& prompt, int r, int r2) {
    prompt.Show("Process Error",
                "Duplicate Output Filenames Found!\rItems:  " + std::to_string(r) + " &  " +
                    std::to_string(r2),
                PromptIcon::kWarning);
}

// Everything one row's jobs need, read from the grid before any job runs.
struct RowPlan {
    int row = 0;
    fs::path program;
    bool missing = false;
    int jobNumber = 0;
    std::string overrideName;
    std::string outputKey;  // the drawing's base name in upper case
    bool normal = false;
    bool mirrored = false;
    double length = 0;
    double width = 0;
    double thickness = 0;
    JobRowVariables vars;
    std::array<JobTexts, 2> texts;  // what the labels show, of the normal and the mirrored copy
};

// Rows that need numbered output names: a row without an output name of its own whose program
// gives the same drawing name as a later row's. Both are flagged; a flagged row with an output
// name of its own keeps that name. Names are compared as they will be written, so PANEL.CNC and
// PANEL.PGM (both PANEL.DXF) are numbered like two rows of one program.
std::vector<bool> NumberedRows(const std::vector<std::string>& keys,
                               const std::vector<std::string>& overrides) {
    const std::size_t rows = keys.size();
    std::vector<bool> numbered(rows, false);
    std::map<std::string, std::vector<std::size_t>> byKey;
    for (std::size_t r = 1; r < rows; ++r) {
        if (!keys[r].empty()) byKey[keys[r]].push_back(r);
    }
    for (const auto& entry : byKey) {
        const std::vector<std::size_t>& list = entry.second;
        for (std::size_t i = 0; i + 1 < list.size(); ++i) {
            if (!overrides[list[i]].empty()) continue;
            for (std::size_t j = i; j < list.size(); ++j) numbered[list[j]] = true;
            break;
        }
    }
    return numbered;
}

// Two jobs of one run must not write one file (the later would silently replace the earlier),
// whatever mix of program names, numbers and output names leads there.
bool FindCollision(const std::vector<RowPlan>& plans, int& first, int& second) {
    std::map<std::string, int> owner;
    for (const RowPlan& plan : plans) {
        const std::pair<bool, const char*> copies[] = {{plan.normal, ".DXF"},
                                                       {plan.mirrored, ".M.DXF"}};
        for (const auto& [made, suffix] : copies) {
            if (!made) continue;
            const auto [it, fresh] = owner.emplace(plan.outputKey + suffix, plan.row);
            if (!fresh && it->second != plan.row) {
                first = it->second;
                second = plan.row;
                return true;
            }
        }
    }
    return false;
}

std::vector<RowPlan> PlanRows(const Session& session, const std::vector<bool>& numbered,
                              const std::vector<std::string>& keys,
                              const std::vector<std::string>& overrides) {
    const Worklist& worklist = session.worklist;
    std::vector<RowPlan> plans;
    for (int r = 1; r <= worklist.RowCount(); ++r) {
        const std::size_t index = static_cast<std::size_t>(r);
        if (worklist.GetCell(r, WorklistColumn::kFilename).empty()) continue;
        if (!(NumericValue(TrimSpaces(worklist.GetCell(r, WorklistColumn::kNorm))) > 0 ||
              NumericValue(TrimSpaces(worklist.GetCell(r, WorklistColumn::kMir))) > 0)) {
            continue;
        }
        RowPlan plan;
        plan.row = r;
        plan.program = FindFileIgnoringCase(ProgramPathOfRow(worklist, r, session.worklistFolder));
        std::error_code ec;
        plan.missing = !fs::is_regular_file(plan.program, ec);
        plan.jobNumber = numbered[index] ? -r : r;
        plan.overrideName = overrides[index];
        plan.outputKey = UpperAscii(OutputNameAsWritten(plan.overrideName));
        if (plan.outputKey.empty()) {
            plan.outputKey = keys[index];
            if (numbered[index]) plan.outputKey += "." + FormatPattern(r, "0000");
        }
        plan.normal = MakesCopies(worklist, r, WorklistColumn::kNorm);
        plan.mirrored = MakesCopies(worklist, r, WorklistColumn::kMir);
        plan.length = NumericValue(worklist.GetCell(r, WorklistColumn::kLength));
        plan.width = NumericValue(worklist.GetCell(r, WorklistColumn::kWidth));
        plan.thickness = NumericValue(worklist.GetCell(r, WorklistColumn::kThick));
        plan.vars = RowVariables(worklist, r);
        plan.texts = {JobTextsOfRow(worklist, r, false), JobTextsOfRow(worklist, r, true)};
        plans.push_back(std::move(plan));
    }
    return plans;
}

void SetRowDimensions(ProgramHeader& header, const RowPlan& plan) {
    header.partLength = plan.length;
    header.partWidth = plan.width;
    header.partThickness = plan.thickness;
}

// One drawing of a row, its program recognised as `header` and `text`.
JobRequest CopyRequest(const RowPlan& plan, ProgramHeader header,
                       std::shared_ptr<const std::string> text, bool mirror, bool forceSave,
                       int hbdCounter) {
    JobRequest request;
    request.program = plan.program;
    SetRowDimensions(header, plan);
    request.header = std::move(header);
    request.text = std::move(text);
    request.jobNumber = plan.jobNumber;
    request.mirror = mirror;
    request.forceSave = forceSave;
    request.dimsFromJob = true;
    request.outputName = plan.overrideName;
    request.rowVariables = plan.vars;
    request.texts = plan.texts[mirror ? 1 : 0];
    request.hbdCounter = hbdCounter;
    return request;
}

// The diagnostics are copied: the Control Panel may still show the job's result.
Translation TranslationOf(const RowPlan& plan, bool mirror, const JobResult& result) {
    return Translation{plan.row, mirror, result.output, result.written, result.diagnostics};
}

// A job's result reaches the user and the Control Panel as if the job had just run.
void ShowJob(Session& session, const JobResult& result) {
    RaiseJobMessages(session.prompt, result);
    ShowJobResult(session.panel, result);
    session.header = result.header;
}

// The Control Panel shows the row after its jobs, as a click on it would.
void ShowRow(Session& session, const RowPlan& plan) {
    SetRowDimensions(session.header, plan);
    ShowRowVariables(session.panel, RowVariableListsOf(plan.vars, session.header));
}

// The copies a row makes: normal, then mirrored.
std::vector<bool> CopiesOf(const RowPlan& plan) {
    std::vector<bool> copies;
    if (plan.normal) copies.push_back(false);
    if (plan.mirrored) copies.push_back(true);
    return copies;
}

struct RunCursor {
    int hbdCounter = 0;
    int rowsDone = 0;  // rows of the run begun so far
    int rowsTotal = 0;
    const RowPlan* lastShown = nullptr;
    JobResult lastResult;   // the last job, for the Control Panel
    int lastResultRow = 0;  // its row; 0 before the first job
};

bool Cancelled(const RunOptions& options) {
    return options.cancelled && options.cancelled();
}

void TellProgress(const RunOptions& options, int row, int done, int total) {
    if (options.progress) options.progress(RunProgress{row, done, total});
}

// The run ends at `row` as after the answer No to "File Not Found".
void StopAt(Session& session, RunReport& report, int row) {
    session.stopRequested = true;
    report.stopped = true;
    report.stopRow = row;
}

// Rows in order, each job shown as it finishes: what the user sees while it runs.
void RunSerial(Session& session, const std::vector<RowPlan>& plans, const RunOptions& options,
               RunReport& report, RunCursor& cursor) {
    const JobResources resources = ResourcesOf(session);
    for (const RowPlan& plan : plans) {
        if (Cancelled(options)) return StopAt(session, report, plan.row);
        TellProgress(options, plan.row, cursor.rowsDone++, cursor.rowsTotal);
        if (!ChkPFile(session, plan.program, true)) {
            if (session.stopRequested) return StopAt(session, report, plan.row);
            report.skipped.push_back({plan.row, plan.program, plan.missing});
            continue;
        }
        for (const bool mirror : CopiesOf(plan)) {
            JobResult result =
                TranslateJob(resources, CopyRequest(plan, session.header, session.recognizedText,
                                                    mirror, options.forceSave, cursor.hbdCounter));
            cursor.hbdCounter = result.hbdCounter;
            ShowJob(session, result);
            report.translations.push_back(TranslationOf(plan, mirror, result));
        }
        ShowRow(session, plan);
        cursor.lastShown = &plan;
    }
}

// Rows with their programs present, recognised and translated on several threads; then their
// messages go to the user in row order, and a question answered No (or a cancelled run) ends
// the run there as it would have in order.
class ParallelSegment {
  public:
    ParallelSegment(Session& session, const std::vector<const RowPlan*>& segment,
                    const RunOptions& options)
        : session_(session),
          resources_(ResourcesOf(session)),
          segment_(segment),
          options_(options),
          threads_(static_cast<unsigned>(options.jobs)),
          rows_(segment.size()) {}

    // False when the run stops in this segment.
    bool Run(RunReport& report, RunCursor& cursor) {
        Recognize();
        PlanCopies(cursor.hbdCounter);
        Translate(cursor);
        cursor.rowsDone += static_cast<int>(segment_.size());
        return Replay(report, cursor);
    }

  private:
    // One drawing of a row, with the HBD counter it would have had in a run in order.
    struct Copy {
        std::size_t rowIndex;
        bool mirror;
        int counterIn;
        bool done = false;
        JobResult result;
    };

    void Recognize() {
        const ProgramHeader before = session_.header;
        ParallelFor(threads_, segment_.size(), [&](std::size_t i) {
            rows_[i] = RecognizeJobProgram(session_.settings, segment_[i]->program, true, before);
            // The jobs read their programs from the files, so a long worklist's texts are not
            // all held at once.
            rows_[i].text.reset();
            rows_[i].listed.reset();
        });
    }

    // Every copy's counter is one more than the copy's before when the labels count.
    void PlanCopies(int counter) {
        const bool counting = session_.settings.options.renameForHbd;
        for (std::size_t i = 0; i < segment_.size(); ++i) {
            if (!rows_[i].found.recognized) continue;
            for (const bool mirror : CopiesOf(*segment_[i])) {
                copies_.push_back(Copy{i, mirror, counter, false, {}});
                if (counting) counter = NextHbdCounter(counter);
            }
        }
    }

    void TranslateCopy(std::size_t k) {
        Copy& copy = copies_[k];
        const ProgramRecognition& row = rows_[copy.rowIndex];
        copy.result =
            TranslateJob(resources_, CopyRequest(*segment_[copy.rowIndex], row.header, row.text,
                                                 copy.mirror, options_.forceSave, copy.counterIn));
        copy.done = true;
    }

    void Translate(const RunCursor& cursor) {
        // A row begins with its first copy: the run may be cancelled before any row begins, and
        // the rows begun are always the first few.
        const auto mayStart = [&](std::size_t k) {
            const std::size_t row = copies_[k].rowIndex;
            if (k > 0 && copies_[k - 1].rowIndex == row) return true;
            if (Cancelled(options_)) return false;
            TellProgress(options_, segment_[row]->row, cursor.rowsDone + static_cast<int>(row),
                         cursor.rowsTotal);
            return true;
        };
        ParallelFor(
            threads_, copies_.size(), [this](std::size_t k) { TranslateCopy(k); }, mayStart);
        // Should a job have moved the counter other than by one, the jobs after it are done
        // again in order with the counter carried, so the numbers still match a run in order.
        for (std::size_t k = 0; k + 1 < copies_.size() && copies_[k + 1].done; ++k) {
            if (copies_[k].result.hbdCounter == copies_[k + 1].counterIn) continue;
            for (std::size_t j = k + 1; j < copies_.size() && copies_[j].done; ++j) {
                copies_[j].counterIn = copies_[j - 1].result.hbdCounter;
                TranslateCopy(j);
            }
            break;
        }
    }

    bool Replay(RunReport& report, RunCursor& cursor) {
        std::size_t k = 0;
        for (std::size_t i = 0; i < segment_.size(); ++i) {
            const RowPlan& plan = *segment_[i];
            // A program gone since the run was planned asks now, in its place.
            if (rows_[i].found.fileMissing && !ConfirmMissingProgram(session_, plan.program)) {
                StopAt(session_, report, plan.row);
                return false;
            }
            if (!rows_[i].found.readError.empty()) {
                session_.prompt.Show("Alert!", rows_[i].found.readError, PromptIcon::kInformation);
            }
            if (!rows_[i].found.recognized) {
                report.skipped.push_back({plan.row, plan.program, plan.missing});
            }
            for (; k < copies_.size() && copies_[k].rowIndex == i; ++k) {
                Copy& copy = copies_[k];
                if (!copy.done) {
                    StopAt(session_, report, plan.row);
                    return false;
                }
                cursor.hbdCounter = copy.result.hbdCounter;
                RaiseJobMessages(session_.prompt, copy.result);
                report.translations.push_back(TranslationOf(plan, copy.mirror, copy.result));
                cursor.lastResult = std::move(copy.result);
                cursor.lastResultRow = plan.row;
            }
            if (rows_[i].found.recognized) cursor.lastShown = &plan;
        }
        return true;
    }

    Session& session_;
    const JobResources resources_;
    const std::vector<const RowPlan*>& segment_;
    const RunOptions& options_;
    const unsigned threads_;
    std::vector<ProgramRecognition> rows_;
    std::vector<Copy> copies_;
};

void RunParallel(Session& session, const std::vector<RowPlan>& plans, const RunOptions& options,
                 RunReport& report, RunCursor& cursor) {
    // A missing program asks the user whether to go on, so the rows are done in stretches
    // between missing programs, and each question comes after the messages of the rows before.
    std::vector<const RowPlan*> segment;
    for (std::size_t i = 0; i <= plans.size(); ++i) {
        if (i < plans.size() && !plans[i].missing) {
            segment.push_back(&plans[i]);
            continue;
        }
        if (!ParallelSegment(session, segment, options).Run(report, cursor)) return;
        segment.clear();
        if (i == plans.size()) break;
        if (Cancelled(options)) return StopAt(session, report, plans[i].row);
        TellProgress(options, plans[i].row, cursor.rowsDone++, cursor.rowsTotal);
        if (!ChkPFile(session, plans[i].program, true)) {
            if (session.stopRequested) return StopAt(session, report, plans[i].row);
            report.skipped.push_back({plans[i].row, plans[i].program, plans[i].missing});
        }
    }
    // The Control Panel ends as after a run in order: the last job shown, the last row's program
    // recognised, its variables shown (a row that made no drawing leaves the job before it).
    if (cursor.lastShown == nullptr) return;
    const bool jobOfLastRow = cursor.lastResultRow == cursor.lastShown->row;
    if (cursor.lastResultRow != 0 && !jobOfLastRow) ShowJobResult(session.panel, cursor.lastResult);
    if (!ChkPFile(session, cursor.lastShown->program, true)) return;
    if (jobOfLastRow) {
        ShowJobResult(session.panel, cursor.lastResult);
        session.header = cursor.lastResult.header;
    }
    ShowRow(session, *cursor.lastShown);
}

void ReportUnwritten(Session& session, const RunReport& report) {
    std::string list;
    for (const Translation& t : report.translations) {
        if (!t.written) list += "\r" + PathText(t.output);
    }
    if (!list.empty()) {
        session.prompt.Show("Process Error", "Drawings not written:" + list, PromptIcon::kWarning);
    }
}

void WriteBatchList(Session& session, RunReport& report, const RunOptions& options,
                    std::size_t minimum) {
    if (!session.settings.options.generateBatchLst) return;
    const std::vector<fs::path> outputs = report.WrittenOutputs();
    if (outputs.size() < minimum) return;
    const fs::path target = session.destFolder / kBatchListName;
    std::string error;
    if (!WriteFileAtomically(target, BatchListText(outputs), &error)) {
        session.prompt.Show("Process Error", error, PromptIcon::kWarning);
        report.batchListError = error;
        return;
    }
    report.batchList = target;
    if (options.nestingWindow != nullptr) options.nestingWindow->Raise(kNestingWindowTitle);
}

void StoreInitDir(Session& session, std::string folder) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
    session.userStore.Save(kRetracerApp, kDefaultsSection, "InitDir", folder);
}

}  // namespace

std::vector<fs::path> RunReport::WrittenOutputs() const {
    std::vector<fs::path> outputs;
    for (const Translation& t : translations) {
        if (t.written) outputs.push_back(t.output);
    }
    return outputs;
}

bool RunReport::AllWritten() const {
    return std::all_of(translations.begin(), translations.end(),
                       [](const Translation& t) { return t.written; });
}

std::string BatchListText(const std::vector<fs::path>& outputs) {
    std::string text;
    for (const fs::path& output : outputs) text += PathText(output) + "\r\n";
    return text;
}

RunReport RunWorklist(Session& session, RunState& state, const RunOptions& options) {
    RunReport report;
    session.stopRequested = false;
    const Worklist& worklist = session.worklist;
    const std::size_t rows = static_cast<std::size_t>(worklist.RowCount()) + 1;

    std::vector<std::string> overrides(rows);
    std::vector<std::string> keys(rows);
    for (std::size_t r = 1; r < rows; ++r) {
        overrides[r] = OverrideName(worklist, static_cast<int>(r));
        keys[r] = DerivedKey(worklist, static_cast<int>(r));
    }
    // Output names asked for twice, compared as they will be written: door and DOOR.dxf are one
    // file, and so are a/b and a_b.
    std::map<std::string, int> asked;
    for (std::size_t r = 1; r < rows; ++r) {
        if (overrides[r].empty()) continue;
        const auto [it, fresh] =
            asked.emplace(UpperAscii(OutputNameAsWritten(overrides[r])), static_cast<int>(r));
        if (!fresh) {
            report.duplicateNames = true;
            ShowDuplicate(session.prompt, it->second, static_cast<int>(r));
            return report;
        }
    }
    const std::vector<bool> numbered = NumberedRows(keys, overrides);
    const std::vector<RowPlan> plans = PlanRows(session, numbered, keys, overrides);
    int first = 0;
    int second = 0;
    const bool saving = options.forceSave || session.settings.options.saveOnTranslate;
    if (saving && FindCollision(plans, first, second)) {
        report.duplicateNames = true;
        ShowDuplicate(session.prompt, first, second);
        return report;
    }

    const bool counting = session.settings.options.renameForHbd;
    RunCursor cursor;
    cursor.rowsTotal = static_cast<int>(plans.size());
    if (counting) cursor.hbdCounter = LoadHbdCounter(session.userStore);
    if (!plans.empty()) StoreInitDir(session, options.sourceFolder);
    if (options.jobs > 1 && plans.size() > 1) {
        RunParallel(session, plans, options, report, cursor);
    } else {
        RunSerial(session, plans, options, report, cursor);
    }
    ReportUnwritten(session, report);
    if (report.stopped) return report;
    if (counting && !SaveHbdCounter(session.userStore, cursor.hbdCounter, HbdCounterText::kBatch)) {
        session.prompt.Show("Process Error", HbdCounterNotStored(cursor.hbdCounter),
                            PromptIcon::kWarning);
    }
    state.translateArmed = true;
    WriteBatchList(session, report, options, 1);
    TellProgress(options, 0, cursor.rowsTotal, cursor.rowsTotal);
    return report;
}

RunReport RunSelection(Session& session, RunState& state, const fs::path& folder,
                       const std::vector<std::string>& selected, const RunOptions& options) {
    RunReport report;
    if (state.selectionRunBusy) return report;
    state.selectionRunBusy = true;
    session.stopRequested = false;
    const int total = static_cast<int>(selected.size());
    for (int done = 0; done < total; ++done) {
        if (Cancelled(options)) StopAt(session, report, 0);
        if (session.stopRequested) {
            report.stopped = true;
            state.selectionRunBusy = false;
            return report;
        }
        TellProgress(options, 0, done, total);
        const std::string& name = selected[static_cast<std::size_t>(done)];
        const fs::path program = FindFileIgnoringCase(folder / PathFromText(name));
        if (ChkPFile(session, program)) {
            if (state.translateArmed) {
                StoreInitDir(session, PathText(folder));
                JobRequest request = RequestFor(session, program);
                request.forceSave = options.forceSave;
                JobResult result = TranslateJob(ResourcesOf(session), request);
                ShowJob(session, result);
                report.translations.push_back(Translation{0, false, result.output, result.written,
                                                          std::move(result.diagnostics)});
            }
        } else if (!session.stopRequested) {
            std::error_code ec;
            report.skipped.push_back({0, program, !fs::is_regular_file(program, ec)});
        }
        if (session.stopRequested) {
            report.stopped = true;
            state.selectionRunBusy = false;
            return report;
        }
    }
    state.translateArmed = true;
    ReportUnwritten(session, report);
    WriteBatchList(session, report, options, 2);
    TellProgress(options, 0, total, total);
    state.selectionRunBusy = false;
    return report;
}

RunReport ProcessButton(Session& session, RunState& state, const fs::path& folder,
                        const std::vector<std::string>& selected, const RunOptions& options) {
    RunOptions saving = options;
    saving.forceSave = true;
    if (!session.worklist.GetCell(1, WorklistColumn::kFilename).empty()) {
        return RunWorklist(session, state, saving);
    }
    return RunSelection(session, state, folder, selected, saving);
}

}  // namespace retracer
