#pragma once

#include <QMenu>
#include <QObject>
#include <functional>

namespace retracer::app {

// What the pop-up menu's commands asked for; the list that opened the menu acts on it after the
// menu closes.
struct PopupRequests {
    bool expand = false;
    bool del = false;
    bool moveToWorklist = false;
    bool clearWorklist = false;
};

// The frame's pop-up menu `PopMnu`, shared by the program files list and the worklist grid. Each
// command only sets its request; Copy and Paste are passed on at once.
class PopupMenu : public QObject {
    Q_OBJECT

  public:
    explicit PopupMenu(QWidget* parent);

    QMenu& Menu() { return *menu_; }
    QAction* Expand() const { return expand_; }
    QAction* Delete() const { return delete_; }
    QAction* ToProcess() const { return toProcess_; }
    QAction* ClearProcess() const { return clearProcess_; }
    QAction* Separator() const { return separator_; }
    QAction* Copy() const { return copy_; }
    QAction* Paste() const { return paste_; }

    // Shows the menu (tests replace how) and returns what its command asked for; the requests
    // are cleared for the next time.
    using Runner = std::function<void(QMenu& menu, const QPoint& globalPos)>;
    void SetRunner(Runner runner) { runner_ = std::move(runner); }
    PopupRequests Popup(const QPoint& globalPos);

  signals:
    void materialsReloadRequested();
    void copyRequested();
    void pasteRequested();

  private:
    QMenu* menu_;
    QAction* expand_;
    QAction* delete_;
    QAction* toProcess_;
    QAction* clearProcess_;
    QAction* separator_;
    QAction* copy_;
    QAction* paste_;
    PopupRequests requests_;
    Runner runner_;
};

}  // namespace retracer::app
