#include "file_manager_window.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>

#include "accessible.h"
#include "file_dialogs.h"
#include "popup_menu.h"
#include "twips.h"
#include "worklist_grid.h"
#include "workspace.h"

namespace retracer::app {
namespace {

const QString kInvalidPath = QStringLiteral("Invalid Path");

QPushButton* Button(QWidget* parent, const char* name, const QString& caption,
                    const QString& accessibleName = QString()) {
    auto* button = new QPushButton(caption, parent);
    Describe(button, name,
             accessibleName.isEmpty() ? QString(caption).remove(QLatin1Char('&')) : accessibleName);
    return button;
}

// A folder box's tip is its own text (long folders do not fit the box).
void ShowFolderTip(QLineEdit* box) {
    box->setToolTip(box->text());
    box->setAccessibleDescription(box->text());
}

QString WithTrailingSeparator(QString folder) {
    folder = QDir::toNativeSeparators(folder);
    if (!folder.isEmpty() && !folder.endsWith(QDir::separator())) folder += QDir::separator();
    return folder;
}

}  // namespace

FileManagerWindow::FileManagerWindow(Workspace& workspace, PopupMenu& popup, FolderBrowser& browser,
                                     QWidget* parent)
    : QWidget(parent), workspace_(workspace), popup_(popup), browser_(browser) {
    setObjectName(QStringLiteral("FileMgr"));
    setWindowTitle(QStringLiteral("Process Selection"));
    setAccessibleName(windowTitle());

    // Created in tab order, top to bottom. The "Invalid Path" labels come before their lists so
    // that the lists lie over them.
    sPath_ = new QLineEdit(this);
    Describe(sPath_, "SPath", QStringLiteral("Source folder"));
    pBrwseS_ = Button(this, "PBrwseS", QStringLiteral("Path..."), QStringLiteral("Source Path..."));
    label1_ = new QLabel(kInvalidPath, this);
    label1_->setObjectName(QStringLiteral("Label1"));
    file1_ = new FolderFileList(QStringLiteral("*"), this);
    Describe(file1_, "File1", QStringLiteral("Program files"),
             QStringLiteral("List of Program Files to Convert. *** Right Click for Menu."));
    file1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    addFile_ = Button(this, "AddFile", QStringLiteral("\\V/"),
                      QStringLiteral("Add selected files to the worklist"));
    Session& session = workspace_.GetSession();
    pList_ = new WorklistGrid(session.worklist, session.panel, session.prompt, session.userStore,
                              popup_, this);
    pList_->SetTipSource([this] { return workspace_.GridTip(); });
    proc_ = Button(this, "Proc", QStringLiteral("Process"));
    dPath_ = new QLineEdit(this);
    Describe(dPath_, "DPath", QStringLiteral("Destination folder"));
    pBrwseD_ =
        Button(this, "PBrwseD", QStringLiteral("Path..."), QStringLiteral("Destination Path..."));
    labIP_ = new QLabel(kInvalidPath, this);
    labIP_->setObjectName(QStringLiteral("LabIP"));
    file2_ = new FolderFileList(QStringLiteral("*.DXF"), this);
    Describe(file2_, "File2", QStringLiteral("Drawing files"),
             QStringLiteral("List of DXF files made from program files. *** Right Click to "
                            "Expand/Restore."));
    file2_->setSelectionMode(QAbstractItemView::SingleSelection);
    clear_ = Button(this, "Clear", QStringLiteral("Clear Destination Folder"));
    for (QLabel* label : {label1_, labIP_}) label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    watcher_ = new QFileSystemWatcher(this);

    connect(sPath_, &QLineEdit::textChanged, this,
            [this](const QString& text) { SetListFolder(file1_, label1_, text); });
    connect(dPath_, &QLineEdit::textChanged, this,
            [this](const QString& text) { SetListFolder(file2_, labIP_, text); });
    sPath_->installEventFilter(this);
    dPath_->installEventFilter(this);
    connect(pBrwseS_, &QPushButton::clicked, this, [this] { BrowseFolder(1); });
    connect(pBrwseD_, &QPushButton::clicked, this, [this] { BrowseFolder(2); });

    connect(file1_, &QListWidget::itemClicked, this, [this] {
        if (file1_->SelectedNames().size() > 1) return;
        emit tabStripRequested(true);
        emit tabReapplyRequested();
        workspace_.ProgramFilesClicked(file1_->SelectedNames());
    });
    connect(file1_, &QListWidget::itemDoubleClicked, this,
            [this] { workspace_.ProgramFilesDoubleClicked(file1_->SelectedNames()); });
    connect(file1_, &FolderFileList::rightButtonReleased, this, &FileManagerWindow::File1Menu);
    connect(file2_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        emit tabStripRequested(false);
        emit tabRequested(QStringLiteral("L"));
        emit drawingClicked(file2_->PathOf(item->text()));
    });
    connect(file2_, &FolderFileList::rightButtonReleased, this, [this] { File2Toggle(); });

