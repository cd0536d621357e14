#include "about_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "accessible.h"

#ifndef RETRACER_VERSION
#define RETRACER_VERSION "0.0.0"
#endif

namespace retracer::app {

SystemInfoLauncher SystemInfoLauncher::Desktop() {
    return {[](const QString& program) { return QStandardPaths::findExecutable(program); },
            [](const QString& path, const QStringList& arguments) {
                return QProcess::startDetached(path, arguments);
            }};
}

const QList<SystemInfoTool>& SystemInfoTools() {
    static const QList<SystemInfoTool> tools = {
        {QStringLiteral("hardinfo2"), {}},   {QStringLiteral("hardinfo"), {}},
        {QStringLiteral("kinfocenter"), {}}, {QStringLiteral("lshw-gtk"), {}},
        {QStringLiteral("msinfo32"), {}},
    };
    return tools;
}

QString AboutDialog::VersionText() {
    // Major, minor and revision of the program's version.
    const QStringList parts = QStringLiteral(RETRACER_VERSION).split(QLatin1Char('.'));
    QStringList three;
    for (int i = 0; i < 3; ++i) three << (i < parts.size() ? parts[i] : QStringLiteral("0"));
    return QStringLiteral("Version ") + three.join(QLatin1Char('.'));
}

AboutDialog::AboutDialog(QWidget* parent, SystemInfoLauncher launcher)
    : QDialog(parent), launcher_(std::move(launcher)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Retracer"));
    setAccessibleName(windowTitle());
    tell_ = [this](const QString& text) {
        QMessageBox::information(this, QStringLiteral("Retracer"), text);
    };

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/retracer.svg")).pixmap(64, 64));
    icon->setAccessibleName(QStringLiteral("Retracer"));
    auto* title = new QLabel(QStringLiteral("Retracer"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);
    auto* description =
        new QLabel(QStringLiteral("For converting machine program code back into DXF"), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    auto* version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* caption = new QLabel(
        QStringLiteral("Genesis and Genesis Ev programs to DXF drawings for nesting"), this);
    caption->setObjectName(QStringLiteral("lblCaption"));
    auto* legal = new QLabel(QStringLiteral("This program is free to use and comes without any "
                                            "warranty. Check every drawing before machining."),
                             this);
    legal->setObjectName(QStringLiteral("lblDisclaimer"));
    legal->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    Describe(ok, "cmdOK", QStringLiteral("OK"));
    ok->setDefault(true);
    auto* sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    Describe(sysInfo, "cmdSysInfo", QStringLiteral("System Info..."));
    connect(ok, &QPushButton::clicked, this, [this] {
        accept();
        QApplication::processEvents();
    });
    connect(sysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });

    auto* texts = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{title, description, version, caption})
        texts->addWidget(w);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(legal, 1);
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
}

bool AboutDialog::StartSysInfo() {
    for (const SystemInfoTool& tool : SystemInfoTools()) {
        const QString path = launcher_.find ? launcher_.find(tool.program) : QString();
        if (path.isEmpty()) continue;
        if (launcher_.start && launcher_.start(path, tool.arguments)) return true;
        break;  // found but failed to start: any error counts as unavailable
    }
    tell_(QStringLiteral("System Information Is Unavailable At This Time"));
    return false;
}

}  // namespace retracer::app
