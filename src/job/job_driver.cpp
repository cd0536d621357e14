#include "job/job_driver.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <system_error>

#include "base/file_lookup.h"
#include "base/line_scanner.h"
#include "base/value_text.h"
#include "drawing/drawing_writer.h"
#include "job/control_panel_lists.h"
#include "job/job_labels.h"
#include "job/job_variables.h"
#include "job/session.h"
#include "translate/genesis_ev.h"
#include "translate/genesis_iso.h"
#include "translate/route_path.h"
#include "translate/translation_context.h"
#include "worklist/job_texts.h"

namespace retracer {
namespace {

constexpr std::string_view kFileError = "File Error. File may be open by another application.";

// Nesting depth of call k below the main program (call 1 found in the main program is 1).
int CallDepth(const JobState& job, int call) {
    int depth = 0;
    for (int k = call; k > 0 && depth <= kMaxSubprogramDepth + 1; ++depth) {
        k = job.calls[static_cast<std::size_t>(k - 1)].parentCall;
    }
    return depth;
}

// The scanner's events for one job: every line goes to the translator of the dialect.
class JobScan : public ScanHandler {
  public:
    using LineTranslator = std::function<void(FieldSplitter&, std::string_view, int)>;

    JobScan(const TranslationContext& context, const JobRowVariables& row, RowVariableLists& lists)
        : context_(context), row_(row), lists_(lists) {}

    void SetTranslator(LineTranslator translate) { translate_ = std::move(translate); }
    void SetFile(std::string file) {
        file_ = std::move(file);
        nulReported_ = false;
    }

    void ScanBegin(LineScanner&) override {
        JobState& job = context_.job;
        TranslationState& state = context_.state;
        job.programOffsetX.clear();
        job.programOffsetY.clear();
        job.programOffsetZ.clear();
        state.routeSeq.clear();
        if (SubprogramCall* call = job.CurrentCall()) {
            // The call's parameters become the subprogram's R variables.
            for (int i = 0; i < SubprogramCall::kParameterCount; ++i) {
                state.vars.r[static_cast<std::size_t>(i)] =
                    call->parameters[static_cast<std::size_t>(i)];
            }
            // Parents are scanned before their children, so a parent's offsets already hold
            // those of its own ancestors.
            if (call->parentCall > 0) {
                const SubprogramCall& parent =
                    job.calls[static_cast<std::size_t>(call->parentCall - 1)];
                call->offsetX += parent.offsetX;
                call->offsetY += parent.offsetY;
                call->offsetZ += parent.offsetZ;
            }
        } else {
            // A job from a worklist row loads the row's variables here.
            lists_ = LoadJobVariables(row_, context_.header, state);
            for (const std::string& name : lists_.unknownRNames) {
                context_.Warn(file_, 0,
                              "the worklist row's R variable \"" + name +
                                  "\" does not exist (R0 to R299); the entry is ignored");
            }
        }
    }

    void LineRead(LineScanner& scanner) override {
        // No program text holds a NUL: said once per file, as the file is damaged or no program.
        if (!nulReported_ && scanner.Current().Text().find('\0') != std::string::npos) {
            nulReported_ = true;
            context_.Warn(file_, scanner.LineNumber(),
                          "NUL bytes in the line: the file is damaged or is no program text");
        }
        if (translate_) translate_(scanner.Current(), file_, scanner.LineNumber());
    }

    void ScanEnd(LineScanner&) override { EndRoutePath(context_.Routes(nullptr)); }

  private:
    const TranslationContext& context_;
    const JobRowVariables& row_;
    RowVariableLists& lists_;
    LineTranslator translate_;
    std::string file_;
    bool nulReported_ = false;
};

// The translator of the program's dialect, fed by the scan.
struct DialectTranslator {
    std::unique_ptr<GenesisEvTranslator> genesisEv;
    std::unique_ptr<GenesisIsoTranslator> genesisIso;

