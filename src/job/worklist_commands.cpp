#include "job/worklist_commands.h"

#include "base/file_lookup.h"
#include "job/session.h"

namespace retracer {

bool OpenWorklist(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kListDirKey, PathText(file));
    if (!LoadWorklistFile(file, session.worklist, error)) return false;
    session.worklistFolder = file.parent_path();
    return true;
}

bool SaveWorklistAs(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kListDirKey, PathText(file));
    if (!SaveWorklistFile(session.worklist, file, error)) return false;
    session.worklistFolder = file.parent_path();
    return true;
}

bool ImportWorklistFromCsv(Session& session, const std::filesystem::path& file,
                           std::string* error) {
    RememberFolder(session.userStore, kCsvDirKey, PathText(file));
    return ImportWorklistCsv(file, session.worklist, nullptr, error);
}

bool ExportWorklistToCsv(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kCsvDirKey, PathText(file));
    return ExportWorklistCsv(session.worklist, file, error);
}

}  // namespace retracer
