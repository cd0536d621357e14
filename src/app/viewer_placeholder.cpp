#include "viewer_placeholder.h"

#include <QFile>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace retracer::app {

ViewerPlaceholder::ViewerPlaceholder(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Viewer"));
    setWindowTitle(QStringLiteral("Viewer"));
    shown_ = new QLabel(this);
    shown_->setAlignment(Qt::AlignCenter);
    shown_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(shown_);
    SetBackgroundColor(background_);
}

void ViewerPlaceholder::SetBackgroundColor(const QColor& colour) {
    background_ = colour;
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, colour.lightness() < 128 ? Qt::white : Qt::black);
    setPalette(p);
}

bool ViewerPlaceholder::Redraw(QString*) {
    calls_ << QStringLiteral("Redraw");
    update();
    return true;
}

void ViewerPlaceholder::SetZoomFunction(int function) {
    zoomFunction_ = function;
    calls_ << QStringLiteral("SetZoomFunction %1").arg(function);
}

bool ViewerPlaceholder::OpenDrawing(const QString& path, QStringList* layers, QString* errText) {
    calls_ << QStringLiteral("OpenDrawing ") + path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errText != nullptr) *errText = file.errorString();
        return false;
    }
    // Layer names are the values after group code 8; enough to fill the Control Panel's list.
    const QStringList lines =
        QString::fromLatin1(file.readAll()).split(QRegularExpression("\r?\n"));
    QStringList found;
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        if (lines[i].trimmed() == QLatin1String("8") && !found.contains(lines[i + 1].trimmed())) {
            found << lines[i + 1].trimmed();
        }
    }
    if (layers != nullptr) *layers = found;
    setWindowTitle(path);
    shown_->setText(path + QStringLiteral("\n%1 layers").arg(found.size()));
    return true;
}

bool ViewerPlaceholder::SaveDrawing(const QString& path, QString*) {
    calls_ << QStringLiteral("SaveDrawing ") + path;
    return true;
}

void ViewerPlaceholder::PrintDrawing(int area) {
    calls_ << QStringLiteral("PrintDrawing %1").arg(area);
}

void ViewerPlaceholder::SetLayerVisible(const QString& layer, bool visible) {
    calls_ << QStringLiteral("SetLayerVisible %1 %2").arg(layer).arg(visible ? 1 : 0);
}

}  // namespace retracer::app
