#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace retracer::app {

// One file dialog as a command asks for it. Filters are in Qt's form ("CSV (*.csv);;All Files
// (*)"); `defaultSuffix` is added to a typed name without one.
struct FileDialogRequest {
    bool save = false;
    QString title;
    QString folder;
    QString proposedName;
    QString filter;
    QString defaultSuffix;
};

// `filter` with the upper-case form of each file pattern beside it ("DXF (*.dxf)" gives
// "DXF (*.dxf *.DXF)"), for the platform dialogs that match names case-sensitively: Retracer
// itself writes ".DXF" and ".LST". Patterns without letters are left alone.
QString WithUpperCasePatterns(const QString& filter);

// Asks the user for a file; an empty result means the dialog was cancelled. The menu commands
// take it by reference so tests can script the answers.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    virtual QString ChooseFile(const FileDialogRequest& request) = 0;
};

class QtFileDialogs : public FileDialogs {
  public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    QString ChooseFile(const FileDialogRequest& request) override;

  private:
    QWidget* parent_;
};

// The folder browser of the Process Selection window: while the user moves through folders,
// `onChange` hears of every highlighted folder at once. Returns the folder chosen, or an empty
// text when the browser was cancelled.
class FolderBrowser {
  public:
    virtual ~FolderBrowser() = default;
    virtual QString Browse(const QString& title, const QString& prompt, const QString& start,
                           const std::function<void(const QString&)>& onChange) = 0;
};

class QtFolderBrowser : public FolderBrowser {
  public:
    explicit QtFolderBrowser(QWidget* parent) : parent_(parent) {}
    QString Browse(const QString& title, const QString& prompt, const QString& start,
                   const std::function<void(const QString&)>& onChange) override;

  private:
    QWidget* parent_;
};

}  // namespace retracer::app
