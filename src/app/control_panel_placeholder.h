#pragma once

#include <QLabel>
#include <QWidget>

namespace retracer {
class ControlPanelLists;
}

namespace retracer::app {

// Stands in for the Control Panel until it is plugged in: shows the program data texts of the
// last recognised program and takes the requests the other windows make of the panel.
class ControlPanelPlaceholder : public QWidget {
    Q_OBJECT

  public:
    explicit ControlPanelPlaceholder(const ControlPanelLists& lists, QWidget* parent = nullptr);

    bool TabStripShown() const { return tabStripShown_; }
    const QString& CurrentTab() const { return tab_; }

  public slots:
    void ShowTabStrip(bool shown) { tabStripShown_ = shown; }
    // "L" shows the layer list and hides the program data frame.
    void SetTab(const QString& caption);
    void ReapplyTab() { SetTab(tab_); }
    // Reads the lists again after a job.
    void Refresh();

  private:
    const ControlPanelLists& lists_;
    QLabel* text_;
    bool tabStripShown_ = true;
    QString tab_ = QStringLiteral("P");
};

}  // namespace retracer::app
