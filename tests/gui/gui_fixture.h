// Shared pieces of the GUI tests: a scratch application folder with the sample programs, a
// workspace on it whose prompt records every message, and scripted stand-ins for the file
// dialogs, the folder browser and the progress dialog.
#pragma once

#include <QDir>
#include <QFile>
#include <QQueue>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "base/prompt.h"
#include "file_dialogs.h"
#include "job/worklist_run.h"
#include "run_progress.h"
#include "settings/app_folder.h"
#include "settings/user_store.h"
#include "workspace.h"

namespace retracer::app::testing {

// Answers file dialogs from a queue (an empty answer cancels) and keeps every request.
class ScriptedFileDialogs : public FileDialogs {
  public:
    QString ChooseFile(const FileDialogRequest& request) override {
        requests.append(request);
        return answers.isEmpty() ? QString() : answers.dequeue();
    }
    QQueue<QString> answers;
    QList<FileDialogRequest> requests;
};

// Moves through `path` one folder at a time, then answers OK (with the last one) or cancels.
class ScriptedFolderBrowser : public FolderBrowser {
  public:
    QString Browse(const QString& title, const QString& prompt, const QString& start,
                   const std::function<void(const QString&)>& onChange) override {
        seen << title << prompt << start;
        for (const QString& folder : path) {
            onChange(folder);
            if (onEachStep) onEachStep();
        }
        return accept && !path.isEmpty() ? path.last() : QString();
    }
    QStringList path;
    bool accept = true;
    QStringList seen;
    std::function<void()> onEachStep;
};

// Records the steps of runs and cancels a run once `cancelAt` of its steps were shown.
class ScriptedProgress : public RunProgressView {
  public:
    void Begin(const QString& title, int total) override {
        titles << title;
        totals << total;
        shownInRun = 0;
    }
    void Show(const QString& text, int done, int total) override {
        steps << text;
        dones << done;
        stepTotals << total;
        ++shownInRun;
        if (duringStep) duringStep();
    }
    bool Cancelled() override { return cancelAt >= 0 && shownInRun >= cancelAt; }
    void End() override { ++ended; }

    int cancelAt = -1;
    std::function<void()> duringStep;
    QStringList titles;
    QList<int> totals;
    QList<int> stepTotals;
    QStringList steps;
    QList<int> dones;
    int ended = 0;
    int shownInRun = 0;
};

// Keeps the titles of the windows a run asked to bring to the front.
class RecordingNestingWindow : public NestingWindow {
  public:
    void Raise(std::string_view title) override { raised << QString::fromUtf8(title); }
    QStringList raised;
};

// A scratch application folder ("app"), the sample programs in "progs", drawings in "dxf".
struct Scratch {
    Scratch() {
        QDir root(dir.path());
        root.mkpath(QStringLiteral("app"));
        root.mkpath(QStringLiteral("progs"));
        root.mkpath(QStringLiteral("dxf"));
        const QDir samples(QStringLiteral(RETRACER_SOURCE_DIR "/samples"));
        for (const QString& name : samples.entryList(QDir::Files)) {
            QFile::copy(samples.filePath(name), Path("progs/" + name));
        }
        paths = ResolveAppPaths(Path("app").toStdString(), nullptr);
    }
    QString Path(const QString& relative) const { return QDir(dir.path()).filePath(relative); }
    void WriteSettings(const QString& text) const {
        QFile file(Path("app/Rtrc.INI"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }
    QString ReadSettings() const {
        QFile file(Path("app/Rtrc.INI"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // A settings file naming the scratch folders as source and destination.
    void UseScratchFolders() const {
        WriteSettings(
            QStringLiteral("[Config]\nSourceDir=%1\nDestDir=%2\n").arg(Path("progs"), Path("dxf")));
    }

    QTemporaryDir dir;
    AppPaths paths;
    RecordingPrompt prompt;
    MemoryUserSettingsStore store;
};

inline QStringList Texts(const std::vector<RecordingPrompt::Message>& messages) {
    QStringList texts;
    for (const auto& m : messages) texts << QString::fromStdString(m.title + ": " + m.text);
    return texts;
}

}  // namespace retracer::app::testing
