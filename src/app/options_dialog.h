#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;

namespace retracer {
class Prompt;
class UserSettingsStore;
}  // namespace retracer

namespace retracer::app {

class ViewerControl;

// Shows a colour dialog starting at `initial`; an invalid colour when the user cancelled.
using ColourChooser = std::function<QColor(const QColor& initial, QWidget* parent)>;

// The status text of the spot zoom percentages: "Spot Zoom (L/R): 60% / 50% ".
QString SpotZoomStatusText(double zoomIn, double zoomOut);

// A colour as the per-user store keeps it under "BackColor": the integer red + 256 * green +
// 65536 * blue as text, the form the store has always held.
QString ColourStoreText(const QColor& colour);
// Its reverse; an invalid colour for a text that is not such an integer.
QColor ColourFromStoreText(const QString& text);

// `frmOptions`, "Options": the viewer's display settings (black and white display and print,
// background colour, the spot zoom percentages). It reads them from the viewer when it opens and
// writes them back on OK; the background colour is applied (and kept for the user) as soon as it
// is chosen. OK also gives the frame its new "ZoomPct" status text through zoomStatusChanged.
class OptionsDialog : public QDialog {
    Q_OBJECT

  public:
    // `chooseColour` defaults to the platform's colour dialog; `prompt` shows the errors.
    OptionsDialog(ViewerControl& viewer, UserSettingsStore& store, Prompt& prompt,
                  ColourChooser chooseColour = {}, QWidget* parent = nullptr);

    QCheckBox* DisplayBlackBox() const { return chkDisplayBlack_; }
    QCheckBox* PrintBlackBox() const { return chkPrintBlack_; }
    QComboBox* ZoomInBox() const { return cboZoomPercentLeft_; }
    QComboBox* ZoomOutBox() const { return cboZoomPercentRight_; }
    QFrame* Swatch() const { return picColor_; }
    QPushButton* ColourButton() const { return cmdColor_; }
    QPushButton* OkButton() const { return cmdOK_; }

  public slots:
    // "Background Color": chooses, applies, redraws and stores the colour at once.
    void ChooseBackgroundColour();
    // OK: applies the percentages and black-and-white choices; refused (the dialog stays) while
    // a percentage is not a number from 1 to 1000.
    void accept() override;

  signals:
    void zoomStatusChanged(const QString& text);
    // The user asked for the drill tool table.
    void drillToolsRequested();

  private:
    void ShowSwatch(const QColor& colour);
    void ReportRedrawFailure(const QString& message);

    ViewerControl& viewer_;
    UserSettingsStore& store_;
    Prompt& prompt_;
    ColourChooser chooseColour_;
    bool changed_ = false;  // a black-and-white box was clicked: OK redraws

    QCheckBox* chkDisplayBlack_ = nullptr;
    QCheckBox* chkPrintBlack_ = nullptr;
    QFrame* picColor_ = nullptr;
    QPushButton* cmdColor_ = nullptr;
    QComboBox* cboZoomPercentLeft_ = nullptr;
    QComboBox* cboZoomPercentRight_ = nullptr;
    QLineEdit* txtTmpFilePath_ = nullptr;
    QLineEdit* txtRedlineTextHeight_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
};

}  // namespace retracer::app
