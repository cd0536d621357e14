#include "options_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include "base/prompt.h"
#include "base/value_text.h"
#include "settings/user_store.h"
#include "text_grid_model.h"
#include "viewer_control.h"

namespace retracer::app {
namespace {

constexpr std::string_view kApp = "Retracer";
constexpr std::string_view kDefaults = "Defaults";
constexpr std::string_view kBackColorKey = "BackColor";
constexpr double kMinZoomPercent = 1;
constexpr double kMaxZoomPercent = 1000;

// The percentages are single-precision numbers in the viewer, and read as such.
QString PercentText(double percent) {
    return ToQString(GeneralText(static_cast<float>(percent)));
}

QComboBox* ZoomBox(QWidget* parent, const QString& name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    for (int percent : {25, 50, 75, 100, 125, 150, 200}) box->addItem(QString::number(percent));
    auto* numbers = new QDoubleValidator(0, kMaxZoomPercent, 3, box);
    numbers->setLocale(QLocale::c());  // the percentages are written with a decimal point
    numbers->setNotation(QDoubleValidator::StandardNotation);
    box->setValidator(numbers);
    return box;
}

bool ReadPercent(const QComboBox& box, double* percent) {
    return IsPlainNumber(ToStdString(box.currentText()), percent) && *percent >= kMinZoomPercent &&
           *percent <= kMaxZoomPercent;
}

}  // namespace

QString SpotZoomStatusText(double zoomIn, double zoomOut) {
    return QStringLiteral("Spot Zoom (L/R): ") + PercentText(zoomIn) + QStringLiteral("% / ") +
           PercentText(zoomOut) + QStringLiteral("% ");
}

QString ColourStoreText(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return QString::number(rgb.red() + 256 * rgb.green() + 65536 * rgb.blue());
}

QColor ColourFromStoreText(const QString& text) {
    bool ok = false;
    const long value = text.trimmed().toLong(&ok);
    if (!ok || value < 0 || value > 0xFFFFFF) return {};
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

OptionsDialog::OptionsDialog(ViewerControl& viewer, UserSettingsStore& store, Prompt& prompt,
                             ColourChooser chooseColour, QWidget* parent)
    : QDialog(parent),
      viewer_(viewer),
      store_(store),
      prompt_(prompt),
      chooseColour_(std::move(chooseColour)) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);
    if (!chooseColour_) {
        chooseColour_ = [](const QColor& initial, QWidget* owner) {
            return QColorDialog::getColor(initial, owner, QStringLiteral("Background Color"));
        };
    }

    chkDisplayBlack_ = new QCheckBox(QStringLiteral("&Display Using Black and White"), this);
    chkDisplayBlack_->setObjectName(QStringLiteral("chkDisplayBlack"));
    chkDisplayBlack_->setToolTip(QStringLiteral("Show the drawing in black on white"));
    chkPrintBlack_ = new QCheckBox(QStringLiteral("&Print Using Black and White"), this);
    chkPrintBlack_->setObjectName(QStringLiteral("chkPrintBlack"));
    chkPrintBlack_->setToolTip(QStringLiteral("Print the drawing in black on white"));

    picColor_ = new QFrame(this);
    picColor_->setObjectName(QStringLiteral("picColor"));
    picColor_->setFrameShape(QFrame::Box);
    picColor_->setMinimumSize(48, 24);
    picColor_->setAutoFillBackground(true);
    picColor_->setAccessibleName(QStringLiteral("Background colour"));
    cmdColor_ = new QPushButton(QStringLiteral("&Background Color"), this);
    cmdColor_->setObjectName(QStringLiteral("cmdColor"));
    cmdColor_->setToolTip(QStringLiteral("Choose the background colour of the drawing viewer"));

    cboZoomPercentLeft_ = ZoomBox(this, QStringLiteral("cboZoomPercentLeft"));
    cboZoomPercentRight_ = ZoomBox(this, QStringLiteral("cboZoomPercentRight"));
    auto* lblLeft =
        new QLabel(QStringLiteral("On the Spot Zoom Percentage (&left button - zoom in)"), this);
    lblLeft->setObjectName(QStringLiteral("lblOnTheSpotPercent"));
    auto* lblRight =
        new QLabel(QStringLiteral("On the Spot Zoom Percentage (&right button - zoom out)"), this);
    lblRight->setObjectName(QStringLiteral("Label2"));
    lblLeft->setBuddy(cboZoomPercentLeft_);
    lblRight->setBuddy(cboZoomPercentRight_);
    cboZoomPercentLeft_->setToolTip(QStringLiteral("Percentage a left click zooms in by"));
    cboZoomPercentRight_->setToolTip(QStringLiteral("Percentage a right click zooms out by"));

