#pragma once

#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include "folder_file_list.h"

namespace retracer::app {

class FileManagerWindow;
class FolderBrowser;
class PopupMenu;
class WorklistGrid;
class Workspace;

// The Process Selection window: the source folder with its program files, the worklist grid,
// the Process button, and the destination folder with its drawings.
class FileManagerWindow : public QWidget {
    Q_OBJECT

  public:
    FileManagerWindow(Workspace& workspace, PopupMenu& popup, FolderBrowser& browser,
                      QWidget* parent = nullptr);

    // The window's load: the settings file into the folder boxes (and through the workspace into
    // the options, tool table and material list), the lists set to their folders.
    void Load();

    QLineEdit* SPath() const { return sPath_; }
    QLineEdit* DPath() const { return dPath_; }
    FolderFileList* File1() const { return file1_; }
    FolderFileList* File2() const { return file2_; }
    QLabel* File1InvalidLabel() const { return label1_; }
    QLabel* File2InvalidLabel() const { return labIP_; }
    WorklistGrid* PList() const { return pList_; }
    QPushButton* ProcessButton() const { return proc_; }
    QPushButton* AddFileButton() const { return addFile_; }
    QPushButton* ClearButton() const { return clear_; }
    QTimer* RefreshTimer() const { return timer1_; }

    // Source (1) or destination (2) folder browser.
    void BrowseFolder(int target);
    // The right-button menu of the program files list.
    void File1Menu(const QPoint& globalPos);
    void File2Toggle();
    // The worklist grid over the whole window, the window as wide as the frame's client area
    // (`expand`), or back in its place with the window at its design width.
    void SetGridExpanded(bool expand);
    bool GridExpanded() const { return gridExpanded_; }
    void ClearDestinationFolder();
    // Both lists checked against their folders (the timer's and the watcher's work).
    void RefreshLists();

  signals:
    // Requests to the Control Panel.
    void tabStripRequested(bool shown);
    void tabRequested(const QString& caption);
    void tabReapplyRequested();
    // A drawing of the destination list was clicked (full path).
    void drawingClicked(const QString& path);
    void processPressed();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetListFolder(FolderFileList* list, QLabel* invalid, const QString& text);
    void Watch();
    void LayOut();
    int X(int twips) const;
    int Y(int twips) const;

    Workspace& workspace_;
    PopupMenu& popup_;
    FolderBrowser& browser_;

    QLineEdit* sPath_;
    QPushButton* pBrwseS_;
    FolderFileList* file1_;
    QLabel* label1_;
    QPushButton* addFile_;
    WorklistGrid* pList_;
    QPushButton* proc_;
    QLineEdit* dPath_;
    QPushButton* pBrwseD_;
    FolderFileList* file2_;
    QLabel* labIP_;
    QPushButton* clear_;
    QTimer* timer1_;
    QFileSystemWatcher* watcher_;
    int file2Top_ = 0;  // where the drawing list sits when not expanded
    bool gridExpanded_ = false;
    QPointer<QWidget> focusBeforeRun_;
};

}  // namespace retracer::app
