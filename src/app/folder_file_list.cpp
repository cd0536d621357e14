#include "folder_file_list.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QSet>

namespace retracer::app {

FolderFileList::FolderFileList(const QString& pattern, QWidget* parent)
    : QListWidget(parent), pattern_(pattern) {
    setSortingEnabled(false);
}

bool FolderFileList::SetFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) {
        folder_.clear();
        clear();
        hide();
        return false;
    }
    folder_ = folder;
    Refresh();
    show();
    return true;
}

QStringList FolderFileList::Matching() const {
    if (folder_.isEmpty()) return {};
    // Without QDir::CaseSensitive the name filter ignores letter case.
    return QDir(folder_).entryList({pattern_}, QDir::Files | QDir::Hidden | QDir::System,
                                   QDir::Name | QDir::IgnoreCase);
}

int FolderFileList::MatchingCount() const {
    return static_cast<int>(Matching().size());
}

void FolderFileList::Refresh() {
    const QStringList selected = SelectedNames();
    const QSet<QString> keep(selected.begin(), selected.end());
    clear();
    for (const QString& name : Matching()) {
        auto* item = new QListWidgetItem(name, this);
        item->setSelected(keep.contains(name));
    }
}

bool FolderFileList::RefreshIfChanged() {
    if (folder_.isEmpty() || MatchingCount() == count()) return false;
    Refresh();
    return true;
}

QStringList FolderFileList::Names() const {
    QStringList names;
    for (int i = 0; i < count(); ++i) names << item(i)->text();
    return names;
}

QStringList FolderFileList::SelectedNames() const {
    QStringList names;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected()) names << item(i)->text();
    }
    return names;
}

void FolderFileList::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton)
        emit rightButtonReleased(event->globalPosition().toPoint());
}

}  // namespace retracer::app
