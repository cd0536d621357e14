#include "workspace.h"

#include <QFileInfo>

#include "base/file_lookup.h"
#include "job/job_driver.h"
#include "job/worklist_commands.h"
#include "run_progress.h"
#include "settings/ini_file.h"

namespace retracer::app {
namespace {

std::vector<std::string> Names(const QStringList& list) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(list.size()));
    for (const QString& name : list) names.push_back(name.toStdString());
    return names;
}

std::filesystem::path PathOf(const QString& text) {
    return PathFromText(text.toStdString());
}

QString PathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Ends a run's progress however the run leaves.
class ProgressScope {
  public:
    ProgressScope(RunProgressView* progress, const QString& title, int total)
        : progress_(progress) {
        if (progress_ != nullptr) progress_->Begin(title, total);
    }
    ~ProgressScope() {
        if (progress_ != nullptr) progress_->End();
    }
    // The view the run reports to; null when none was begun.
    RunProgressView* View() const { return progress_; }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

  private:
    RunProgressView* progress_;
};

}  // namespace

Workspace::Workspace(const AppPaths& paths, Prompt& prompt, UserSettingsStore& store,
                     QObject* parent)
    : QObject(parent), session_(paths, prompt, store), settingsFile_(paths.settingsFile) {}

void Workspace::Load() {
    session_.LoadSettings();
    runState_.translateArmed = session_.settings.options.translateOnSelect;
}

void Workspace::StoreSourceFolder(const QString& folder) {
    session_.settings.sourceDir = folder.toStdString();
    settingsFile_.Write(kConfigSection, kSourceDirKey, folder.toStdString());
}

void Workspace::StoreDestFolder(const QString& folder) {
    session_.settings.destDir = folder.toStdString();
    session_.destFolder = PathOf(folder);
    settingsFile_.Write(kConfigSection, kDestDirKey, folder.toStdString());
}

void Workspace::SetBusy(bool busy) {
    busy_ = busy;
    emit busyChanged(busy);
}

RunOptions Workspace::RunOptionsFor(const QStringList& selected, RunProgressView* progress) {
    RunOptions options;
    options.sourceFolder = session_.settings.sourceDir;
    options.nestingWindow = nestingWindow_;
    // One job at a time: the run then calls back on this thread, where the progress dialog may
    // take the window events.
    options.jobs = 1;
    if (progress == nullptr) return options;
    options.cancelled = [progress] { return progress->Cancelled(); };
    options.progress = [this, progress, selected](const retracer::RunProgress& at) {
        if (at.rowsDone >= at.rowsTotal) {
            progress->Show(QStringLiteral("Translated %1 of %1").arg(at.rowsTotal), at.rowsDone,
                           at.rowsTotal);
            return;
        }
        QString what;
        if (at.row > 0) {
            what = QStringLiteral("Row %1: %2")
                       .arg(at.row)
                       .arg(QString::fromStdString(
                           session_.worklist.GetCell(at.row, WorklistColumn::kFilename)));
        } else if (at.rowsDone < selected.size()) {
            what = selected[at.rowsDone];
        }
        progress->Show(QStringLiteral("Translating %1 of %2\n%3")
                           .arg(at.rowsDone + 1)
                           .arg(at.rowsTotal)
                           .arg(what),
                       at.rowsDone, at.rowsTotal);
    };
    return options;
}

void Workspace::Finish(const RunReport& report) {
    for (auto it = report.translations.rbegin(); it != report.translations.rend(); ++it) {
        if (it->written || !it->output.empty()) {
            emit drawingMade(PathText(it->output));
            break;
        }
    }
    if (!report.translations.empty()) emit destinationChanged();
}

bool Workspace::RunSelection(const QStringList& selected) {
    if (busy_) return false;
    SetBusy(true);
    RunReport report;
    {
        ProgressScope scope(selected.size() > 1 ? progress_ : nullptr,
                            QStringLiteral("Translating program files"),
                            static_cast<int>(selected.size()));
        RunOptions options = RunOptionsFor(selected, scope.View());
        options.forceSave = false;
        report = retracer::RunSelection(session_, runState_, PathOf(SourceFolder()),
                                        Names(selected), options);
    }
    SetBusy(false);
    Finish(report);
    return true;
}

