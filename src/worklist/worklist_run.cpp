#include "worklist/worklist_run.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "labels/label_block.h"
#include "settings/atomic_file.h"
#include "translate/file_lookup.h"
#include "translate/job_driver.h"
#include "translate/session.h"
#include "translate/text_codec.h"
#include "translate/value_text.h"
#include "variables/job_variables.h"
#include "worklist/row_program.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;
using Translation = RunReport::Translation;

std::string PathText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

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
        plan.outputKey = UpperAscii(plan.overrideName);
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
        plans.push_back(std::move(plan));
    }
    return plans;
}

void SetRowDimensions(ProgramHeader& header, const RowPlan& plan) {
    header.partLength = plan.length;
    header.partWidth = plan.width;
    header.partThickness = plan.thickness;
}

JobState RowJob(const RowPlan& plan, bool forceSave) {
    JobState job;
    job.forceSave = forceSave;
    job.dimsFromJob = true;
    job.currentRow = plan.row;
    job.outputNameOverride = plan.overrideName;
    job.rowVariables = plan.vars;
    return job;
}

// One drawing of a row; session.header holds the row's recognised program. `counter` goes in
// as the job's HBD counter and comes out as the label block left it.
Translation TranslateCopy(Session& session, const RowPlan& plan, bool mirror, bool forceSave,
                          int& counter) {
    SetRowDimensions(session.header, plan);
    JobState job = RowJob(plan, forceSave);
    job.mirrorJob = mirror;
    job.hbdCounter = counter;
    const JobOutcome outcome = TranslateJob(session, job, plan.jobNumber, plan.program);
    counter = job.hbdCounter;
    return Translation{plan.row, mirror, outcome.output, outcome.written,
                       std::move(job.diagnostics)};
}

// The Control Panel shows the row after its jobs, as a click on it would.
void ShowRow(Session& session, const RowPlan& plan) {
    SetRowDimensions(session.header, plan);
    TranslationState shown;
    LoadJobVariables(plan.vars, session.header, shown, session.panel);
}

// Passes a worker's messages to whichever recording belongs to the job it is running.
class ForwardingPrompt : public Prompt {
  public:
    RecordingPrompt* target = nullptr;
    void Show(std::string_view title, std::string_view text, PromptIcon icon) override {
        target->Show(title, text, icon);
    }
    bool AskYesNo(std::string_view title, std::string_view text, bool safeAnswer) override {
        return target->AskYesNo(title, text, safeAnswer);
    }
};

// A worker's own copy of what a job reads: settings, tool table, layer roots and the worklist are
// copied and only read; the Control Panel lists, header and prompt are its own.
struct Worker {
    explicit Worker(const Session& main) : session(main.paths, prompt, store) {
        session.settings = main.settings;
        session.roots = main.roots;
        session.tools = main.tools;
        session.letters = main.letters;
        session.destFolder = main.destFolder;
        session.worklistFolder = main.worklistFolder;
        // The label block reads the job texts of the row; the copy is only read, and tells no
        // view about anything.
        session.worklist = main.worklist;
        session.worklist.Changes().SetChangeHandler(nullptr);
    }
    ForwardingPrompt prompt;
    MemoryUserSettingsStore store;
    Session session;
};

