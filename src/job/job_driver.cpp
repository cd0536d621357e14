#include "job/job_driver.h"

#include <functional>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <memory>
#include <system_error>

#include "base/file_lookup.h"
#include "base/line_scanner.h"
#include "base/text_codec.h"
#include "base/value_text.h"
#include "drawing/drawing_writer.h"
#include "job/job_labels.h"
#include "job/job_variables.h"
#include "labels/label_block.h"
#include "translate/genesis_ev.h"
#include "translate/genesis_iso.h"
#include "translate/route_path.h"
#include "translate/translation_context.h"

namespace retracer {
namespace {

constexpr std::string_view kFileError = "File Error. File may be open by another application.";

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

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

    JobScan(const TranslationContext& context, LineTranslator translate)
        : context_(context), translate_(std::move(translate)) {}

    void SetFile(std::string file) { file_ = std::move(file); }
    // The lists that show the variables a worklist row loads.
    void SetPanel(ControlPanelLists* panel) { panel_ = panel; }

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
        }
        // A job from a worklist row loads the row's variables here (worklist runs).
        if (job.CurrentCall() == nullptr && job.currentRow != 0 && panel_ != nullptr) {
            LoadJobVariables(job.rowVariables, context_.header, state, *panel_);
        }
    }

    void LineRead(LineScanner& scanner) override {
        if (translate_) translate_(scanner.Current(), file_, scanner.LineNumber());
    }

    void ScanEnd(LineScanner&) override { EndRoutePath(context_.Routes(nullptr)); }

  private:
    const TranslationContext& context_;
    LineTranslator translate_;
    std::string file_;
    ControlPanelLists* panel_ = nullptr;
};

void ApplyRecognition(Session& session, const std::filesystem::path& program, Recognition& found) {
    ControlPanelLists& panel = session.panel;
    panel.Labels().SetDimensions(found.labDim);
    panel.Labels().SetComment(found.labCmt);
    panel.Labels().SetFrame(found.framePD);
    if (!found.recognized) return;
    panel.AddVVar(VVarMode::kClear, "");
    for (const auto& [name, value] : found.vVars) {
        panel.AddVVar(VVarMode::kName, name);
        panel.AddVVar(VVarMode::kValue, value);
    }
    // While a worklist row's variables are being edited the R list shows the row, not the file.
    if (!panel.VariableListsEnabled() && session.header.dialect == Dialect::kGenesisEv) {
        std::string clear = "Clear";
        panel.AddRVar(clear);
        for (std::string& line : found.rVarLines) panel.AddRVar(line);
    }
    auto text = std::make_shared<const std::string>(std::move(found.programText));
    panel.PrgList().AssignShared(text);
    session.recognizedProgram = program;
    session.recognizedText = std::move(text);
}

}  // namespace

bool ChkPFile(Session& session, const JobState& job, const std::filesystem::path& given) {
    const std::filesystem::path program = FindFileIgnoringCase(given);
    session.recognizedProgram.clear();
    session.recognizedText.reset();
    Recognition found =
        RecognizeProgram(program, session.settings.allVariables, job.dimsFromJob, session.header);
    if (found.fileMissing) {
        if (!given.empty()) {
            const bool goOn = session.prompt.AskYesNo(
                "Alert!", "File Not Found\r" + PathText(given) + "\r\r           *** Continue? ***",
                true);
            if (!goOn) session.stopRequested = true;
        }
        return false;
    }
    ApplyRecognition(session, program, found);
    return found.recognized;
}

std::filesystem::path OutputPathFor(const Session& session, const JobState& job, int jobNumber,
                                    const std::filesystem::path& program) {
    if (!(session.settings.options.saveOnTranslate || job.forceSave)) {
        return session.paths.appFolder / "Temp.DXF";
    }
    std::string base = PathText(program.filename());
    base = base.substr(0, base.find('.'));
    if (jobNumber < 0) base += "." + FormatPattern(-static_cast<double>(jobNumber), "0000");
    if (!job.outputNameOverride.empty()) {
        // A name, not a path: "..\x" or "sub/x" must not write outside the destination folder.
        base = job.outputNameOverride;
        for (char& c : base)
            if (c == '/' || c == '\\') c = '_';
    }
    base += job.mirrorJob ? ".M.DXF" : ".DXF";
    return session.destFolder / base;
}

