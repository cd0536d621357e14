#include "cli/batch_command.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>

#include <nlohmann/json.hpp>

#include "base/file_lookup.h"
#include "cli/command_session.h"
#include "job/session.h"
#include "job/worklist_run.h"
#include "worklist/worklist_files.h"

namespace retracer::cli {
namespace {

namespace fs = std::filesystem;

bool IsCsv(const fs::path& file) {
    std::string ext = PathText(file.extension());
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".csv";
}

nlohmann::json Summary(const RunReport& report) {
    nlohmann::json jobs = nlohmann::json::array();
    for (const RunReport::Translation& t : report.translations) {
        nlohmann::json diagnostics = nlohmann::json::array();
        for (const Diagnostic& d : t.diagnostics) {
            diagnostics.push_back({{"file", d.file}, {"line", d.line}, {"message", d.message}});
        }
        jobs.push_back({{"row", t.row},
                        {"mirror", t.mirror},
                        {"output", PathText(t.output)},
                        {"written", t.written},
                        {"diagnostics", diagnostics}});
    }
    nlohmann::json skipped = nlohmann::json::array();
    for (const RunReport::SkippedRow& s : report.skipped) {
        skipped.push_back({{"row", s.row},
                           {"program", PathText(s.program)},
                           {"reason", s.missing ? "missing" : "not a program"}});
    }
    return {{"translations", jobs},
            {"skipped", skipped},
            {"duplicateNames", report.duplicateNames},
            {"stopped", report.stopped},
            {"batchList", PathText(report.batchList)},
            {"batchListError", report.batchListError}};
}

}  // namespace

int RunBatch(const BatchOptions& options, const char* argv0, Prompt& prompt) {
    CommandSession command;
    if (!OpenCommandSession({options.appFolder, options.dest, options.overrides}, argv0, prompt,
                            command)) {
        return 2;
    }
    Session& session = *command.session;
    std::error_code ec;
    // Batch.lst is read by another program, from another working folder.
    session.destFolder = fs::absolute(session.destFolder, ec);
    fs::create_directories(session.destFolder, ec);

    const fs::path worklistFile = fs::absolute(PathFromText(options.worklist), ec);
    std::string error;
    const bool loaded = IsCsv(worklistFile)
                            ? ImportWorklistCsv(worklistFile, session.worklist, nullptr, &error)
                            : LoadWorklistFile(worklistFile, session.worklist, &error);
    if (!loaded) {
        std::cerr << "retracer-cli: " << error << "\n";
        return 1;
    }
    session.worklistFolder = worklistFile.parent_path();

    RunOptions run;
    run.forceSave = true;
    run.sourceFolder = session.settings.sourceDir;
    run.jobs = options.jobs > 0
                   ? options.jobs
                   : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    // No nesting application's window to raise: the tool runs where no one watches a desktop.
    RunState state;
    state.translateArmed = true;
    const RunReport report = RunWorklist(session, state, run);

    if (options.json) {
        std::cout << Summary(report).dump(2) << "\n";
    } else {
        for (const fs::path& output : report.WrittenOutputs())
            std::cout << PathText(output) << "\n";
    }
    for (const RunReport::SkippedRow& s : report.skipped) {
        std::cerr << "retracer-cli: row " << s.row << ": " << PathText(s.program)
                  << (s.missing ? ": file not found\n" : ": not a program file\n");
    }
    if (options.verbose) {
        for (const RunReport::Translation& t : report.translations) {
            for (const Diagnostic& d : t.diagnostics) {
                std::cerr << d.file << ":" << d.line << ": " << d.message << "\n";
            }
        }
    }
    // Batch.lst asked for but not written is a failure: the nesting application would read an
    // old list.
    const bool ok = !report.duplicateNames && !report.stopped && report.skipped.empty() &&
                    report.AllWritten() && report.batchListError.empty();
    return ok ? 0 : 1;
}

}  // namespace retracer::cli
