#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "job/session.h"
#include "job/worklist_editor.h"
#include "job/worklist_run.h"
#include "settings/ini_file.h"
#include "settings/options.h"

namespace retracer::app {

class RunProgressView;

// The application's hold on the core: it owns the session and runs every job the windows ask
// for: the selection run, the worklist run, adding files, the row preview, the worklist file
// commands. Windows never call a translator themselves; they call this and show what comes back
// (drawingMade, destinationChanged); the Control Panel follows the core lists it shows. A job
// only returns its result: the session commands used here raise its messages through the prompt
// and show it on the Control Panel lists, and the workspace hands its drawing to the viewer.
//
// One job at a time: while a run goes on, a second one is refused, so nothing touches the
// session while a run is using it.
class Workspace : public QObject {
    Q_OBJECT

  public:
    Workspace(const AppPaths& paths, Prompt& prompt, UserSettingsStore& store,
              QObject* parent = nullptr);

    Session& GetSession() { return session_; }
    const Session& GetSession() const { return session_; }
    const TranslationOptions& Options() const { return session_.settings.options; }

    // The Process Selection window's load: settings file and tool table; the selection run
    // starts out armed exactly when TranslateOnSelect is on.
    void Load();
    // The settings file, written through by the option boxes and the folder boxes.
    IniFile& SettingsFile() { return settingsFile_; }

    // Long runs report to `progress` (may be null: no progress shown, nothing cancels).
    void SetProgress(RunProgressView* progress) { progress_ = progress; }
    // Worklist and selection runs that write Batch.lst raise this window (may be null).
    void SetNestingWindow(NestingWindow* window) { nestingWindow_ = window; }
    bool Busy() const { return busy_; }

    QString SourceFolder() const { return QString::fromStdString(session_.settings.sourceDir); }
    QString DestFolder() const { return QString::fromStdString(session_.settings.destDir); }
    // Written to SourceDir / DestDir in the settings file at once.
    void StoreSourceFolder(const QString& folder);
    void StoreDestFolder(const QString& folder);

    // A click in the program files list. Recognises (and, with TranslateOnSelect, translates)
    // the file when at most one is selected; false when it did nothing.
    bool ProgramFilesClicked(const QStringList& selected);
    // A double-click translates the selected files.
    void ProgramFilesDoubleClicked(const QStringList& selected);
    // The Process button: the worklist run when row 1 names a program, else the selection run.
    // Refused (an empty report, false) while another run goes on.
    bool Process(const QStringList& selected, RunReport* report = nullptr);
    // The Add command over the selected program files; returns how many rows were filled.
    int AddFiles(const QStringList& selected);

    // The worklist grid's events. A click in "Norm", "Mir", "Filename" or the row header
    // previews the row (mirrored for "Mir") unless it is the cell clicked last; true when a
    // drawing was made.
    bool CellClicked(int column, int row);
    void GridFocusLost() { editor_.FocusLost(); }
    QString GridTip() { return QString::fromStdString(editor_.TipText()); }
    // An edit in the Control Panel's lists changed the current row: translate it again with the
    // part size taken from the row.
    bool RetranslateCurrentRow();
    int CurrentRow() const { return editor_.CurrentRow(); }

    // The File menu's worklist commands once a file was chosen. Failures are silent for the
    // user; false tells the caller.
    bool OpenWorklist(const QString& file);
    bool SaveWorklistAs(const QString& file);
    bool ImportCsv(const QString& file);
    bool ExportCsv(const QString& file);

    // The layers of the drawing shown in the viewer, for the Control Panel's layer list.
    void ShowLayers(const QStringList& layers);

  signals:
    // A job wrote (or, for a preview, produced) this drawing: show it in the viewer.
    void drawingMade(const QString& path);
    // New drawings in the destination folder.
    void destinationChanged();
    // The worklist row of the current job (0: none) after a click on the grid or a program file.
    void currentRowChanged(int row);
    // A CSV file is about to be read into the worklist: the material choices are read again.
    void importStarting();
    void busyChanged(bool busy);

  private:
    // The options of a run over `selected` (or the worklist), reporting to `progress` (may be
    // null).
    RunOptions RunOptionsFor(const QStringList& selected, RunProgressView* progress);
    bool RunSelection(const QStringList& selected);
    void Finish(const RunReport& report);
    void SetBusy(bool busy);

    Session session_;
    RunState runState_;
    WorklistEditor editor_;
    IniFile settingsFile_;
    RunProgressView* progress_ = nullptr;
    NestingWindow* nestingWindow_ = nullptr;
    bool busy_ = false;
};

}  // namespace retracer::app