// Runs body(worker, index) for every index below `count` on up to workers.size() threads.
template <typename Body>
void ParallelFor(std::vector<std::unique_ptr<Worker>>& workers, std::size_t count, Body body) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto loop = [&](Worker& worker) {
        try {
            for (std::size_t i = next++; i < count; i = next++) body(worker, i);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> threads;
    const std::size_t used = std::min(workers.size(), count);
    for (std::size_t t = 1; t < used; ++t) threads.emplace_back(loop, std::ref(*workers[t]));
    if (used > 0) loop(*workers[0]);
    for (std::thread& thread : threads) thread.join();
    if (failure) std::rethrow_exception(failure);
}

// Replays recorded messages to the user's prompt. A question answered No stops: false.
bool Replay(const RecordingPrompt& recorded, Session& session) {
    for (const RecordingPrompt::Message& m : recorded.messages) {
        if (!m.question) {
            session.prompt.Show(m.title, m.text, m.icon);
        } else if (!session.prompt.AskYesNo(m.title, m.text, true)) {
            session.stopRequested = true;
            return false;
        }
    }
    return true;
}

struct RunCursor {
    int hbdCounter = 0;
    const RowPlan* lastShown = nullptr;
};

// Rows in order on the caller's session: what the user sees while it runs.
// Asks the caller's hook whether to take up the row; a refusal ends the run at that row.
bool GoOn(const RunOptions& options, int row, std::size_t done, std::size_t total,
          RunReport& report) {
    if (!options.beforeRow ||
        options.beforeRow(row, static_cast<int>(done), static_cast<int>(total))) {
        return true;
    }
    report.stopped = true;
    report.stopRow = row;
    return false;
}

void RunSerial(Session& session, const std::vector<RowPlan>& plans, const RunOptions& options,
               RunReport& report, RunCursor& cursor) {
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const RowPlan& plan = plans[i];
        if (!GoOn(options, plan.row, i, plans.size(), report)) return;
        JobState check = RowJob(plan, options.forceSave);
        if (!ChkPFile(session, check, plan.program)) {
            if (session.stopRequested) {
                report.stopped = true;
                report.stopRow = plan.row;
                return;
            }
            report.skipped.push_back({plan.row, plan.program, plan.missing});
            continue;
        }
        if (plan.normal) {
            report.translations.push_back(
                TranslateCopy(session, plan, false, options.forceSave, cursor.hbdCounter));
        }
        if (plan.mirrored) {
            report.translations.push_back(
                TranslateCopy(session, plan, true, options.forceSave, cursor.hbdCounter));
        }
        ShowRow(session, plan);
        cursor.lastShown = &plan;
    }
}

// Rows with their programs present, translated on the workers; then their messages go to the
// user in row order, and a question answered No ends the run there as it would have in order.
bool RunParallelSegment(Session& session, std::vector<std::unique_ptr<Worker>>& workers,
                        const std::vector<const RowPlan*>& segment, const RunOptions& options,
                        RunReport& report, RunCursor& cursor) {
    struct RowResult {
        bool recognized = false;
        ProgramHeader header;
        RecordingPrompt messages;
    };
    std::vector<RowResult> rows(segment.size());
    ParallelFor(workers, segment.size(), [&](Worker& worker, std::size_t i) {
        worker.prompt.target = &rows[i].messages;
        JobState check = RowJob(*segment[i], options.forceSave);
        rows[i].recognized = ChkPFile(worker.session, check, segment[i]->program);
        rows[i].header = worker.session.header;
    });

    // Every copy gets the HBD counter it would have had in order: one more per job before it.
    struct Copy {
        std::size_t rowIndex;
        bool mirror;
        int counterIn;
        int counterOut = 0;
        Translation result;
        RecordingPrompt messages;
    };
    std::vector<Copy> copies;
    int counter = cursor.hbdCounter;
    const bool counting = session.settings.options.renameForHbd;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (!rows[i].recognized) continue;
        for (bool mirror : {false, true}) {
            if (!(mirror ? segment[i]->mirrored : segment[i]->normal)) continue;
            copies.push_back(Copy{i, mirror, counter, 0, {}, {}});
            if (counting) counter = NextHbdCounter(counter);
        }
    }
    auto translate = [&](Worker& worker, std::size_t k) {
        Copy& copy = copies[k];
        worker.prompt.target = &copy.messages;
        worker.session.header = rows[copy.rowIndex].header;
        copy.counterOut = copy.counterIn;
        copy.result = TranslateCopy(worker.session, *segment[copy.rowIndex], copy.mirror,
                                    options.forceSave, copy.counterOut);
    };
    ParallelFor(workers, copies.size(), translate);
    // Should a job have moved the counter other than by one, the jobs after it are done again in
    // order with the counter carried, so the numbers still match a run in order.
    for (std::size_t k = 0; k + 1 < copies.size(); ++k) {
        if (copies[k].counterOut == copies[k + 1].counterIn) continue;
        for (std::size_t j = k + 1; j < copies.size(); ++j) {
            copies[j].counterIn = copies[j - 1].counterOut;
            copies[j].messages = RecordingPrompt();
            translate(*workers[0], j);
        }
        break;
    }
    if (!copies.empty()) cursor.hbdCounter = copies.back().counterOut;

    std::size_t k = 0;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        const RowPlan& plan = *segment[i];
        if (!Replay(rows[i].messages, session)) {
            report.stopped = true;
            report.stopRow = plan.row;
            return false;
        }
        if (!rows[i].recognized) report.skipped.push_back({plan.row, plan.program, plan.missing});
        for (; k < copies.size() && copies[k].rowIndex == i; ++k) {
            Replay(copies[k].messages, session);
            report.translations.push_back(std::move(copies[k].result));
        }
        if (rows[i].recognized) cursor.lastShown = &plan;
    }
    return true;
}

