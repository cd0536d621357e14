#include "control_panel_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

#include "job/control_panel_lists.h"
#include "settings/ini_file.h"
#include "text_grid_model.h"
#include "worklist/worklist.h"

namespace retracer::app {

// Watches the editors of one list: every editor it creates reports its events to `watcher`.
class EditorWatcher : public QStyledItemDelegate {
  public:
    EditorWatcher(QObject* watcher, QObject* parent)
        : QStyledItemDelegate(parent), watcher_(watcher) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor != nullptr) {
            editor->setProperty("rVarEditor", true);
            editor->installEventFilter(watcher_);
        }
        return editor;
    }

  private:
    QObject* watcher_;
};

namespace {

struct OptionBoxEntry {
    OptionField field;
    const char* name;  // the check box's name
    const char* caption;
    const char* tip;
};

// In the order of the settings keys.
constexpr std::array<OptionBoxEntry, kOptionKeys.size()> kOptionBoxes{{
    {&TranslationOptions::translateOnSelect, "TOS", "&Translate on selection",
     "Clicking a program file translates it as well as recognising it"},
    {&TranslationOptions::saveOnTranslate, "SOT", "&Save on Selection Translate",
     "Save the drawing of a selected program in the destination folder under its own name"},
    {&TranslationOptions::toolNumberToDiameter, "Tn2Dia", "Tool &Number to Diameter",
     "Take the hole diameter from the drill tool table"},
    {&TranslationOptions::generateBatchLst, "GenBL", "Generate &Batch.lst file",
     "Write Batch.lst, the list of the drawings made, after a worklist run"},
    {&TranslationOptions::attachBarcode, "AtchBC", "Attach Bar&code",
     "Add a barcode to the label block of every drawing"},
    {&TranslationOptions::maintainRtSeq, "MRS", "&Maintain Route Sequence",
     "Number the route layers in the order the program routes them"},
    {&TranslationOptions::depthInVertices, "ZinV", "Encode &Depth in Vertices",
     "Keep the depth of every route vertex in the drawing"},
    {&TranslationOptions::renameForHbd, "R4HBD", "&Rename for HBD",
     "Name the drawings of a worklist run from the running HBD counter"},
    {&TranslationOptions::engraveLabel, "EngLab", "&Engrave Label",
     "Engrave the label texts into the part"},
}};

// Design sizes in twips.
constexpr int kResizeRuleWidth = 9300;  // wider windows move the tab strip to the right edge
constexpr int kTabRightMargin = 600;
constexpr int kDesignGap = 120;
constexpr int kListMinWidth = 4200;
// Around the frames and inside them: the window is only 3600 twips high.
const QMargins kFrameMargins(6, 3, 6, 3);
// Rows of the option boxes in a narrow and in a wide window.
constexpr int kTallOptionRows = 5;
constexpr int kWideOptionRows = 3;

bool Within(const QWidget* widget, const QWidget* ancestor) {
    return widget != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

}  // namespace

const QStringList& ControlPanelWindow::TabCaptions() {
    static const QStringList captions{QStringLiteral("Program"),     QStringLiteral("Layers"),
                                      QStringLiteral("Dimensions"),  QStringLiteral("V Variables"),
                                      QStringLiteral("R Variables"), QStringLiteral("Subprograms"),
                                      QStringLiteral("Messages")};
    return captions;
}

bool ControlPanelWindow::RVarKeyStores(int characterCode) {
    return characterCode == 13 || characterCode == 8 || characterCode >= 42;
}

ControlPanelWindow::ControlPanelWindow(ControlPanelLists& lists, Worklist& worklist,
                                       TranslationOptions& options, IniFile& ini, QWidget* parent)
    : QWidget(parent), lists_(lists), worklist_(worklist), options_(options), ini_(ini) {
    setObjectName(QStringLiteral("CPanel"));
    setWindowTitle(QStringLiteral("Control Panel"));

    auto* left = new QVBoxLayout;
    left->addWidget(BuildOptions());
    left->addWidget(BuildProgramData(), 1);
    left->addStretch();  // keeps the options together while the program data frame is hidden

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kFrameMargins);
    row->addLayout(left);
    gap_ = new QSpacerItem(Twips(kDesignGap), 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    row->addSpacerItem(gap_);
    row->addWidget(BuildTabArea());
    rightMargin_ = new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
    row->addSpacerItem(rightMargin_);

    // Keyboard order: the options, then the tab strip and its lists.
    QWidget* previous = nullptr;
    for (QWidget* next : std::initializer_list<QWidget*>{
             boxes_[0], boxes_[1], boxes_[2], boxes_[3], boxes_[4], boxes_[5], boxes_[6], boxes_[7],
             boxes_[8], tabs_, prgList_, layerList_, dimList_, vVarList_, rVarList_, subList_,
             messageList_}) {
        if (previous != nullptr) setTabOrder(previous, next);
        previous = next;
    }

    lists_.Labels().Changes().SetChangeHandler([this](const ModelChange&) { ShowLabels(); });
    ShowLabels();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Leaving the R list for another control of this window stores it.
        if (Within(old, rVarList_) && now != nullptr && !Within(now, rVarList_) &&
            now->window() == window()) {
            StoreRVars();
        }
    });
    LoadOptions(options_);
    SetTab(TabCaptions().front());
}

