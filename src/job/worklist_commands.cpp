#include "job/worklist_commands.h"

#include "job/session.h"

namespace retracer {

namespace {

std::string FileText(const std::filesystem::path& file) {
    const std::u8string text = file.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

bool OpenWorklist(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kListDirKey, FileText(file));
    if (!LoadWorklistFile(file, session.worklist, error)) return false;
    session.worklistFolder = file.parent_path();
    return true;
}

bool SaveWorklistAs(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kListDirKey, FileText(file));
    if (!SaveWorklistFile(session.worklist, file, error)) return false;
    session.worklistFolder = file.parent_path();
    return true;
}

bool ImportWorklistFromCsv(Session& session, const std::filesystem::path& file,
                           std::string* error) {
    RememberFolder(session.userStore, kCsvDirKey, FileText(file));
    return ImportWorklistCsv(file, session.worklist, nullptr, error);
}

bool ExportWorklistToCsv(Session& session, const std::filesystem::path& file, std::string* error) {
    RememberFolder(session.userStore, kCsvDirKey, FileText(file));
    return ExportWorklistCsv(session.worklist, file, error);
}

}  // namespace retracer
