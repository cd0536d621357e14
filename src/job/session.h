#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "base/prompt.h"
#include "drawing/layer_names.h"
#include "job/control_panel_lists.h"
#include "labels/lettering.h"
#include "settings/app_folder.h"
#include "settings/options.h"
#include "settings/user_store.h"
#include "translate/program_header.h"
#include "translate/tool_table.h"
#include "worklist/worklist.h"

namespace retracer {

// The records that live as long as the application: settings, tool table, the Control Panel
// lists, the worklist and the header of the program recognised last. The desktop application and
// the command-line tool each own one and pass it by reference; nothing of it is global.
struct Session {
    Session(AppPaths appPaths, Prompt& userPrompt, UserSettingsStore& store)
        : paths(std::move(appPaths)), prompt(userPrompt), userStore(store) {}

    AppPaths paths;
    Settings settings;
    LayerRoots roots;
    ToolTable tools;
    std::filesystem::path destFolder;  // where job outputs go

    ControlPanelLists panel;
    Worklist worklist;
    ProgramHeader header;

    // The program recognised last and its text (line ends as "\n"), shared with the program
    // list: its job scans the text from here instead of reading and decoding the file again.
    // Null for a program too large to keep (over 64 MB): its job reads the file in pieces.
    std::filesystem::path recognizedProgram;
    std::shared_ptr<const std::string> recognizedText;

    // The engraving letters of the application folder, read once and shared by every job (also
    // by jobs running at the same time).
    std::shared_ptr<const LetterLibrary> letters;

    // Set when the user answers No to "File Not Found" or cancels a run: the running batch stops.
    bool stopRequested = false;

    Prompt& prompt;
    UserSettingsStore& userStore;

    // Folder of the worklist file last opened or saved: relative "Path" cells of its rows are
    // read from there.
    std::filesystem::path worklistFolder;

    // Reads Rtrc.INI (options, folders, layer roots) and Tool.Par from the application folder.
    void LoadSettings();
};

}  // namespace retracer
