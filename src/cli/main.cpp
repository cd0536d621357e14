// retracer-cli: the headless face of Retracer. Every command is a thin shell over the core.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/file_lookup.h"
#include "base/text_codec.h"
#include "base/value_text.h"
#include "cli/batch_command.h"
#include "cli/command_session.h"
#include "cli/render_command.h"
#include "job/job_driver.h"
#include "settings/app_folder.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/user_store.h"
#include "translate/translation_state.h"
#include "variables/eval_expression.h"

namespace {

using retracer::TranslationState;

// "L=600" sets a letter variable, "R5=L/2" stores the text of an R variable as written.
bool AssignVariable(const std::string& assignment, TranslationState& state) {
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    const std::string name = assignment.substr(0, eq);
    const std::string value = assignment.substr(eq + 1);
    const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (first == 'R' && name.size() > 1) return retracer::AssignRVariable(state.vars, name, value);
    if (name.size() != 1 || first < 'A' || first > 'T') return false;
    return retracer::AssignLetterVariable(state.vars, first - 'A' + 1, value, state.machineType,
                                          &state.evalFaults);
}

int RunEval(const std::vector<std::string>& expressions, const std::string& file,
            const std::vector<std::string>& assignments) {
    TranslationState state;
    for (const std::string& a : assignments) {
        if (!AssignVariable(a, state)) {
            std::cerr << "retracer-cli: cannot set variable from '" << a << "'\n";
            return 2;
        }
    }
    std::vector<std::string> all = expressions;
    if (!file.empty()) {
        std::string text;
        std::string error;
        if (!retracer::ReadTextFile(file, text, &error)) {
            std::cerr << "retracer-cli: " << error << "\n";
            return 1;
        }
        retracer::ForEachLine(text, [&](std::string_view line) {
            if (!line.empty() && line.front() != ';') all.emplace_back(line);
        });
    }
    for (const std::string& e : all) {
        const int before = state.evalFaults.count;
        const double v = retracer::EvalExpression(e, state.Eval());
        std::cout << e << " = " << retracer::GeneralText(v);
        if (state.evalFaults.count != before) std::cout << "  (fault: value replaced by 0)";
        std::cout << "\n";
    }
    return 0;
}

int RunSettings(const retracer::AppPaths& paths) {
    const retracer::IniFile ini(paths.settingsFile);
    const retracer::Settings settings = retracer::ReadSettings(ini);
    std::cout << "AppFolder:     " << paths.appFolder.string() << "\n"
              << "Settings file: " << paths.settingsFile.string()
              << (std::filesystem::exists(paths.settingsFile) ? "" : " (not present)") << "\n"
              << "User settings: " << retracer::FileUserSettingsStore::DefaultRoot().string()
              << "\n"
              << "SourceDir:     " << settings.sourceDir << "\n"
              << "DestDir:       " << settings.destDir << "\n";
    for (const retracer::OptionKey& option : retracer::kOptionKeys) {
        std::cout << "  " << option.key << " = " << (settings.options.*option.field ? 1 : 0)
                  << "\n";
    }
    return 0;
}

// Messages go to stderr with their title; questions take the answer that loses nothing.
class StderrPrompt : public retracer::Prompt {
  public:
    void Show(std::string_view title, std::string_view text, retracer::PromptIcon) override {
        std::cerr << title << ": " << OneLine(text) << "\n";
    }
    bool AskYesNo(std::string_view title, std::string_view text, bool safeAnswer) override {
        std::cerr << title << ": " << OneLine(text) << " [" << (safeAnswer ? "Yes" : "No") << "]\n";
        return safeAnswer;
    }

  private:
    static std::string OneLine(std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') {
                if (!out.empty() && out.back() != ' ') out += ' ';
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            } else {
                out += text[i];
            }
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out;
    }
};

struct TranslateOptions {
    std::vector<std::string> programs;
    std::string appFolder;
    std::string dest;
    bool mirror = false;
    std::vector<std::string> overrides;
    bool json = false;
    bool verbose = false;
};

const char* DialectName(retracer::Dialect dialect) {
    switch (dialect) {
        case retracer::Dialect::kGenesis:
            return "Genesis";
        case retracer::Dialect::kGenesisEv:
            return "Genesis Ev";
        case retracer::Dialect::kNone:
            break;
    }
    return "none";
}