    DialectTranslator(const TranslationContext& context, JobScan& scan) {
        if (context.header.dialect == Dialect::kGenesisEv) {
            genesisEv = std::make_unique<GenesisEvTranslator>(context);
            scan.SetTranslator([this](FieldSplitter& line, std::string_view file, int number) {
                genesisEv->TranslateLine(line, file, number);
            });
        } else if (context.header.dialect == Dialect::kGenesis) {
            genesisIso = std::make_unique<GenesisIsoTranslator>(context);
            scan.SetTranslator([this](FieldSplitter& line, std::string_view file, int number) {
                genesisIso->TranslateLine(line, file, number);
            });
        }
    }
};

// Scans the main program, then every subprogram it calls (calls found on the way are appended
// and scanned in turn), as far as the limits on calls, nesting and the drawing's size allow.
void ScanProgramAndCalls(const JobResources& resources, const JobRequest& request,
                         const DrawingWriter& writer, JobState& job, TranslationState& state,
                         JobScan& scan, JobResult& result) {
    LineScanner scanner;
    const std::filesystem::path mainFolder = request.program.parent_path();
    const std::string& subFolder = resources.settings.subprogramFolder;
    std::filesystem::path current = request.program;
    std::set<std::filesystem::path> filesRead;
    std::uintmax_t programBytes = 0;  // of the files read, each once
    for (;;) {
        if (!current.empty() && filesRead.insert(current).second) {
            std::error_code ec;
            const std::uintmax_t bytes = current == request.program && request.text
                                             ? request.text->size()
                                             : std::filesystem::file_size(current, ec);
            if (!ec) programBytes += bytes;
        }
        state.condStack.fill(true);
        scan.SetFile(PathText(current));
        if ((job.currentCall == 0 || current == request.program) && request.text) {
            scanner.ScanText(*request.text, scan);
        } else if (std::error_code ec; std::filesystem::is_regular_file(current, ec)) {
            // Only a plain file is read: a folder, a device or a pipe under the program's name
            // would fail or wait forever.
            std::string error;
            if (!scanner.ScanFile(current, scan, &error)) {
                if (scanner.Interrupted() || job.currentCall == 0) {
                    // Half a program makes a wrong part, and an unreadable main program makes
                    // none: nothing is written, and an earlier drawing stays as it was.
                    result.programError = error + "; the program was not translated";
                    result.diagnostics.push_back(Diagnostic{
                        PathText(current), scanner.Interrupted() ? scanner.LineNumber() + 1 : 0,
                        result.programError});
                    return;
                }
                job.diagnostics.push_back(Diagnostic{PathText(current), 0, error});
                result.missingSubprogram = current;
            }
        } else if (job.currentCall == 0) {
            result.programError = "Cannot read \"" + PathText(current) +
                                  "\": not a file; the program was not translated";
            result.diagnostics.push_back(Diagnostic{PathText(current), 0, result.programError});
            return;
        }

        if (job.currentCall >= static_cast<int>(job.calls.size())) break;
        if (job.currentCall >= kMaxSubprogramCalls) {
            result.cutCalls = PathText(current) + ": more than " +
                              std::to_string(kMaxSubprogramCalls) + " subprogram calls";
            break;
        }
        const std::uintmax_t maxEntities = programBytes * kMaxEntitiesPerProgramByte;
        // Holes asked for count too: outside any face they draw nothing, yet take their time.
        if (std::max<std::uintmax_t>(writer.EntityCount(), job.holesRequested) > maxEntities) {
            result.cutCalls = PathText(current) + ": the drawing holds more than " +
                              std::to_string(maxEntities) + " entities, " +
                              std::to_string(kMaxEntitiesPerProgramByte) +
                              " for each byte of the program files";
            break;
        }
        ++job.currentCall;
        const SubprogramCall& call = job.calls[static_cast<std::size_t>(job.currentCall - 1)];
        const std::filesystem::path name = PathFromText(call.fileName);
        current = subFolder.size() > 2 ? PathFromText(subFolder) / name : mainFolder / "SUB" / name;
        current = FindFileIgnoringCase(current);
        if (CallDepth(job, job.currentCall) > kMaxSubprogramDepth) {
            // A subprogram calling itself: this call and everything below it is left out.
            result.cutCalls = PathText(current) + ": nested more than " +
                              std::to_string(kMaxSubprogramDepth) + " levels deep";
            current.clear();
            continue;
        }
        std::error_code ec;
        if (!std::filesystem::is_regular_file(current, ec)) result.missingSubprogram = current;
    }
}

// The drawing of one job: opened, translated, labelled and written.
void TranslateJobDrawing(const JobResources& resources, const JobRequest& request,
                         JobResult& result) {
    DrawingWriter writer;
    if (!writer.OpenDrawing(result.output)) {
        result.fileError = true;
        // The message box names the file only; the reason goes with the diagnostics.
        result.diagnostics.push_back(Diagnostic{PathText(result.output), 0, writer.Error()});
        return;
    }
    writer.StartDrawing();

    JobState job;
    job.mirrorJob = request.mirror;
    job.dimsFromJob = request.dimsFromJob;
    TranslationState state;
    const TranslationContext context{
        state,           job,   result.header, resources.settings.options, resources.tools,
        resources.roots, writer};
    JobScan scan(context, request.rowVariables, result.rowLists);
    const DialectTranslator translator(context, scan);
    ScanProgramAndCalls(resources, request, writer, job, state, scan, result);
    if (!result.programError.empty()) {
        // The writer goes without leaving a file; what was found before the fault still shows.
        result.diagnostics.insert(result.diagnostics.begin(),
                                  std::make_move_iterator(job.diagnostics.begin()),
                                  std::make_move_iterator(job.diagnostics.end()));
        return;
    }
    result.scanned = true;
    if (job.diagnosticsLeftOut > 0) {
        job.diagnostics.push_back(Diagnostic{
            PathText(request.program), 0,
            std::to_string(job.diagnosticsLeftOut) + " further problems were found; not listed"});
    }

    // The part's label block and engraved labels go in before the drawing is written.
    AddJobLabelBlock(resources, request, job, state, writer, result);
    EngraveJobLabels(resources, job, writer);

    result.written = writer.CloseDrawing();
    result.fileError = !result.written;
    if (!writer.Error().empty()) {
        // Why the file could not be written, or a drawing operation out of order (a fault of
        // ours, not of the program).
        result.diagnostics.push_back(Diagnostic{PathText(result.output), 0, writer.Error()});
    }
    result.entitiesPerLayer = writer.EntitiesPerLayer();
    result.entityCount = writer.EntityCount();

    result.calls = std::move(job.calls);
    result.labelFields = std::move(job.labelFields);
    result.unitDivisor = job.unitDivisor;
    result.diagnostics.insert(result.diagnostics.begin(),
                              std::make_move_iterator(job.diagnostics.begin()),
                              std::make_move_iterator(job.diagnostics.end()));
}

// Fills the V list afresh with name and value pairs.
void ListVVars(ControlPanelLists& panel,
               const std::vector<std::pair<std::string, std::string>>& vVars) {
    panel.AddVVar(VVarMode::kClear, "");
    for (const auto& [name, value] : vVars) {
        panel.AddVVar(VVarMode::kName, name);
        panel.AddVVar(VVarMode::kValue, value);
    }
}

}  // namespace

ProgramRecognition RecognizeJobProgram(const Settings& settings, const std::filesystem::path& given,
                                       bool dimsFromJob, const ProgramHeader& before) {
    ProgramRecognition recognition;
    recognition.program = FindFileIgnoringCase(given);
    recognition.header = before;
    recognition.found = RecognizeProgram(recognition.program, settings.allVariables, dimsFromJob,
                                         recognition.header);
    Recognition& found = recognition.found;
    if (found.recognized) {
        if (!found.wholeText) found.programText += found.listNote + "\n";
        recognition.listed = std::make_shared<const std::string>(std::move(found.programText));
        if (found.wholeText) recognition.text = recognition.listed;
    }
    found.programText.clear();
    return recognition;
}

void ShowRecognition(ControlPanelLists& panel, const ProgramRecognition& recognition) {
    const Recognition& found = recognition.found;
    panel.Labels().SetDimensions(found.labDim);
    panel.Labels().SetComment(found.labCmt);
    panel.Labels().SetFrame(found.framePD);
    if (!found.recognized) return;
    ListVVars(panel, found.vVars);
    // While a worklist row's variables are being edited the R list shows the row, not the file.
    if (!panel.VariableListsEnabled() && recognition.header.dialect == Dialect::kGenesisEv) {
        std::string clear = "Clear";
        panel.AddRVar(clear);
        for (std::string line : found.rVarLines) panel.AddRVar(line);
    }
    if (recognition.listed) panel.PrgList().AssignShared(recognition.listed);
}

std::string OutputNameAsWritten(std::string_view outputName) {
    std::string name(outputName);
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    return name;
}

std::filesystem::path OutputPathFor(const JobResources& resources, const JobRequest& request) {
    if (!(resources.settings.options.saveOnTranslate || request.forceSave)) {
        return resources.paths.appFolder / "Temp.DXF";
    }
    std::string base = PathText(request.program.filename());
    base = base.substr(0, base.find('.'));
    if (request.jobNumber < 0) {
        base += "." + FormatPattern(-static_cast<double>(request.jobNumber), "0000");
    }
    if (!request.outputName.empty()) base = OutputNameAsWritten(request.outputName);
    base += request.mirror ? ".M.DXF" : ".DXF";
    return resources.destFolder / base;
}

JobResult TranslateJob(const JobResources& resources, const JobRequest& request) {
    JobResult result;
    result.header = request.header;
    result.hbdCounter = request.hbdCounter;
    if (request.program.empty()) return result;
    result.output = OutputPathFor(resources, request);
    TranslateJobDrawing(resources, request, result);
    return result;
}

void RaiseJobMessages(Prompt& prompt, const JobResult& result) {
    if (!result.programError.empty()) {
        prompt.Show("Process Error", result.programError, PromptIcon::kWarning);
    }
    if (result.fileError) {
        prompt.Show("Alert!", std::string(kFileError) + "\r\n" + PathText(result.output),
                    PromptIcon::kInformation);
    }
    if (!result.missingSubprogram.empty()) {
        prompt.Show("Subprogram Error",
                    "Subprogram: \r" + PathText(result.missingSubprogram) + "\rNot Found",
                    PromptIcon::kWarning);
    }
    if (!result.cutCalls.empty()) {
        prompt.Show(
            "Subprogram Error",
            "Subprogram calls cut off, the drawing holds what was read before:\r" + result.cutCalls,
            PromptIcon::kWarning);
    }
}

void ShowRowVariables(ControlPanelLists& panel, const RowVariableLists& lists) {
    if (!lists.loaded) return;
    ListVVars(panel, lists.vVars);
    std::string clear = "Clear";
    panel.AddRVar(clear);
    for (const RVarEntry& entry : lists.rVars) panel.AddRVar(entry);
}

void ShowJobResult(ControlPanelLists& panel, const JobResult& result) {
    panel.ListDiagnostics(result.diagnostics);
    if (!result.scanned) return;
    ShowRowVariables(panel, result.rowLists);
    panel.ListSubprogramCalls(result.calls);
    panel.ShowPartSize(result.header);
    panel.Labels().SetDimensions(PartSizeCaption(result.header));
}

JobResources ResourcesOf(const Session& session) {
    return JobResources{session.paths, session.settings,      session.tools,
                        session.roots, session.letters.get(), session.destFolder};
}

JobRequest RequestFor(const Session& session, const std::filesystem::path& program) {
    JobRequest request;
    request.program = program;
    request.header = session.header;
    if (session.recognizedText && session.recognizedProgram == program) {
        request.text = session.recognizedText;
    }
    request.texts = JobTextsOfRow(session.worklist, 0, false);
    return request;
}

bool ConfirmMissingProgram(Session& session, const std::filesystem::path& given) {
    if (given.empty()) return true;
    const bool goOn = session.prompt.AskYesNo(
        "Alert!", "File Not Found\r" + PathText(given) + "\r\r           *** Continue? ***", true);
    if (!goOn) session.stopRequested = true;
    return goOn;
}

bool ChkPFile(Session& session, const std::filesystem::path& given, bool dimsFromJob) {
    session.recognizedProgram.clear();
    session.recognizedText.reset();
    ProgramRecognition recognition =
        RecognizeJobProgram(session.settings, given, dimsFromJob, session.header);
    session.header = recognition.header;
    if (recognition.found.fileMissing) {
        ConfirmMissingProgram(session, given);
        return false;
    }
    if (!recognition.found.readError.empty()) {
        session.prompt.Show("Alert!", recognition.found.readError, PromptIcon::kInformation);
        return false;
    }
    ShowRecognition(session.panel, recognition);
    if (!recognition.found.recognized) return false;
    session.recognizedProgram = recognition.program;
    session.recognizedText = recognition.text;
    return true;
}

ProgramJobResult TranslateProgramFile(Session& session, const ProgramJob& job) {
    ProgramJobResult result;
    const std::filesystem::path program = FindFileIgnoringCase(job.program);
    if (!ChkPFile(session, program)) return result;
    result.recognized = true;
    JobRequest request = RequestFor(session, program);
    request.mirror = job.mirror;
    request.forceSave = job.forceSave;
    request.texts = JobTextsOfRow(session.worklist, 0, job.mirror);
    // A single job keeps the HBD counter in the per-user store; a batch run carries it itself.
    const bool hbd = session.settings.options.renameForHbd;
    if (hbd) request.hbdCounter = LoadHbdCounter(session.userStore);
    result.job = TranslateJob(ResourcesOf(session), request);
    RaiseJobMessages(session.prompt, result.job);
    ShowJobResult(session.panel, result.job);
    session.header = result.job.header;
    if (hbd && !SaveHbdCounter(session.userStore, result.job.hbdCounter)) {
        session.prompt.Show("Alert!", HbdCounterNotStored(result.job.hbdCounter),
                            PromptIcon::kWarning);
    }
    return result;
}

}  // namespace retracer
