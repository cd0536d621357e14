#pragma once

#include <QStringList>
#include <QWidget>

#include <array>

#include "settings/options.h"

class QAbstractItemModel;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QSpacerItem;
class QTabBar;
class QTableView;

namespace retracer {
class ControlPanelLists;
class IniFile;
class Worklist;
}  // namespace retracer

namespace retracer::app {

class TextGridModel;
class TextListModel;
class EditorWatcher;

// `CPanel`, the Control Panel: the nine translation options (each click is written to the
// settings file at once), the "Program data" frame with the recognised program's comment and
// size, and a tab strip over six lists: the program's lines, the drawing's layers, the part
// dimensions, the V and R variables and the subprogram calls. The lists are views on the core's
// Control Panel lists; the user's edits of the dimensions and variables are stored into the
// current worklist row and a re-translation of that row is asked for with retranslateRequested
// (the window never translates). Unchecking a layer asks the viewer to hide it.
class ControlPanelWindow : public QWidget {
    Q_OBJECT

  public:
    // The tab captions in order; a tab shows the list named by its caption's first letter.
    static const QStringList& TabCaptions();

    // Whether a key typed into the R variable list stores the list and re-translates: Enter,
    // Backspace and every character from "*" (code 42) up; blanks, quotes and brackets do not.
    static bool RVarKeyStores(int characterCode);

    // `options` is the live option record the translators read; `ini` the settings file.
    ControlPanelWindow(ControlPanelLists& lists, Worklist& worklist, TranslationOptions& options,
                       IniFile& ini, QWidget* parent = nullptr);
    ~ControlPanelWindow() override;

    // Shows the options as loaded from the settings file (nothing is written); SOT is usable
    // only while TOS is checked.
    void LoadOptions(const TranslationOptions& options);
    QCheckBox* OptionBox(OptionField option) const;

    QTabBar* TabStrip() const { return tabs_; }
    QWidget* TabArea() const { return tabArea_; }
    QGroupBox* ProgramDataFrame() const { return framePD_; }
    QLabel* CommentLabel() const { return labCmt_; }
    QLabel* DimensionsLabel() const { return labDim_; }
    QTableView* PrgList() const { return prgList_; }
    QTableView* LayerList() const { return layerList_; }
    QTableView* DimList() const { return dimList_; }
    QTableView* VVarList() const { return vVarList_; }
    QTableView* RVarList() const { return rVarList_; }
    QTableView* SubList() const { return subList_; }
    QTableView* MessageList() const { return messageList_; }

    // The worklist row whose edits are stored; below 1 there is no current job.
    int CurrentRow() const { return currentRow_; }

    // Twips (1/1440 inch) in pixels of this window's screen.
    int Twips(int twips) const;

  public slots:
    // Shows the list of the text's first letter ("P", "L", "D", "V", "R", "S", "M"; any other
    // shows none). The program data frame is hidden for the one-letter text "L" only: the drawing
    // files list uses it, where no program applies.
    void SetTab(const QString& text);
    // The tab strip with the list of its selected tab (a worklist row or a program file was
    // chosen), or without it (a drawing file was chosen).
    void ShowSelectedTab();
    void SetTabStripVisible(bool visible);
    void SetCurrentRow(int row);

  signals:
    // Re-translate the current worklist row, with the part size taken from the row.
    void retranslateRequested();
    // The user hid or showed a layer of the drawing in the viewer.
    void layerVisibilityChanged(const QString& layer, bool visible);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* BuildOptions();
    void PlaceOptions(int rows);
    void ArrangeOptions();
    QGroupBox* BuildProgramData();
    QWidget* BuildTabArea();
    QTableView* AddList(QAbstractItemModel* model, const QString& name, const QString& caption);
    void OptionClicked(OptionField option, bool on);
    void ShowLabels();
    void StoreDimensions();
    void StoreVVars();
    void StoreRVars();
    void RequestRetranslation();
    void ApplyResizeRule();

    ControlPanelLists& lists_;
    Worklist& worklist_;
    TranslationOptions& options_;
    IniFile& ini_;
    int currentRow_ = 0;
    bool retranslating_ = false;  // a re-translation is being asked for; edits it causes wait

    std::array<QCheckBox*, kOptionKeys.size()> boxes_{};
    QGridLayout* optionGrid_ = nullptr;
    int optionRows_ = 0;
    int wideMinimum_ = 0;  // the window's least width with the options in three rows
    QGroupBox* framePD_ = nullptr;
    QLabel* labCmt_ = nullptr;
    QLabel* labDim_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QWidget* tabArea_ = nullptr;
    QSpacerItem* gap_ = nullptr;          // between the left column and the tab area
    QSpacerItem* rightMargin_ = nullptr;  // right of the tab area
    QTableView* prgList_ = nullptr;
    QTableView* layerList_ = nullptr;
    QTableView* dimList_ = nullptr;
    QTableView* vVarList_ = nullptr;
    QTableView* rVarList_ = nullptr;
    QTableView* subList_ = nullptr;
    QTableView* messageList_ = nullptr;
    TextGridModel* dimModel_ = nullptr;
    TextGridModel* vVarModel_ = nullptr;
    TextGridModel* rVarModel_ = nullptr;
    TextGridModel* subModel_ = nullptr;
    TextListModel* prgModel_ = nullptr;
    TextListModel* layerModel_ = nullptr;
    TextListModel* messageModel_ = nullptr;
    EditorWatcher* rVarDelegate_ = nullptr;
};

}  // namespace retracer::app
