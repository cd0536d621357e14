#include "control_panel_placeholder.h"

#include <QVBoxLayout>

#include "variables/control_panel_lists.h"

namespace retracer::app {

ControlPanelPlaceholder::ControlPanelPlaceholder(const ControlPanelLists& lists, QWidget* parent)
    : QWidget(parent), lists_(lists), text_(new QLabel(this)) {
    setObjectName(QStringLiteral("CPanel"));
    setWindowTitle(QStringLiteral("Control Panel"));
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    Refresh();
}

void ControlPanelPlaceholder::SetTab(const QString& caption) {
    tab_ = caption;
    Refresh();
}

void ControlPanelPlaceholder::Refresh() {
    const auto& labels = lists_.Labels();
    QString text = QString::fromStdString(labels.Frame());
    if (tab_ != QLatin1String("L")) {
        text += QLatin1Char('\n') + QString::fromStdString(labels.Dimensions()) +
                QLatin1Char('\n') + QString::fromStdString(labels.Comment());
    }
    text += QStringLiteral("\nLayers: %1    Program lines: %2")
                .arg(lists_.LayerList().Count())
                .arg(lists_.PrgList().Count());
    text_->setText(text);
}

}  // namespace retracer::app
