#include "run_progress.h"

#include <QApplication>

namespace retracer::app {

ProgressDialogRun::~ProgressDialogRun() {
    End();
}

void ProgressDialogRun::Begin(const QString& title, int total) {
    End();
    dialog_ = new QProgressDialog(QString(), QStringLiteral("Cancel"), 0, total, parent_);
    dialog_->setObjectName(QStringLiteral("RunProgress"));
    dialog_->setWindowTitle(title);
    dialog_->setAccessibleName(title);
    dialog_->setWindowModality(Qt::ApplicationModal);
    // Short runs finish before the dialog would show; the busy pointer says enough for them.
    dialog_->setMinimumDuration(400);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

void ProgressDialogRun::Show(const QString& text, int done, int total) {
    if (dialog_ == nullptr) return;
    // The run knows its count of rows only once it has looked at them.
    if (total > 0) dialog_->setMaximum(total);
    dialog_->setLabelText(text);
    dialog_->setValue(done);
    QApplication::processEvents();
}

bool ProgressDialogRun::Cancelled() {
    if (dialog_ == nullptr) return false;
    // A Cancel pressed while the last row was translated waits among the pending events.
    QApplication::processEvents();
    return dialog_ != nullptr && dialog_->wasCanceled();
}

void ProgressDialogRun::End() {
    if (dialog_ == nullptr) return;
    QApplication::restoreOverrideCursor();
    delete dialog_;
}

}  // namespace retracer::app
