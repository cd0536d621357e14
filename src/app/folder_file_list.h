#pragma once

#include <QDir>
#include <QListWidget>

namespace retracer::app {

// A list of the files of one folder that match a pattern (letter case ignored, so "*.DXF" lists
// a.dxf too). An empty or missing folder hides the list, letting the "Invalid Path" label behind
// it show through.
class FolderFileList : public QListWidget {
    Q_OBJECT

  public:
    FolderFileList(const QString& pattern, QWidget* parent);

    // False (and the list hidden) when `folder` is empty or no folder.
    bool SetFolder(const QString& folder);
    const QString& Folder() const { return folder_; }
    const QString& Pattern() const { return pattern_; }

    // Lists the folder again, keeping the selection of names still there.
    void Refresh();
    // Refreshes when the number of matching files differs from the number shown; true if it did.
    bool RefreshIfChanged();
    int MatchingCount() const;

    QStringList Names() const;
    QStringList SelectedNames() const;  // in list order
    // The full path of an entry.
    QString PathOf(const QString& name) const { return QDir(folder_).filePath(name); }

  signals:
    void rightButtonReleased(const QPoint& globalPos);

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QStringList Matching() const;

    QString folder_;
    QString pattern_;
};

}  // namespace retracer::app