int RunTranslate(const TranslateOptions& opts, const char* argv0) {
    StderrPrompt prompt;
    retracer::cli::CommandSession command;
    if (!retracer::cli::OpenCommandSession({opts.appFolder, opts.dest, opts.overrides}, argv0,
                                           prompt, command)) {
        return 2;
    }
    retracer::Session& session = *command.session;

    int status = 0;
    nlohmann::json summary = nlohmann::json::array();
    for (const std::string& program : opts.programs) {
        retracer::ProgramJob request;
        request.program = retracer::PathFromText(program);
        request.mirror = opts.mirror;
        const retracer::ProgramJobResult result = retracer::TranslateProgramFile(session, request);
        const bool ok = result.recognized && result.job.written;
        if (!result.recognized) {
            std::cerr << "retracer-cli: " << program << ": not a program file (or missing)\n";
        }
        if (!ok) status = 1;
        if (ok && !opts.json) std::cout << result.job.output.string() << "\n";
        if (opts.verbose) {
            for (const retracer::Diagnostic& d : result.job.diagnostics) {
                std::cerr << d.file << ":" << d.line << ": " << d.message << "\n";
            }
        }
        if (opts.json) {
            nlohmann::json entry;
            entry["program"] = program;
            entry["recognized"] = result.recognized;
            entry["written"] = result.job.written;
            entry["output"] = result.job.output.string();
            entry["dialect"] = DialectName(session.header.dialect);
            entry["part"] = {{"length", session.header.partLength},
                             {"width", session.header.partWidth},
                             {"thickness", session.header.partThickness},
                             {"metric", session.header.metricUnits}};
            entry["entities"] = result.job.entityCount;
            nlohmann::json layers = nlohmann::json::object();
            for (const auto& [layer, count] : result.job.entitiesPerLayer) layers[layer] = count;
            entry["layers"] = layers;
            nlohmann::json diagnostics = nlohmann::json::array();
            for (const retracer::Diagnostic& d : result.job.diagnostics) {
                diagnostics.push_back({{"file", d.file}, {"line", d.line}, {"message", d.message}});
            }
            entry["diagnostics"] = diagnostics;
            summary.push_back(entry);
        }
    }
    if (opts.json) std::cout << summary.dump(2) << "\n";
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Retracer: CNC router programs back to DXF drawings"};
    app.set_version_flag("--version", std::string("Retracer ") + RETRACER_VERSION);
    app.require_subcommand(0, 1);

    std::vector<std::string> expressions;
    std::vector<std::string> assignments;
    std::string exprFile;
    auto* eval = app.add_subcommand("eval", "Evaluate program expressions");
    eval->add_option("expression", expressions, "Expressions, as a program writes them");
    eval->add_option("--var", assignments, "Variable as NAME=VALUE (L=600, D=5, R3=L/2)")
        ->allow_extra_args(false);
    eval->add_option("--file", exprFile, "Text file with one expression per line")
        ->check(CLI::ExistingFile);

    auto* settings = app.add_subcommand("settings", "Show AppFolder, folders and options");

    TranslateOptions translateOptions;
    auto* translate = app.add_subcommand("translate", "Translate program files into DXF drawings");
    translate->add_option("program", translateOptions.programs, "Program files")->required();
    translate->add_option("--app-folder", translateOptions.appFolder,
                          "Application folder (Rtrc.INI, Tool.Par, Letters)");
    translate->add_option("--dest", translateOptions.dest,
                          "Destination folder (default: DestDir of the settings)");
    translate->add_flag("--mirror", translateOptions.mirror, "Translate the mirrored copy");
    translate
        ->add_option("--set", translateOptions.overrides,
                     "Override a Config setting for this run (Key=Value)")
        ->allow_extra_args(false);
    translate->add_flag("--json", translateOptions.json, "Print a JSON summary");
    translate->add_flag("--verbose", translateOptions.verbose, "Print the diagnostics");

    retracer::cli::BatchOptions batchOptions;
    auto* batch = app.add_subcommand("batch", "Translate every job of a worklist (.lst or .csv)");
    batch->add_option("worklist", batchOptions.worklist, "Worklist file")->required();
    batch->add_option("--app-folder", batchOptions.appFolder,
                      "Application folder (Rtrc.INI, Tool.Par, Letters)");
    batch->add_option("--dest", batchOptions.dest,
                      "Destination folder (default: DestDir of the settings)");
    batch
        ->add_option("--set", batchOptions.overrides,
                     "Override a Config setting for this run (Key=Value)")
        ->allow_extra_args(false);
    batch
        ->add_option("--jobs", batchOptions.jobs,
                     "Translations at once (default: the number of cores)")
        ->check(CLI::Range(1, 256));
    batch->add_flag("--json", batchOptions.json, "Print a JSON summary");
    batch->add_flag("--verbose", batchOptions.verbose, "Print the diagnostics");

    retracer::cli::RenderArgs renderArgs;
    auto* render = retracer::cli::AddRenderCommand(app, renderArgs);

    CLI11_PARSE(app, argc, argv);
    if (*render) return retracer::cli::RunRender(renderArgs, argc, argv);
    if (*translate) return RunTranslate(translateOptions, argv[0]);
    if (*batch) {
        StderrPrompt prompt;
        return retracer::cli::RunBatch(batchOptions, argv[0], prompt);
    }

    const retracer::AppPaths paths =
        retracer::ResolveStartupPaths(argv[0], std::getenv("RETRACER_HOME"));
    retracer::CreateScratchFolders(paths);

    if (*eval) return RunEval(expressions, exprFile, assignments);
    if (*settings) return RunSettings(paths);
    std::cout << app.help();
    return 0;
}
