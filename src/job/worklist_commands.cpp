#include "job/worklist_commands.h"

#include "base/file_lookup.h"
#include "job/session.h"

namespace retracer {
namespace {

// Runs a file command; one that failed tells the user why, as a worklist believed saved is work
// lost. The reason also goes to `error` when given.
template <typename Command>
bool Reported(Session& session, std::string* error, Command&& command) {
    std::string reason;
    const bool done = command(&reason);
    if (!done) session.prompt.Show("Alert!", reason, PromptIcon::kWarning);
    if (error != nullptr) *error = reason;
    return done;
}

}  // namespace

bool OpenWorklist(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kListDirKey, PathText(file));
    if (!Reported(session, error,
                  [&](std::string* why) { return LoadWorklistFile(file, session.worklist, why); }))
        return false;
    session.worklistFolder = file.parent_path();
    return true;
}

bool SaveWorklistAs(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kListDirKey, PathText(file));
    if (!Reported(session, error,
                  [&](std::string* why) { return SaveWorklistFile(session.worklist, file, why); }))
        return false;
    session.worklistFolder = file.parent_path();
    return true;
}

bool ImportWorklistFromCsv(Session& session, const std::filesystem::path& file,
                           std::string* error) {
    RememberFolder(session.userStore, kCsvDirKey, PathText(file));
    return Reported(session, error, [&](std::string* why) {
        return ImportWorklistCsv(file, session.worklist, nullptr, why);
    });
}

bool ExportWorklistToCsv(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kCsvDirKey, PathText(file));
    return Reported(session, error, [&](std::string* why) {
        return ExportWorklistCsv(session.worklist, file, why);
    });
}

}  // namespace retracer
