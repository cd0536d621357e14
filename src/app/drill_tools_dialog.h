#pragma once

#include <QDialog>
#include <QString>

#include <filesystem>
#include <optional>
#include <string>

class QTableWidget;
class QTableWidgetItem;

namespace retracer {
class Prompt;
class ToolTable;
}  // namespace retracer

namespace retracer::app {

// `Dr`, "Drill Tools": the drill tool table file Tool.Par as a grid of 99 tools (row = tool
// number) by X, Y and Dia, numbers from -999.99 to 999.99 with two decimals. OK replaces the
// file with the filled rows and reloads the table the translators read; Cancel writes nothing.
class DrillToolsDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kRows = 99;
    static constexpr double kLimit = 999.99;

    // A cell's text as the grid shows it: empty, or the number read leniently with two decimals.
    static QString CellText(const QString& typed);

    DrillToolsDialog(std::filesystem::path toolPar, ToolTable& tools, Prompt& prompt,
                     QWidget* parent = nullptr);

    QTableWidget* Grid() const { return grid_; }
    // Rows and columns from 1 (column 1 X, 2 Y, 3 Dia). Setting goes through CellText.
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);

  public slots:
    void accept() override;

  private:
    void Load();

    std::filesystem::path toolPar_;
    ToolTable& tools_;
    Prompt& prompt_;
    QTableWidget* grid_ = nullptr;
    // The line of tool 100, which the table reads but the grid cannot show; written back as
    // it was so that saving the grid does not lose it.
    std::optional<std::string> tool100Line_;
};

}  // namespace retracer::app
