#include "popup_menu.h"

namespace retracer::app {

PopupMenu::PopupMenu(QWidget* parent)
    : QObject(parent), menu_(new QMenu(QStringLiteral("PoP"), parent)) {
    menu_->setObjectName(QStringLiteral("PopMnu"));
    auto add = [this](const char* name, const QString& caption) {
        QAction* action = menu_->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    expand_ = add("MnuExp", QStringLiteral("&Expand"));
    delete_ = add("MnuDel", QStringLiteral("&Delete "));
    toProcess_ = add("MnuToProc", QStringLiteral("&Move Selected Files To Process List"));
    clearProcess_ = add("MnuClrProc", QStringLiteral("&Clear Process List"));
    separator_ = menu_->addSeparator();
    separator_->setObjectName(QStringLiteral("PopSep"));
    copy_ = add("MnuCopy", QStringLiteral("Copy"));
    paste_ = add("MnuPaste", QStringLiteral("Paste"));

    connect(expand_, &QAction::triggered, this, [this] {
        requests_.expand = true;
        emit materialsReloadRequested();
    });
    connect(delete_, &QAction::triggered, this, [this] { requests_.del = true; });
    connect(toProcess_, &QAction::triggered, this, [this] { requests_.moveToWorklist = true; });
    connect(clearProcess_, &QAction::triggered, this, [this] { requests_.clearWorklist = true; });
    connect(copy_, &QAction::triggered, this, &PopupMenu::copyRequested);
    connect(paste_, &QAction::triggered, this, &PopupMenu::pasteRequested);
    runner_ = [](QMenu& menu, const QPoint& pos) { menu.exec(pos); };
}

PopupRequests PopupMenu::Popup(const QPoint& globalPos) {
    requests_ = PopupRequests();
    runner_(*menu_, globalPos);
    const PopupRequests asked = requests_;
    requests_ = PopupRequests();
    return asked;
}

}  // namespace retracer::app
