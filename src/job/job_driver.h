#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/prompt.h"
#include "job/job_variables.h"
#include "labels/label_block.h"
#include "translate/job_state.h"
#include "translate/recognition.h"
#include "variables/row_variables.h"

namespace retracer {

class ControlPanelLists;
class LetterLibrary;
class ToolTable;
struct AppPaths;
struct LayerRoots;
struct Session;
struct Settings;

// The application records a job reads. Jobs share them (parallel jobs too) and change nothing
// in them.
struct JobResources {
    const AppPaths& paths;  // Temp.DXF, the letter library, the layer keys of the settings file
    const Settings& settings;
    const ToolTable& tools;
    const LayerRoots& roots;
    const LetterLibrary* letters = nullptr;  // null: read from the application folder if needed
    std::filesystem::path destFolder;
};

// A program file recognised for a job: its header, and what the Control Panel shows of it.
struct ProgramRecognition {
    std::filesystem::path program;  // the file as found on disk
    ProgramHeader header;
    Recognition found;  // captions and variable lists; its program text is moved to `listed`
    // The whole program's text, for the job to scan; null when only part of it was kept (the
    // job then reads the file itself).
    std::shared_ptr<const std::string> text;
    // The program lines the Control Panel lists: the whole text, or its first lines and a last
    // line saying why the rest is not listed.
    std::shared_ptr<const std::string> listed;
};

// Recognises a program file, found ignoring letter case. `before` is the header of the program
// recognised before, whose part size stays when `dimsFromJob`.
ProgramRecognition RecognizeJobProgram(const Settings& settings,
                                       const std::filesystem::path& program, bool dimsFromJob,
                                       const ProgramHeader& before);

// Shows a recognised program on the Control Panel lists: its captions, V variables, its R
// variables (unless a worklist row's are being edited) and its lines.
void ShowRecognition(ControlPanelLists& panel, const ProgramRecognition& recognition);

// One translation job, complete: the job reads nothing else of the application.
struct JobRequest {
    std::filesystem::path program;  // as recognised
    ProgramHeader header;           // its recognition, with the row's part size when dimsFromJob
    std::shared_ptr<const std::string> text;  // the program's text; null reads the file
    int jobNumber = 0;  // worklist row, negated for a numbered output name; 0 = no row
    bool mirror = false;
    bool forceSave = false;        // saved under the program's name even with SaveOnTranslate off
    bool dimsFromJob = false;      // the part size is the row's, not the program's
    std::string outputName;        // replaces the program's name in the output file name
    JobRowVariables rowVariables;  // loaded before the main program is scanned
    JobTexts texts;                // what the label block shows of the row
    int hbdCounter = 0;            // the HBD counter before this job
};

// What a job did, for the caller to show: nothing of it has reached the user yet.
struct JobResult {
    std::filesystem::path output;
    bool written = false;    // the drawing was saved
    bool fileError = false;  // the drawing could not be created or written
    bool scanned = false;    // the program was translated (false when the drawing could not open)
    std::size_t entityCount = 0;
    std::map<std::string, std::size_t> entitiesPerLayer;
    std::vector<Diagnostic> diagnostics;

    ProgramHeader header;  // after the scans, which may set the part size
    std::vector<SubprogramCall> calls;
    RowVariableLists rowLists;
    std::vector<LabelField> labelFields;  // with their texts, for lettering still to engrave
    double unitDivisor = 1.0;
    int hbdCounter = 0;  // the HBD counter after this job

    std::filesystem::path missingSubprogram;  // the last subprogram that was not found
    std::string cutCalls;  // why subprogram calls were cut off, empty when none were
    // Why a program could not be read to its end (it vanished or changed since it was
    // recognised, a line longer than any program line, a read error): the job then writes no
    // drawing, and the earlier file stays as it was. Empty when it was read.
    std::string programError;
};

// The output file of a job: in the destination folder under the program's name (numbered for a
// negative job number, replaced by the request's output name, ".M.DXF" for the mirrored copy)
// when the job is saved, else the scratch file Temp.DXF in the application folder.
std::filesystem::path OutputPathFor(const JobResources& resources, const JobRequest& request);

// An output name as its drawing's file name will carry it: a name, not a path, so "..\x" or
// "sub/x" cannot write outside the destination folder; each separator becomes "_".
std::string OutputNameAsWritten(std::string_view outputName);

// Translates a recognised program and every subprogram it calls into one drawing.
JobResult TranslateJob(const JobResources& resources, const JobRequest& request);

// Tells the user what went wrong in a job ("Process Error" for a program that could not be read,
// "Alert!" for a drawing that could not be written, "Subprogram Error" for missing or cut off
// subprograms), in that order.
void RaiseJobMessages(Prompt& prompt, const JobResult& result);

// Shows a job on the Control Panel lists: its diagnostics on the message list, then the row's
// variables, the subprogram calls and the part size. A job whose drawing could not be opened
// shows only its (empty) message list.
void ShowJobResult(ControlPanelLists& panel, const JobResult& result);

// Shows a row's variables on the V and R lists.
void ShowRowVariables(ControlPanelLists& panel, const RowVariableLists& lists);

// The session's side of a job: its resources, and a request for the program the session
// recognised last (header and text), as job 0 of no row with the HBD counter at 0.
JobResources ResourcesOf(const Session& session);
JobRequest RequestFor(const Session& session, const std::filesystem::path& program);

// Recognises a program file and shows what was found on the Control Panel lists. A missing file
// asks "File Not Found … Continue?"; No sets the session's stopRequested.
bool ChkPFile(Session& session, const std::filesystem::path& program, bool dimsFromJob = false);

// Asks the question ChkPFile asks for a missing program (nothing for an empty name); No sets the
// session's stopRequested. Returns the answer.
bool ConfirmMissingProgram(Session& session, const std::filesystem::path& given);

// One program file as the Process button translates it: recognise, then translate (saved under
// its own name with forceSave), raise the job's messages and show it on the Control Panel. The
// HBD counter comes from and goes back to the per-user store.
struct ProgramJob {
    std::filesystem::path program;
    bool mirror = false;
    bool forceSave = true;
};
struct ProgramJobResult {
    bool recognized = false;  // false: nothing was translated
    JobResult job;
};
ProgramJobResult TranslateProgramFile(Session& session, const ProgramJob& request);

}  // namespace retracer
