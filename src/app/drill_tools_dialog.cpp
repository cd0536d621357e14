#include "drill_tools_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/prompt.h"
#include "base/value_text.h"
#include "text_grid_model.h"
#include "translate/tool_table.h"

namespace retracer::app {
namespace {

constexpr int kColumns = 3;

// Cells take numbers of the table's range with at most two decimals, written with a point.
class ToolCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        auto* numbers =
            new QDoubleValidator(-DrillToolsDialog::kLimit, DrillToolsDialog::kLimit, 2, editor);
        numbers->setLocale(QLocale::c());
        numbers->setNotation(QDoubleValidator::StandardNotation);
        editor->setValidator(numbers);
        return editor;
    }
};

// The fields of a Tool.Par line ("n,x,y,dia"); missing ones are empty.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    fields.resize(std::max<std::size_t>(fields.size(), 4));
    return fields;
}

}  // namespace

QString DrillToolsDialog::CellText(const QString& typed) {
    const std::string text = ToStdString(typed.trimmed());
    if (text.empty()) return {};
    return ToQString(FormatPattern(NumericValue(text), "0.00"));
}

DrillToolsDialog::DrillToolsDialog(std::filesystem::path toolPar, ToolTable& tools, Prompt& prompt,
                                   QWidget* parent)
    : QDialog(parent), toolPar_(std::move(toolPar)), tools_(tools), prompt_(prompt) {
    setObjectName(QStringLiteral("Dr"));
    setWindowTitle(QStringLiteral("Drill Tools"));
    setModal(true);

    grid_ = new QTableWidget(kRows, kColumns, this);
    grid_->setObjectName(QStringLiteral("ToolPars"));
    grid_->setHorizontalHeaderLabels(
        {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Dia")});
    grid_->setAccessibleName(QStringLiteral("Drill tools"));
    grid_->setToolTip(
        QStringLiteral("X and Y offset and diameter of each drill tool, in millimetres"));
    grid_->setAccessibleDescription(grid_->toolTip());
    grid_->setItemDelegate(new ToolCellDelegate(grid_));
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid_->setItem(row, column, item);
        }
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("BtnCan"));
    connect(buttons, &QDialogButtonBox::accepted, this, &DrillToolsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DrillToolsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_, 1);
    layout->addWidget(buttons);
    resize(grid_->horizontalHeader()->length() + grid_->verticalHeader()->width() + 60, 480);

    Load();
    // Whatever is typed is shown (and saved) with two decimals.
    connect(grid_, &QTableWidget::itemChanged, this, [](QTableWidgetItem* item) {
        const QString shown = CellText(item->text());
        if (shown != item->text()) item->setText(shown);
    });
}

QString DrillToolsDialog::Cell(int row, int column) const {
    const QTableWidgetItem* item = grid_->item(row - 1, column - 1);
    return item != nullptr ? item->text() : QString();
}

void DrillToolsDialog::SetCell(int row, int column, const QString& text) {
    if (QTableWidgetItem* item = grid_->item(row - 1, column - 1)) item->setText(CellText(text));
}

void DrillToolsDialog::Load() {
    std::ifstream in(toolPar_, std::ios::binary);
    std::string line;
    // Lines of tools the grid has no row for are passed over rather than ending the load: the
    // tools after them would otherwise be missing from the grid and lost by the next OK.
    for (int read = 0; read < ToolTable::kLast && std::getline(in, line); ++read) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const double number = NumericValue(line);
        const long tool = std::lround(number);
        if (tool == ToolTable::kLast) tool100Line_ = line;
        if (tool < 1 || tool > kRows) continue;
        const std::vector<std::string> fields = Fields(line);
        for (int column = 1; column <= kColumns; ++column) {
            SetCell(static_cast<int>(tool), column,
                    ToQString(fields[static_cast<std::size_t>(column)]));
        }
    }
}

void DrillToolsDialog::accept() {
    std::vector<ToolRow> rows(kRows);
    for (int row = 1; row <= kRows; ++row) {
        ToolRow& cells = rows[static_cast<std::size_t>(row - 1)];
        cells.x = ToStdString(Cell(row, 1));
        cells.y = ToStdString(Cell(row, 2));
        cells.dia = ToStdString(Cell(row, 3));
    }
    if (tool100Line_) {
        const std::vector<std::string> fields = Fields(*tool100Line_);
        rows.push_back({fields[1], fields[2], fields[3]});
    }
    std::string error;
    if (!SaveToolTable(toolPar_, rows, &error)) {
        prompt_.Show("Drill Tools", "Tool.Par was not saved. " + error, PromptIcon::kWarning);
        return;
    }
    tools_ = LoadToolTable(toolPar_);
    QDialog::accept();
}

}  // namespace retracer::app
