#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <QString>

namespace retracer::app {

// What a long run shows while it goes on: a step per row (or file) and a way to stop it.
class RunProgressView {
  public:
    virtual ~RunProgressView() = default;
    virtual void Begin(const QString& title, int total) = 0;
    // Step `done` (from 0) of `total` begins; `done` equal to `total` says the run is through.
    virtual void Show(const QString& text, int done, int total) = 0;
    // Asked before each step: true once the user asked to stop.
    virtual bool Cancelled() = 0;
    virtual void End() = 0;
};

// A modal progress dialog with a Cancel button. Pending window events run at every step and
// every question, so the windows repaint and Cancel is heard, while the modality keeps the user
// from starting anything else on the session the run is using.
class ProgressDialogRun : public RunProgressView {
  public:
    explicit ProgressDialogRun(QWidget* parent) : parent_(parent) {}
    ~ProgressDialogRun() override;
    void Begin(const QString& title, int total) override;
    void Show(const QString& text, int done, int total) override;
    bool Cancelled() override;
    void End() override;

  private:
    QWidget* parent_;
    QPointer<QProgressDialog> dialog_;
};

}  // namespace retracer::app
