#include "file_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

namespace retracer::app {

QString WithUpperCasePatterns(const QString& filter) {
    QStringList entries = filter.split(QStringLiteral(";;"));
    for (QString& entry : entries) {
        const qsizetype open = entry.lastIndexOf(QLatin1Char('('));
        const qsizetype close = entry.lastIndexOf(QLatin1Char(')'));
        if (open < 0 || close < open) continue;
        QStringList patterns =
            entry.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QStringList given = patterns;
        for (const QString& pattern : given) {
            const QString upper = pattern.toUpper();
            if (!patterns.contains(upper)) patterns << upper;
        }
        entry = entry.left(open + 1) + patterns.join(QLatin1Char(' ')) + entry.mid(close);
    }
    return entries.join(QStringLiteral(";;"));
}

QString QtFileDialogs::ChooseFile(const FileDialogRequest& request) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    const QString filter = request.filter;
#else
    const QString filter = WithUpperCasePatterns(request.filter);
#endif
    QFileDialog dialog(parent_, request.title, request.folder, filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString QtFolderBrowser::Browse(const QString& title, const QString& prompt, const QString& start,
                                const std::function<void(const QString&)>& onChange) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(title);
    dialog.setObjectName(QStringLiteral("objBD"));
    auto* label = new QLabel(prompt, &dialog);
    auto* model = new QFileSystemModel(&dialog);
    model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model->setRootPath(QDir::rootPath());
    auto* tree = new QTreeView(&dialog);
    tree->setModel(model);
    tree->setAccessibleName(prompt);
    for (int c = 1; c < model->columnCount(); ++c) tree->hideColumn(c);
    tree->header()->hide();
    label->setBuddy(tree);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(tree);
    layout->addWidget(buttons);
    dialog.resize(420, 480);

    const QModelIndex startIndex = model->index(start);
    if (startIndex.isValid()) {
        tree->setCurrentIndex(startIndex);
        tree->scrollTo(startIndex);
    }
    QString chosen = start;
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, &dialog,
                     [&](const QModelIndex& current) {
                         chosen = model->filePath(current);
                         if (onChange) onChange(chosen);
                     });
    if (dialog.exec() != QDialog::Accepted) return {};
    return chosen;
}

}  // namespace retracer::app
