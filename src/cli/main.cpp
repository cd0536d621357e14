// retracer-cli: the headless face of Retracer. Every command is a thin shell over the core.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "settings/app_folder.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/user_store.h"
#include "translate/text_codec.h"
#include "translate/translation_state.h"
#include "translate/value_text.h"
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
    if (first == 'R' && name.size() > 1) {
        const double n = retracer::NumericValue(name.substr(1));
        if (n < 0 || n >= retracer::ProgramVariables::kAnyRSet) return false;
        state.vars.r[static_cast<std::size_t>(n)] = value;
        state.vars.r[retracer::ProgramVariables::kAnyRSet] = "1";
        return true;
    }
    if (name.size() != 1 || first < 'A' || first > 'T') return false;
    state.vars.letters[static_cast<std::size_t>(first - 'A' + 1)] =
        static_cast<float>(retracer::EvalExpression(value, state.Eval()));
    return true;
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
              << "User settings: " << retracer::FileUserSettingsStore::DefaultRoot().string() << "\n"
              << "SourceDir:     " << settings.sourceDir << "\n"
              << "DestDir:       " << settings.destDir << "\n";
    for (const retracer::OptionKey& option : retracer::kOptionKeys) {
        std::cout << "  " << option.key << " = " << (settings.options.*option.field ? 1 : 0)
                  << "\n";
    }
    return 0;
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

    CLI11_PARSE(app, argc, argv);

    const retracer::AppPaths paths =
        retracer::ResolveAppPaths(retracer::ExecutableFolder(argv[0]), std::getenv("RETRACER_HOME"));
    retracer::CreateScratchFolders(paths);

    if (*eval) return RunEval(expressions, exprFile, assignments);
    if (*settings) return RunSettings(paths);
    std::cout << app.help();
    return 0;
}