ControlPanelWindow::~ControlPanelWindow() {
    lists_.Labels().Changes().SetChangeHandler(nullptr);
}

int ControlPanelWindow::Twips(int twips) const {
    return static_cast<int>(static_cast<long long>(twips) * logicalDpiX() / 1440);
}

QWidget* ControlPanelWindow::BuildOptions() {
    auto* frame = new QGroupBox(QStringLiteral("Preferences"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    optionGrid_ = new QGridLayout(frame);
    optionGrid_->setVerticalSpacing(0);
    optionGrid_->setContentsMargins(kFrameMargins);
    for (std::size_t i = 0; i < kOptionBoxes.size(); ++i) {
        const OptionBoxEntry& entry = kOptionBoxes[i];
        auto* box = new QCheckBox(QString::fromUtf8(entry.caption), frame);
        box->setObjectName(QString::fromUtf8(entry.name));
        box->setToolTip(QString::fromUtf8(entry.tip));
        box->setAccessibleDescription(box->toolTip());
        const OptionField field = entry.field;
        connect(box, &QCheckBox::clicked, this,
                [this, field](bool on) { OptionClicked(field, on); });
        boxes_[i] = box;
    }
    PlaceOptions(kTallOptionRows);
    return frame;
}

void ControlPanelWindow::PlaceOptions(int rows) {
    if (rows == optionRows_) return;
    optionRows_ = rows;
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const int index = static_cast<int>(i);
        optionGrid_->addWidget(boxes_[i], index % rows, index / rows);
    }
    // The frame's size as the window's layout sees it follows at once.
    optionGrid_->invalidate();
    optionGrid_->parentWidget()->updateGeometry();
    if (layout() != nullptr) layout()->invalidate();
}

void ControlPanelWindow::ArrangeOptions() {
    // The window is only 3600 twips high: five rows of options leave the program data frame
    // too little room, so a window wide enough takes them in three rows.
    if (wideMinimum_ == 0) {
        // Room for the options in three rows beside the whole tab strip.
        PlaceOptions(kWideOptionRows);
        const auto* row = static_cast<const QHBoxLayout*>(layout());
        wideMinimum_ = row->contentsMargins().left() + row->contentsMargins().right() +
                       optionGrid_->parentWidget()->sizeHint().width() + 2 * row->spacing() +
                       Twips(kDesignGap) + tabArea_->sizeHint().width();
    }
    PlaceOptions(width() >= wideMinimum_ ? kWideOptionRows : kTallOptionRows);
}

QGroupBox* ControlPanelWindow::BuildProgramData() {
    framePD_ = new QGroupBox(QStringLiteral("Program data"), this);
    framePD_->setObjectName(QStringLiteral("FramePD"));
    auto* layout = new QVBoxLayout(framePD_);
    layout->setContentsMargins(kFrameMargins);
    labCmt_ = new QLabel(framePD_);
    labCmt_->setObjectName(QStringLiteral("LabCmt"));
    labCmt_->setToolTip(QStringLiteral("Comment of the program"));
    labDim_ = new QLabel(framePD_);
    labDim_->setObjectName(QStringLiteral("LabDim"));
    labDim_->setToolTip(QStringLiteral("Units and part size of the program"));
    for (QLabel* label : {labCmt_, labDim_}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setAccessibleDescription(label->toolTip());
        layout->addWidget(label);
    }
    layout->addStretch(1);
    return framePD_;
}

QTableView* ControlPanelWindow::AddList(QAbstractItemModel* model, const QString& name,
                                        const QString& caption) {
    auto* view = new QTableView(tabArea_);
    view->setObjectName(name);
    view->setModel(model);
    view->setAccessibleName(caption);
    view->setWordWrap(false);
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->setMinimumWidth(Twips(kListMinWidth));
    tabArea_->layout()->addWidget(view);
    return view;
}

QWidget* ControlPanelWindow::BuildTabArea() {
    tabArea_ = new QWidget(this);
    tabArea_->setObjectName(QStringLiteral("CPTabFrame"));
    auto* layout = new QVBoxLayout(tabArea_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    tabs_ = new QTabBar(tabArea_);
    tabs_->setObjectName(QStringLiteral("CPTab"));
    tabs_->setAccessibleName(QStringLiteral("Lists"));
    tabs_->setExpanding(false);
    tabs_->setUsesScrollButtons(true);
    const QStringList shortcuts{QStringLiteral("&Program"),     QStringLiteral("&Layers"),
                                QStringLiteral("D&imensions"),  QStringLiteral("&V Variables"),
                                QStringLiteral("R V&ariables"), QStringLiteral("S&ubprograms"),
                                QStringLiteral("Messa&ges")};
    for (const QString& caption : shortcuts) tabs_->addTab(caption);
    layout->addWidget(tabs_);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0) SetTab(TabCaptions().value(index));
    });

    prgModel_ = new TextListModel(lists_.PrgList(), QStringLiteral("Program"), false, this);
    layerModel_ = new TextListModel(lists_.LayerList(), QStringLiteral("Layers"), true, this);
    messageModel_ =
        new TextListModel(lists_.MessageList(), QStringLiteral("Messages"), false, this);
    dimModel_ = new TextGridModel(lists_.DimList(), {QString(), QStringLiteral("Size")}, this);
    vVarModel_ = new TextGridModel(lists_.VVarList(),
                                   {QStringLiteral("Name"), QStringLiteral("Value")}, this);
    rVarModel_ = new TextGridModel(
        lists_.RVarList(),
        {QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Description")}, this);
    subModel_ = new TextGridModel(lists_.SubList(),
                                  {QStringLiteral("Call"), QStringLiteral("Subprograms")}, this);

    prgList_ = AddList(prgModel_, QStringLiteral("PrgList"), QStringLiteral("Program lines"));
    layerList_ = AddList(layerModel_, QStringLiteral("LayerList"), QStringLiteral("Layers"));
    dimList_ = AddList(dimModel_, QStringLiteral("DimList"), QStringLiteral("Dimensions"));
    vVarList_ = AddList(vVarModel_, QStringLiteral("VVarList"), QStringLiteral("V Variables"));
    rVarList_ = AddList(rVarModel_, QStringLiteral("RVarList"), QStringLiteral("R Variables"));
    subList_ = AddList(subModel_, QStringLiteral("SubList"), QStringLiteral("Subprograms"));
    messageList_ = AddList(messageModel_, QStringLiteral("MsgList"), QStringLiteral("Messages"));
    prgList_->horizontalHeader()->hide();
    layerList_->setToolTip(QStringLiteral("Uncheck a layer to hide it in the viewer"));
    dimList_->setToolTip(QStringLiteral("Part size of the current job; edits translate it again"));
    vVarList_->setToolTip(
        QStringLiteral("V variables of the current job; edits translate it again"));
    rVarList_->setToolTip(
        QStringLiteral("R variables of the current job; edits translate it again"));
    subList_->setToolTip(QStringLiteral("Subprograms called by the last job"));
    messageList_->horizontalHeader()->hide();
    messageList_->setToolTip(
        QStringLiteral("What the last job could not read or draw, with file and line"));
    for (QTableView* view :
         {prgList_, layerList_, dimList_, vVarList_, rVarList_, subList_, messageList_}) {
        view->setAccessibleDescription(view->toolTip());
    }

    rVarDelegate_ = new EditorWatcher(this, this);
    rVarList_->setItemDelegate(rVarDelegate_);
    rVarList_->installEventFilter(this);

    connect(dimModel_, &TextGridModel::cellEdited, this, &ControlPanelWindow::StoreDimensions);
    connect(vVarModel_, &TextGridModel::cellEdited, this, &ControlPanelWindow::StoreVVars);
    connect(layerModel_, &TextListModel::lineCheckChanged, this,
            &ControlPanelWindow::layerVisibilityChanged);
    return tabArea_;
}

void ControlPanelWindow::LoadOptions(const TranslationOptions& options) {
    for (std::size_t i = 0; i < kOptionBoxes.size(); ++i) {
        boxes_[i]->setChecked(options.*kOptionBoxes[i].field);
    }
    OptionBox(&TranslationOptions::saveOnTranslate)->setEnabled(options.translateOnSelect);
}

QCheckBox* ControlPanelWindow::OptionBox(OptionField option) const {
    for (std::size_t i = 0; i < kOptionBoxes.size(); ++i) {
        if (kOptionBoxes[i].field == option) return boxes_[i];
    }
    return nullptr;
}

void ControlPanelWindow::OptionClicked(OptionField option, bool on) {
    options_.*option = on;
    WriteOption(ini_, option, on);  // a settings file that cannot be written changes nothing here
    if (option == &TranslationOptions::translateOnSelect) {
        OptionBox(&TranslationOptions::saveOnTranslate)->setEnabled(on);
    }
}

void ControlPanelWindow::ShowLabels() {
    const ProgramDataLabels& labels = lists_.Labels();
    framePD_->setTitle(ToQString(labels.Frame()));
    labCmt_->setText(ToQString(labels.Comment()));
    labDim_->setText(ToQString(labels.Dimensions()));
}

void ControlPanelWindow::SetTab(const QString& text) {
    const QChar letter = text.isEmpty() ? QChar() : text.front();
    const std::array<std::pair<QChar, QTableView*>, 7> lists{{{u'P', prgList_},
                                                              {u'L', layerList_},
                                                              {u'V', vVarList_},
                                                              {u'R', rVarList_},
                                                              {u'D', dimList_},
                                                              {u'S', subList_},
                                                              {u'M', messageList_}}};
    for (const auto& [key, view] : lists) view->setVisible(key == letter);
    framePD_->setVisible(text != QStringLiteral("L"));
}

void ControlPanelWindow::ShowSelectedTab() {
    SetTabStripVisible(true);
    SetTab(TabCaptions().value(tabs_->currentIndex()));
}

void ControlPanelWindow::SetTabStripVisible(bool visible) {
    tabs_->setVisible(visible);
}

void ControlPanelWindow::SetCurrentRow(int row) {
    currentRow_ = row;
}

void ControlPanelWindow::StoreDimensions() {
    if (currentRow_ < 1 || currentRow_ > worklist_.RowCount()) return;
    worklist_.SetCell(currentRow_, WorklistColumn::kLength, lists_.GetDimX());
    worklist_.SetCell(currentRow_, WorklistColumn::kWidth, lists_.GetDimY());
    worklist_.SetCell(currentRow_, WorklistColumn::kThick, lists_.GetDimZ());
    RequestRetranslation();
}

void ControlPanelWindow::StoreVVars() {
    if (lists_.StoreVVarsInRow(worklist_, currentRow_)) RequestRetranslation();
}

void ControlPanelWindow::StoreRVars() {
    if (lists_.StoreRVarsInRow(worklist_, currentRow_)) RequestRetranslation();
}

void ControlPanelWindow::RequestRetranslation() {
    // A re-translation refills the lists and may show a message box; the edits and focus
    // changes that causes must not ask for another one inside it.
    if (retranslating_) return;
    retranslating_ = true;
    emit retranslateRequested();
    retranslating_ = false;
}

bool ControlPanelWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    const int code = text.isEmpty() ? -1 : text.front().unicode();
    if (watched == rVarList_) {
        // Keys that start an editor reach it as well and are handled there; Enter does not.
        if (code == 13 && QApplication::focusWidget() == rVarList_) StoreRVars();
    } else if (watched->property("rVarEditor").toBool() && RVarKeyStores(code)) {
        // After the editor has taken the key, its text goes into the list and the list into the
        // worklist row.
        QPointer<QWidget> editor = static_cast<QWidget*>(watched);
        QMetaObject::invokeMethod(
            this,
            [this, editor] {
                // Enter has closed the editor by now, after handing its text to the list.
                if (editor != nullptr &&
                    rVarList_->indexWidget(rVarList_->currentIndex()) == editor) {
                    emit rVarDelegate_->commitData(editor);
                }
                StoreRVars();
            },
            Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void ControlPanelWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyResizeRule();
}

void ControlPanelWindow::ApplyResizeRule() {
    ArrangeOptions();
    // Wider than the design width the tab strip and its lists keep to the right edge; narrower
    // they stay where the design puts them.
    if (width() > Twips(kResizeRuleWidth)) {
        gap_->changeSize(Twips(kDesignGap), 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
        const int margin =
            std::max(0, Twips(kTabRightMargin) - layout()->contentsMargins().right());
        rightMargin_->changeSize(margin, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    } else {
        gap_->changeSize(Twips(kDesignGap), 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
        rightMargin_->changeSize(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
    }
    layout()->invalidate();
}

}  // namespace retracer::app