void RunParallel(Session& session, const std::vector<RowPlan>& plans, const RunOptions& options,
                 RunReport& report, RunCursor& cursor) {
    std::vector<std::unique_ptr<Worker>> workers;
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(options.jobs), plans.size());
    for (std::size_t t = 0; t < count; ++t) workers.push_back(std::make_unique<Worker>(session));

    // A missing program asks the user whether to go on, so the rows are done in stretches
    // between missing programs, and each question comes after the messages of the rows before.
    std::vector<const RowPlan*> segment;
    for (std::size_t i = 0; i <= plans.size(); ++i) {
        if (i < plans.size() && !plans[i].missing) {
            segment.push_back(&plans[i]);
            continue;
        }
        const std::size_t first = i - segment.size();
        if (!segment.empty() && !GoOn(options, segment.front()->row, first, plans.size(), report))
            return;
        if (!RunParallelSegment(session, workers, segment, options, report, cursor)) return;
        segment.clear();
        if (i == plans.size()) break;
        if (!GoOn(options, plans[i].row, i, plans.size(), report)) return;
        JobState check = RowJob(plans[i], options.forceSave);
        if (!ChkPFile(session, check, plans[i].program)) {
            if (session.stopRequested) {
                report.stopped = true;
                report.stopRow = plans[i].row;
                return;
            }
            report.skipped.push_back({plans[i].row, plans[i].program, plans[i].missing});
        }
    }
    // The Control Panel ends showing the last row, as after a run in order.
    if (cursor.lastShown != nullptr) {
        JobState check = RowJob(*cursor.lastShown, options.forceSave);
        if (ChkPFile(session, check, cursor.lastShown->program))
            ShowRow(session, *cursor.lastShown);
    }
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
        return;
    }
    report.batchList = target;
    if (options.raiseWindow) options.raiseWindow(kNestingWindowTitle);
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

void RaiseWindowByTitle(std::string_view title) {
    // Only where a desktop runs and the tool is there; the result is of no interest.
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) return;
    if (std::system("command -v wmctrl >/dev/null 2>&1") != 0) return;
    std::string quoted;
    for (char c : title) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == ' ') quoted += c;
    }
    const std::string command = "wmctrl -a '" + quoted + "' >/dev/null 2>&1";
    [[maybe_unused]] const int ignored = std::system(command.c_str());
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
    // file.
    std::map<std::string, int> asked;
    for (std::size_t r = 1; r < rows; ++r) {
        if (overrides[r].empty()) continue;
        const auto [it, fresh] = asked.emplace(UpperAscii(overrides[r]), static_cast<int>(r));
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
    if (counting) {
        cursor.hbdCounter = static_cast<int>(NumericValue(
            session.userStore.Get(kRetracerApp, kDefaultsSection, "Counter4HBD", "0")));
    }
    if (!plans.empty()) StoreInitDir(session, options.sourceFolder);
    if (options.jobs > 1 && plans.size() > 1) {
        RunParallel(session, plans, options, report, cursor);
    } else {
        RunSerial(session, plans, options, report, cursor);
    }
    ReportUnwritten(session, report);
    if (report.stopped) return report;
    if (counting) {
        session.userStore.Save(kRetracerApp, kDefaultsSection, "Counter4HBD",
                               " " + std::to_string(cursor.hbdCounter));
    }
    state.translateArmed = true;
    WriteBatchList(session, report, options, 1);
    return report;
}

RunReport RunSelection(Session& session, RunState& state, const fs::path& folder,
                       const std::vector<std::string>& selected, const RunOptions& options) {
    RunReport report;
    if (state.selectionRunBusy) return report;
    state.selectionRunBusy = true;
    session.stopRequested = false;
    for (std::size_t i = 0; i < selected.size(); ++i) {
        const std::string& name = selected[i];
        if (!GoOn(options, 0, i, selected.size(), report)) {
            state.selectionRunBusy = false;
            return report;
        }
        const fs::path program = FindFileIgnoringCase(folder / PathFromText(name));
        JobState job;
        job.forceSave = options.forceSave;
        if (ChkPFile(session, job, program)) {
            if (state.translateArmed) {
                StoreInitDir(session, PathText(folder));
                const JobOutcome outcome = TranslateJob(session, job, 0, program);
                report.translations.push_back(Translation{0, false, outcome.output, outcome.written,
                                                          std::move(job.diagnostics)});
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