bool Workspace::ProgramFilesClicked(const QStringList& selected) {
    if (selected.size() > 1 || busy_) return false;
    if (!session_.settings.options.translateOnSelect) runState_.translateArmed = false;
    editor_.ForgetCurrentRow();
    emit currentRowChanged(0);
    return RunSelection(selected);
}

void Workspace::ProgramFilesDoubleClicked(const QStringList& selected) {
    RunSelection(selected);
}

bool Workspace::Process(const QStringList& selected, RunReport* out) {
    if (busy_) return false;
    SetBusy(true);
    RunReport report;
    {
        const bool worklist = !session_.worklist.GetCell(1, WorklistColumn::kFilename).empty();
        int total = static_cast<int>(selected.size());
        if (worklist) {
            total = 0;
            for (int r = 1; r <= session_.worklist.RowCount(); ++r)
                total += session_.worklist.IsJob(r);
        }
        ProgressScope scope(progress_,
                            worklist ? QStringLiteral("Processing the worklist")
                                     : QStringLiteral("Translating program files"),
                            total);
        report = ProcessButton(session_, runState_, PathOf(SourceFolder()), Names(selected),
                               RunOptionsFor(selected, scope.View()));
    }
    SetBusy(false);
    Finish(report);
    if (out != nullptr) *out = std::move(report);
    return true;
}

int Workspace::AddFiles(const QStringList& selected) {
    if (busy_) return 0;
    SetBusy(true);
    int added = 0;
    {
        ProgressScope scope(selected.size() > 1 ? progress_ : nullptr,
                            QStringLiteral("Adding program files"),
                            static_cast<int>(selected.size()));
        const std::filesystem::path folder = PathOf(SourceFolder());
        session_.stopRequested = false;
        editor_.AddToProc(session_, kAddStart, folder);
        RunProgressView* progress = scope.View();
        for (int i = 0; i < selected.size(); ++i) {
            if (progress != nullptr) {
                if (progress->Cancelled()) break;
                progress->Show(QStringLiteral("Adding %1 of %2\n%3")
                                   .arg(i + 1)
                                   .arg(selected.size())
                                   .arg(selected[i]),
                               i, static_cast<int>(selected.size()));
            }
            if (editor_.AddToProc(session_, selected[i].toStdString(), folder)) ++added;
            if (session_.stopRequested) break;
        }
        editor_.AddToProc(session_, kAddFinish, folder);
    }
    SetBusy(false);
    return added;
}

bool Workspace::CellClicked(int column, int row) {
    if (busy_) return false;
    JobResult result;
    SetBusy(true);
    const bool previewed = editor_.CellClick(session_, column, row, &result);
    SetBusy(false);
    emit currentRowChanged(editor_.CurrentRow());
    if (previewed) emit drawingMade(PathText(result.output));
    return previewed;
}

bool Workspace::RetranslateCurrentRow() {
    if (busy_ || editor_.CurrentRow() <= 0) return false;
    SetBusy(true);
    JobResult result;
    // The row's own size: the Control Panel's edits are the row's, not the program's.
    const bool translated =
        TranslateRow(session_, editor_.CurrentRow(), editor_.CurrentMirror(), true, &result);
    SetBusy(false);
    if (translated) emit drawingMade(PathText(result.output));
    return translated;
}

bool Workspace::OpenWorklist(const QString& file) {
    std::string error;
    return retracer::OpenWorklist(session_, PathOf(file), &error);
}

bool Workspace::SaveWorklistAs(const QString& file) {
    std::string error;
    return retracer::SaveWorklistAs(session_, PathOf(file), &error);
}

bool Workspace::ImportCsv(const QString& file) {
    // A pattern typed into the dialog, or a file that is not there, ends the command.
    if (file.contains(QLatin1Char('*')) || !QFileInfo(file).isFile()) return false;
    emit importStarting();
    std::string error;
    return ImportWorklistFromCsv(session_, PathOf(file), &error);
}

bool Workspace::ExportCsv(const QString& file) {
    std::string error;
    return ExportWorklistToCsv(session_, PathOf(file), &error);
}

void Workspace::ShowLayers(const QStringList& layers) {
    TextList& list = session_.panel.LayerList();
    list.Clear();
    for (const QString& layer : layers) list.Add(layer.toStdString());
}

}  // namespace retracer::app