    connect(addFile_, &QPushButton::clicked, this, [this] {
        pList_->View()->clearSelection();
        workspace_.AddFiles(file1_->SelectedNames());
    });
    connect(proc_, &QPushButton::clicked, this, [this] {
        emit processPressed();
        workspace_.Process(file1_->SelectedNames());
    });
    connect(clear_, &QPushButton::clicked, this, &FileManagerWindow::ClearDestinationFolder);
    connect(&workspace_, &Workspace::destinationChanged, this, [this] { file2_->Refresh(); });
    connect(&workspace_, &Workspace::busyChanged, this, [this](bool busy) {
        // The Process button is refused during a run; the control that had the focus gets it
        // back afterwards, not the next one in the window.
        if (busy) {
            focusBeforeRun_ = QApplication::focusWidget();
        } else if (focusBeforeRun_ != nullptr && isAncestorOf(focusBeforeRun_)) {
            proc_->setEnabled(true);
            focusBeforeRun_->setFocus(Qt::OtherFocusReason);
        }
        proc_->setEnabled(!busy);
    });

    connect(pList_, &WorklistGrid::cellClicked, this, [this](int column, int row) {
        // A click that previews a row shows the Control Panel's tabs, as a program file does.
        if (column < 4 && row > 0) {
            emit tabStripRequested(true);
            emit tabReapplyRequested();
        }
        workspace_.CellClicked(column, row);
    });
    connect(pList_, &WorklistGrid::focusLost, &workspace_, &Workspace::GridFocusLost);
    connect(pList_, &WorklistGrid::expandRequested, this, &FileManagerWindow::SetGridExpanded);
    connect(&workspace_, &Workspace::importStarting, pList_, &WorklistGrid::ReloadMaterials);

    connect(timer1_, &QTimer::timeout, this, &FileManagerWindow::RefreshLists);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this,
            &FileManagerWindow::RefreshLists);

    setMinimumSize(X(2400), Y(4000));
}

int FileManagerWindow::X(int twips) const {
    return TwipsToPixelsX(*this, twips);
}
int FileManagerWindow::Y(int twips) const {
    return TwipsToPixelsY(*this, twips);
}

void FileManagerWindow::Load() {
    workspace_.Load();
    pList_->ReloadMaterials();
    // Settings first, then the boxes: their change handlers set the lists.
    sPath_->setText(workspace_.SourceFolder());
    SetListFolder(file1_, label1_, sPath_->text());
    ShowFolderTip(sPath_);
    dPath_->setText(workspace_.DestFolder());
    SetListFolder(file2_, labIP_, dPath_->text());
    ShowFolderTip(dPath_);
    timer1_->start();
}

void FileManagerWindow::SetListFolder(FolderFileList* list, QLabel* invalid, const QString& text) {
    list->SetFolder(text);
    invalid->setVisible(list->isHidden());
    Watch();
}

void FileManagerWindow::Watch() {
    if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
    for (const FolderFileList* list : {file1_, file2_}) {
        if (!list->Folder().isEmpty()) watcher_->addPath(list->Folder());
    }
}

void FileManagerWindow::RefreshLists() {
    file1_->RefreshIfChanged();
    file2_->RefreshIfChanged();
}

bool FileManagerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == sPath_) file1_->clearSelection();
        if (watched == dPath_) file2_->clearSelection();
    }
    return QWidget::eventFilter(watched, event);
}

void FileManagerWindow::BrowseFolder(int target) {
    QLineEdit* box = target == 1 ? sPath_ : dPath_;
    const QString saved = box->text();
    const QString chosen = browser_.Browse(
        QStringLiteral("Path Browser"),
        target == 1 ? QStringLiteral("Select source path for Program files.")
                    : QStringLiteral("Select Destination path for DXF files."),
        saved, [box](const QString& folder) { box->setText(WithTrailingSeparator(folder)); });
    if (chosen.isEmpty()) {
        box->setText(saved);
    } else {
        box->setText(WithTrailingSeparator(chosen));
    }
    ShowFolderTip(box);
    if (target == 1) {
        workspace_.StoreSourceFolder(box->text());
    } else {
        workspace_.StoreDestFolder(box->text());
    }
}