namespace {

JobOutcome TranslateJobDrawing(Session& session, JobState& job, int jobNumber,
                               const std::filesystem::path& program) {
    JobOutcome outcome;
    if (program.empty()) return outcome;
    outcome.output = OutputPathFor(session, job, jobNumber, program);

    DrawingWriter writer;
    job.errText.clear();
    writer.OpenDrawing(job.errText, outcome.output);
    if (!job.errText.empty()) {
        session.prompt.Show("Alert!", std::string(kFileError) + "\r\n" + PathText(outcome.output),
                            PromptIcon::kInformation);
        return outcome;
    }
    writer.StartDrawing(job.errText);
    {
        // A program line draws at most one entity or so, and lines are rarely shorter than 24
        // bytes (hole rows draw more; the vector then grows as usual).
        std::error_code ec;
        const std::uintmax_t bytes = std::filesystem::file_size(program, ec);
        if (!ec) writer.ReserveEntities(static_cast<std::size_t>(bytes / 24));
    }

    // Per job: everything the scans collect starts empty.
    job.calls.clear();
    job.currentCall = 0;
    job.labelFields.clear();
    job.unitDivisor = 1.0;
    TranslationState state;
    const TranslationContext context{
        state, job, session.header, session.settings.options, session.tools, session.roots, writer};

    JobScan::LineTranslator translate;
    std::unique_ptr<GenesisEvTranslator> genesisEv;
    if (session.header.dialect == Dialect::kGenesisEv) {
        genesisEv = std::make_unique<GenesisEvTranslator>(context);
        translate = [&genesisEv](FieldSplitter& line, std::string_view file, int number) {
            genesisEv->TranslateLine(line, file, number);
        };
    }
    std::unique_ptr<GenesisIsoTranslator> genesisIso;
    if (session.header.dialect == Dialect::kGenesis) {
        genesisIso = std::make_unique<GenesisIsoTranslator>(context);
        translate = [&genesisIso](FieldSplitter& line, std::string_view file, int number) {
            genesisIso->TranslateLine(line, file, number);
        };
    }
    JobScan handler(context, translate);
    handler.SetPanel(&session.panel);
    LineScanner scanner;

    const std::filesystem::path mainFolder = program.parent_path();
    const std::string& subFolder = session.settings.subprogramFolder;
    std::filesystem::path current = program;
    std::filesystem::path missing;
    std::string cut;
    for (;;) {
        state.condStack.fill(true);
        handler.SetFile(PathText(current));
        std::string error;
        if (current == program && session.recognizedText && session.recognizedProgram == program) {
            scanner.ScanText(*session.recognizedText, handler);
        } else {
            scanner.ScanFile(current, handler, &error);
        }

        if (job.currentCall >= static_cast<int>(job.calls.size())) break;
        if (job.currentCall >= kMaxSubprogramCalls) {
            cut = PathText(current) + ": more than " + std::to_string(kMaxSubprogramCalls) +
                  " subprogram calls";
            break;
        }
        ++job.currentCall;
        const SubprogramCall& call = job.calls[static_cast<std::size_t>(job.currentCall - 1)];
        const std::filesystem::path name = PathFromText(call.fileName);
        current = subFolder.size() > 2 ? PathFromText(subFolder) / name : mainFolder / "SUB" / name;
        current = FindFileIgnoringCase(current);
        if (CallDepth(job, job.currentCall) > kMaxSubprogramDepth) {
            // A subprogram calling itself: this call and everything below it is left out.
            cut = PathText(current) + ": nested more than " + std::to_string(kMaxSubprogramDepth) +
                  " levels deep";
            current.clear();
            continue;
        }
        std::error_code ec;
        if (!std::filesystem::is_regular_file(current, ec)) missing = current;
    }

    session.panel.ListSubprogramCalls(job.calls);
    session.panel.ShowPartSize(session.header);
    session.panel.Labels().SetDimensions(PartSizeCaption(session.header));
    // The part's label block is added here, before the drawing is closed.
    AddJobLabelBlock(session, job, state, writer, jobNumber, program, outcome.output);
    EngraveJobLabels(session, job, writer);

    writer.CloseDrawing(job.errText);
    if (!job.errText.empty()) {
        session.prompt.Show("Alert!", std::string(kFileError) + "\r\n" + PathText(outcome.output),
                            PromptIcon::kInformation);
    } else {
        outcome.written = true;
    }
    for (const Entity& entity : writer.Content().entities) ++outcome.entitiesPerLayer[entity.layer];
    outcome.entityCount = writer.Content().entities.size();

    if (!missing.empty()) {
        session.prompt.Show("Subprogram Error",
                            "Subprogram: \r" + PathText(missing) + "\rNot Found",
                            PromptIcon::kWarning);
    }
    if (!cut.empty()) {
        session.prompt.Show(
            "Subprogram Error",
            "Subprogram calls cut off, the drawing holds what was read before:\r" + cut,
            PromptIcon::kWarning);
    }
    return outcome;
}

// A large drawing leaves the allocator holding hundreds of megabytes it no longer uses; hand
// them back so a long session or a batch does not keep its largest job's footprint.
void ReleaseFreedMemory(const JobOutcome& outcome) {
#if defined(__GLIBC__)
    constexpr std::size_t kLargeDrawing = 100'000;
    if (outcome.entityCount >= kLargeDrawing) malloc_trim(0);
#else
    (void)outcome;
#endif
}

}  // namespace

JobOutcome TranslateJob(Session& session, JobState& job, int jobNumber,
                        const std::filesystem::path& program) {
    JobOutcome outcome = TranslateJobDrawing(session, job, jobNumber, program);
    ReleaseFreedMemory(outcome);
    return outcome;
}

ProgramJobResult TranslateProgramFile(Session& session, JobState& job, const ProgramJob& request) {
    ProgramJobResult result;
    job.mirrorJob = request.mirror;
    job.forceSave = request.forceSave;
    const std::filesystem::path program = FindFileIgnoringCase(request.program);
    if (!ChkPFile(session, job, program)) return result;
    result.recognized = true;
    // A single job keeps the HBD counter in the per-user store; a batch run carries it itself.
    const bool hbd = session.settings.options.renameForHbd;
    if (hbd) job.hbdCounter = LoadHbdCounter(session.userStore);
    result.outcome = TranslateJob(session, job, 0, program);
    if (hbd) SaveHbdCounter(session.userStore, job.hbdCounter);
    return result;
}

}  // namespace retracer
