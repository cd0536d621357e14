#pragma once

#include <QWidget>

namespace retracer::app {

// Gives a control its object name, its caption as the accessible name and its tooltip as the
// accessible description, so screen readers and UI automation find it by what the user reads.
inline void Describe(QWidget* widget, const char* objectName, const QString& caption,
                     const QString& tooltip = QString()) {
    widget->setObjectName(QLatin1String(objectName));
    widget->setAccessibleName(caption);
    if (!tooltip.isEmpty()) {
        widget->setToolTip(tooltip);
        widget->setAccessibleDescription(tooltip);
    }
}

}  // namespace retracer::app