void FileManagerWindow::File1Menu(const QPoint& globalPos) {
    const bool tall = file1_->height() > height() / 2;
    popup_.Expand()->setText(tall ? QStringLiteral("&Restore") : QStringLiteral("&Expand"));
    popup_.Expand()->setVisible(true);
    popup_.Delete()->setText(QStringLiteral("&Delete Selected Files"));
    popup_.Delete()->setVisible(true);
    popup_.ToProcess()->setVisible(true);
    for (QAction* hidden :
         {popup_.ClearProcess(), popup_.Separator(), popup_.Copy(), popup_.Paste()})
        hidden->setVisible(false);
    const PopupRequests asked = popup_.Popup(globalPos);
    if (asked.expand) {
        if (tall) {
            file1_->setGeometry(file1_->x(), Y(360), file1_->width(), height() / 4);
        } else {
            file1_->raise();
            file1_->setGeometry(file1_->x(), Y(360), file1_->width(), height() - Y(322));
        }
    }
    if (asked.del) {
        if (workspace_.GetSession().prompt.AskYesNo("Query", "Delete selected Program files?",
                                                    false)) {
            for (const QString& name : file1_->SelectedNames()) QFile::remove(file1_->PathOf(name));
        }
        file1_->Refresh();
    }
    if (asked.moveToWorklist) {
        pList_->View()->clearSelection();
        workspace_.AddFiles(file1_->SelectedNames());
    }
}

void FileManagerWindow::File2Toggle() {
    if (file2_->height() <= height() / 2) {
        file2_->raise();
        file2_->setGeometry(file2_->x(), 0, file2_->width(), height());
    } else {
        file2_->setGeometry(file2_->x(), file2Top_, file2_->width(), height() / 4);
    }
}

void FileManagerWindow::SetGridExpanded(bool expand) {
    gridExpanded_ = expand;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        const int width = expand && sub->mdiArea() != nullptr ? sub->mdiArea()->viewport()->width()
                                                              : TwipsToPixelsX(*sub, 4000);
        sub->resize(width, sub->height());
    }
    LayOut();
}

void FileManagerWindow::ClearDestinationFolder() {
    if (!file2_->isHidden() && file2_->count() > 0) {
        const QString folder = file2_->Folder();
        const QString question =
            QStringLiteral("Delete all files in destination folder?  ") +
            QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("*.*")));
        Prompt& prompt = workspace_.GetSession().prompt;
        if (prompt.AskYesNo("Retracer", question.toStdString(), false)) {
            // Every file, not only drawings: Batch.lst and the like go too.
            bool failed = false;
            const QDir dir(folder);
            for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
                if (!QFile::remove(dir.filePath(name))) failed = true;
            }
            if (failed) {
                prompt.Show("Alert!",
                            "File Error. One of these files may be open by another application.",
                            PromptIcon::kInformation);
            }
        }
    }
    file2_->Refresh();
}

void FileManagerWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

// The window's own resize rules, in twips from the top; widths follow the window.
void FileManagerWindow::LayOut() {
    const int w = width();
    const int h = height();
    const int margin = X(60);
    const int browseWidth = qMax(X(700), pBrwseS_->sizeHint().width());
    const int boxHeight = qMax(Y(300), sPath_->sizeHint().height());
    const int inner = w - 2 * margin;

    sPath_->setGeometry(margin, 0, inner - browseWidth - margin, boxHeight);
    pBrwseS_->setGeometry(w - margin - browseWidth, 0, browseWidth, boxHeight);
    file1_->setGeometry(margin, Y(360), inner, h / 4);
    label1_->setGeometry(file1_->x(), file1_->y() + Y(20), inner, boxHeight);
    const int addTop = file1_->y() + file1_->height() + Y(50);
    const int addHeight = qMax(Y(250), addFile_->sizeHint().height());
    addFile_->setGeometry((w - X(800)) / 2, addTop, X(800), addHeight);
    const int gridTop = addTop + qMax(Y(300), addHeight + Y(20));
    pList_->setGeometry(margin, gridTop, w - X(180), h / 4);
    const int procTop = gridTop + pList_->height() + Y(50);
    const int procHeight = qMax(Y(400), proc_->sizeHint().height());
    proc_->setGeometry((w - X(1400)) / 2, procTop, X(1400), procHeight);
    const int destTop = procTop + qMax(Y(500), procHeight + Y(60));
    dPath_->setGeometry(margin, destTop, inner - browseWidth - margin, boxHeight);
    pBrwseD_->setGeometry(w - margin - browseWidth, destTop, browseWidth, boxHeight);
    file2Top_ = destTop + qMax(Y(400), boxHeight + Y(60));
    file2_->setGeometry(margin, file2Top_, inner, h / 4);
    labIP_->setGeometry(file2_->x(), file2_->y() + Y(20), inner, boxHeight);
    const int clearHeight = qMax(Y(300), clear_->sizeHint().height());
    clear_->setGeometry(margin, file2_->y() + file2_->height() + Y(200), inner, clearHeight);
    if (gridExpanded_) {
        // Over everything else, the whole height of the window.
        pList_->raise();
        pList_->setGeometry(margin, 0, inner, h);
    }
}

}  // namespace retracer::app