    // The viewer's scratch folder is shown, not chosen here; the redline height is shown as it
    // always was, and nothing reads or keeps it.
    txtTmpFilePath_ = new QLineEdit(viewer_.TemporaryFolder(), this);
    txtTmpFilePath_->setObjectName(QStringLiteral("txtTmpFilePath"));
    txtTmpFilePath_->setReadOnly(true);
    txtTmpFilePath_->setToolTip(txtTmpFilePath_->text());
    // Wide enough for a usual path; a longer one shows its beginning.
    txtTmpFilePath_->setMinimumWidth(std::min(
        txtTmpFilePath_->fontMetrics().horizontalAdvance(txtTmpFilePath_->text()) + 16, 480));
    txtTmpFilePath_->setCursorPosition(0);
    auto* label1 = new QLabel(QStringLiteral("&Temporary File Path"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setBuddy(txtTmpFilePath_);
    txtRedlineTextHeight_ = new QLineEdit(QStringLiteral("1"), this);
    txtRedlineTextHeight_->setObjectName(QStringLiteral("txtRedlineTextHeight"));
    auto* lblRedline = new QLabel(QStringLiteral("Redline Te&xt Height"), this);
    lblRedline->setObjectName(QStringLiteral("lblRedline"));
    lblRedline->setBuddy(txtRedlineTextHeight_);

    auto* buttons = new QDialogButtonBox(this);
    cmdOK_ = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    QPushButton* drillTools =
        buttons->addButton(QStringLiteral("Dr&ill Tools..."), QDialogButtonBox::ActionRole);
    drillTools->setObjectName(QStringLiteral("cmdDrillTools"));
    drillTools->setToolTip(QStringLiteral("Edit the drill tool table"));

    for (QWidget* widget :
         std::initializer_list<QWidget*>{chkDisplayBlack_, chkPrintBlack_, cmdColor_,
                                         cboZoomPercentLeft_, cboZoomPercentRight_, drillTools}) {
        widget->setAccessibleDescription(widget->toolTip());
    }

    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(picColor_);
    colourRow->addWidget(cmdColor_);
    colourRow->addStretch(1);
    auto* grid = new QGridLayout(this);
    grid->addWidget(chkDisplayBlack_, 0, 0, 1, 2);
    grid->addWidget(chkPrintBlack_, 1, 0, 1, 2);
    grid->addLayout(colourRow, 2, 0, 1, 2);
    grid->addWidget(lblLeft, 3, 0);
    grid->addWidget(cboZoomPercentLeft_, 3, 1);
    grid->addWidget(lblRight, 4, 0);
    grid->addWidget(cboZoomPercentRight_, 4, 1);
    grid->addWidget(label1, 5, 0);
    grid->addWidget(txtTmpFilePath_, 5, 1);
    grid->addWidget(lblRedline, 6, 0);
    grid->addWidget(txtRedlineTextHeight_, 6, 1);
    grid->addWidget(buttons, 7, 0, 1, 2);

    connect(cmdColor_, &QPushButton::clicked, this, &OptionsDialog::ChooseBackgroundColour);
    connect(chkDisplayBlack_, &QCheckBox::clicked, this, [this] { changed_ = true; });
    connect(chkPrintBlack_, &QCheckBox::clicked, this, [this] { changed_ = true; });
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    connect(drillTools, &QPushButton::clicked, this, &OptionsDialog::drillToolsRequested);

    // What the viewer holds now.
    cboZoomPercentLeft_->setEditText(PercentText(viewer_.ZoomInPercent()));
    cboZoomPercentRight_->setEditText(PercentText(viewer_.ZoomOutPercent()));
    ShowSwatch(viewer_.BackgroundColor());
    chkPrintBlack_->setChecked(viewer_.PrintBlackAndWhite());
    chkDisplayBlack_->setChecked(viewer_.DisplayBlackAndWhite());
}

void OptionsDialog::ShowSwatch(const QColor& colour) {
    QPalette palette = picColor_->palette();
    palette.setColor(QPalette::Window, colour);
    picColor_->setPalette(palette);
}

void OptionsDialog::ReportRedrawFailure(const QString& message) {
    prompt_.Show(kApp,
                 "An error occurred in cmdColor_Click. The message is: " + ToStdString(message),
                 PromptIcon::kWarning);
}

void OptionsDialog::ChooseBackgroundColour() {
    const QColor colour = chooseColour_(viewer_.BackgroundColor(), this);
    if (!colour.isValid()) return;  // cancelled: nothing changes
    ShowSwatch(colour);
    viewer_.SetBackgroundColor(colour);
    QString error;
    if (!viewer_.Redraw(&error)) {
        ReportRedrawFailure(error);
        return;
    }
    store_.Save(kApp, kDefaults, kBackColorKey, ToStdString(ColourStoreText(colour)));
}

void OptionsDialog::accept() {
    double zoomIn = 0;
    double zoomOut = 0;
    for (auto [box, percent] :
         {std::pair{cboZoomPercentLeft_, &zoomIn}, std::pair{cboZoomPercentRight_, &zoomOut}}) {
        if (!ReadPercent(*box, percent)) {
            prompt_.Show(kApp, "Enter a zoom percentage from 1 to 1000.", PromptIcon::kWarning);
            box->setFocus();
            return;
        }
    }
    viewer_.SetZoomInPercent(static_cast<float>(zoomIn));
    viewer_.SetZoomOutPercent(static_cast<float>(zoomOut));
    emit zoomStatusChanged(SpotZoomStatusText(viewer_.ZoomInPercent(), viewer_.ZoomOutPercent()));
    viewer_.SetPrintBlackAndWhite(chkPrintBlack_->isChecked());
    viewer_.SetDisplayBlackAndWhite(chkDisplayBlack_->isChecked());
    if (changed_) {
        QString error;
        if (!viewer_.Redraw(&error)) ReportRedrawFailure(error);
    }
    QDialog::accept();
}

}  // namespace retracer::app
