// The viewer window driven as a user drives it: mouse zoom, pan and previous views, the zoom
// function commands and their status texts, Open and Save DXF through substituted dialogs, and
// printing to a PDF file whose page is checked with pdftoppm.
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

#include "drawing/dxf_writer.h"
#include "settings/user_store.h"
#include "view/drawing_view.h"
#include "viewer_window.h"

using retracer::app::ViewerDialogs;
using retracer::app::ViewerWindow;
using retracer::view::DrawingView;
using retracer::view::ViewState;

namespace {

// Answers given in advance; every question asked is written down.
class FakeDialogs : public ViewerDialogs {
  public:
    struct Asked {
        QString title;
        QString folder;
        QString filter;
    };
    QStringList fileAnswers;  // taken in turn; empty means cancel
    bool setupAccepted = true;
    bool printer = false;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QList<Asked> asked;
    QStringList alerts;
    int setups = 0;

    QString OpenFileName(QWidget*, const QString& title, const QString& folder,
                         const QString& filter) override {
        asked.append({title, folder, filter});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString SaveFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& filter) override {
        return OpenFileName(parent, title, folder, filter);
    }
    bool PrintSetup(QWidget*, QPrinter& p) override {
        ++setups;
        p.setPageOrientation(orientation);
        return setupAccepted;
    }
    bool HasPrinter() override { return printer; }
    void ShowAlert(QWidget*, const QString& title, const QString& text) override {
        alerts << title + QStringLiteral(": ") + text;
    }
};

// A 200 x 100 outline with a line across and a circle on its own layer.
void WriteTestDrawing(const QString& path) {
    retracer::Drawing d;
    d.layers = {retracer::Layer{"OUTLINE", 1}, retracer::Layer{"HOLES", 4}};
    d.entities.push_back(
        {"OUTLINE", 256,
         retracer::PolylineEntity{{{0, 0, 0, 0}, {200, 0, 0, 0}, {200, 100, 0, 0}, {0, 100, 0, 0}},
                                  true}});
    d.entities.push_back({"OUTLINE", 3, retracer::LineEntity{{0, 0, 0}, {200, 100, 0}}});
    d.entities.push_back({"HOLES", 256, retracer::CircleEntity{{150, 30, 0}, 10}});
    std::ofstream out(path.toStdString());
    retracer::WriteDxf(d, out);
}

bool Near(double a, double b, double tolerance = 1.0) {
    return std::abs(a - b) <= tolerance;
}

}  // namespace

class TestViewerWindow : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    retracer::MemoryUserSettingsStore store_;
    std::unique_ptr<ViewerWindow> window_;
    FakeDialogs* dialogs_ = nullptr;
    QString drawing_;

    DrawingView* View() const { return window_->View(); }
    QPoint At(double x, double y) const { return View()->DrawingToScreen(x, y).toPoint(); }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        drawing_ = dir_.filePath(QStringLiteral("part.dxf"));
        WriteTestDrawing(drawing_);
    }

    void init() {
        window_ = std::make_unique<ViewerWindow>(&store_);
        auto dialogs = std::make_unique<FakeDialogs>();
        dialogs_ = dialogs.get();
        window_->SetDialogs(std::move(dialogs));
        window_->resize(400, 300);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QStringList layers;
        QString error;
        QVERIFY2(window_->OpenDrawing(drawing_, &layers, &error), qPrintable(error));
        QCOMPARE(layers, (QStringList{"0", "OUTLINE", "HOLES"}));
    }

    void openingShowsThePathAndFitsTheDrawingAtNinetyEightPercent() {
        QCOMPARE(window_->windowTitle(), drawing_);
        // 200 units across 98 percent of the 400 pixels; the height has room to spare.
        const QPointF a = View()->DrawingToScreen(0, 0);
        const QPointF b = View()->DrawingToScreen(200, 100);
        QVERIFY2(Near(b.x() - a.x(), 392), qPrintable(QString::number(b.x() - a.x())));
        QVERIFY(a.y() > b.y());  // Y up
        QVERIFY(Near((a.y() + b.y()) / 2, View()->height() / 2.0));

        // A missing file leaves the drawing shown and says why.
        QString error;
        QVERIFY(!window_->OpenDrawing(dir_.filePath(QStringLiteral("none.dxf")), nullptr, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(window_->windowTitle(), drawing_);
        QCOMPARE(View()->Drawing().entities.size(), std::size_t(3));
    }

    void aDrawingOpenedBeforeTheWindowShowsIsFittedWhenItDoes() {
        ViewerWindow hidden(&store_);
        QVERIFY(hidden.OpenDrawing(drawing_, nullptr, nullptr));
        hidden.resize(500, 400);
        hidden.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hidden));
        const QPointF a = hidden.View()->DrawingToScreen(0, 0);
        const QPointF b = hidden.View()->DrawingToScreen(200, 100);
        QVERIFY2(Near(b.x() - a.x(), 490), qPrintable(QString::number(b.x() - a.x())));
        QCOMPARE(hidden.View()->PreviousViews(), std::size_t(0));
    }

    void leftDragInWindowZoomShowsTheBandedArea() {
        window_->SetZoomFunction(0);
        const QPoint from = At(100, 80);
        const QPoint to = At(140, 40);
        QTest::mousePress(View(), Qt::LeftButton, {}, from);
        QTest::mouseMove(View(), to);
        QTest::mouseRelease(View(), Qt::LeftButton, {}, to);
        // The band's middle is the view's middle; its 40 x 40 units fill the 300 pixel height.
        const QPointF centre =
            View()->ScreenToDrawing(QPointF(View()->rect().center()) + QPointF(0.5, 0.5));
        QVERIFY2(Near(centre.x(), 120, 0.5) && Near(centre.y(), 60, 0.5),
                 qPrintable(QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y())));
        QVERIFY2(Near(View()->View().scale, 300.0 / 40.0, 0.3),
                 qPrintable(QString::number(View()->View().scale)));

        // A click without a drag is no window.
        const ViewState before = View()->View();
        QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(View()->View(), before);
    }

    void otherButtonsShowTheExtents_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("button");
        QTest::newRow("window zoom, right button") << 0 << int(Qt::RightButton);
        QTest::newRow("pan, right button") << 2 << int(Qt::RightButton);
        QTest::newRow("pan, back button") << 2 << int(Qt::BackButton);
    }

    void otherButtonsShowTheExtents() {
        QFETCH(int, function);
        QFETCH(int, button);
        View()->SpotZoom(QPointF(30, 30), true);
        View()->SpotZoom(QPointF(30, 30), true);
        window_->SetZoomFunction(function);
        QTest::mouseClick(View(), Qt::MouseButton(button), {}, QPoint(200, 150));
        const QPointF a = View()->DrawingToScreen(0, 0);
        const QPointF b = View()->DrawingToScreen(200, 100);
        QVERIFY2(Near(b.x() - a.x(), 396), qPrintable(QString::number(b.x() - a.x())));  // 99 %
    }

    void spotZoomGoesInAndOutByTheSetPercentages_data() {
        QTest::addColumn<double>("inPercent");
        QTest::addColumn<double>("outPercent");
        QTest::newRow("60 in, 25 out") << 60.0 << 25.0;
        QTest::newRow("100 in, 200 out") << 100.0 << 200.0;
    }

    void spotZoomGoesInAndOutByTheSetPercentages() {
        QFETCH(double, inPercent);
        QFETCH(double, outPercent);
        window_->SetZoomInPercent(inPercent);
        window_->SetZoomOutPercent(outPercent);
        window_->SetZoomFunction(1);
        const double scale = View()->View().scale;
        const QPoint spot = At(150, 30);
        QTest::mouseClick(View(), Qt::LeftButton, {}, spot);
        QVERIFY(Near(View()->View().scale, scale * (1 + inPercent / 100), 1e-9));
        // The clicked point is now in the middle.
        QVERIFY(Near(View()->View().centreX, 150, 0.5) && Near(View()->View().centreY, 30, 0.5));
        QTest::mouseClick(View(), Qt::RightButton, {}, View()->rect().center());
        QVERIFY(Near(View()->View().scale, scale * (1 + inPercent / 100) / (1 + outPercent / 100),
                     1e-9));
        QCOMPARE(window_->ZoomPercentText(),
                 QStringLiteral("Spot Zoom (L/R): %1% / %2% ").arg(inPercent).arg(outPercent));
    }

    void draggingPansTheDrawingWithTheMouse_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("button");
        QTest::newRow("pan function, left button") << 2 << int(Qt::LeftButton);
        QTest::newRow("window zoom, middle button") << 0 << int(Qt::MiddleButton);
        QTest::newRow("spot zoom, middle button") << 1 << int(Qt::MiddleButton);
    }

    void draggingPansTheDrawingWithTheMouse() {
        QFETCH(int, function);
        QFETCH(int, button);
        window_->SetZoomFunction(function);
        const double scale = View()->View().scale;
        const QPoint from = At(100, 50);
        const QPoint to = from + QPoint(60, -40);
        QTest::mousePress(View(), Qt::MouseButton(button), {}, from);
        QTest::mouseMove(View(), from + QPoint(30, -20));
        QTest::mouseMove(View(), to);
        QTest::mouseRelease(View(), Qt::MouseButton(button), {}, to);
        const QPointF under = View()->ScreenToDrawing(to);
        QVERIFY2(Near(under.x(), 100, 0.5) && Near(under.y(), 50, 0.5),
                 qPrintable(QStringLiteral("%1 %2").arg(under.x()).arg(under.y())));
        QCOMPARE(View()->View().scale, scale);
    }

    void zoomPreviousWalksBackThroughTheViews() {
        const ViewState fitted = View()->View();
        window_->SetZoomFunction(0);
        QTest::mousePress(View(), Qt::LeftButton, {}, At(0, 100));
        QTest::mouseMove(View(), At(100, 0));
        QTest::mouseRelease(View(), Qt::LeftButton, {}, At(100, 0));
        const ViewState windowed = View()->View();
        window_->SetZoomFunction(1);
        QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(100, 100));
        const ViewState spotted = View()->View();
        window_->SetZoomFunction(2);
        QTest::mousePress(View(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(View(), QPoint(150, 120));
        QTest::mouseRelease(View(), Qt::LeftButton, {}, QPoint(150, 120));
        QVERIFY(!(View()->View() == spotted));

        for (const ViewState& expected : {spotted, windowed, fitted}) {
            window_->ZoomPrevious();
            QCOMPARE(View()->View(), expected);
        }
        window_->ZoomPrevious();  // nothing older: the view stays
        QCOMPARE(View()->View(), fitted);
    }

    void theWheelZoomsAboutTheCursorAsOneStep() {
        const ViewState before = View()->View();
        const QPoint cursor = At(150, 30);
        for (int i = 0; i < 3; ++i) {
            QWheelEvent wheel(cursor, View()->mapToGlobal(cursor), QPoint(), QPoint(0, 120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(View(), &wheel);
        }
        QVERIFY(View()->View().scale > before.scale * 1.9);
        const QPointF under = View()->ScreenToDrawing(cursor);
        QVERIFY(Near(under.x(), 150, 0.2) && Near(under.y(), 30, 0.2));
        window_->ZoomPrevious();
        QCOMPARE(View()->View(), before);
    }

    void theMouseShowsDrawingCoordinates() {
        QSignalSpy spy(window_.get(), &ViewerWindow::mouseCoordinates);
        QTest::mouseMove(View(), At(150, 30));
        QVERIFY(!spy.isEmpty());
        const QString x = spy.last().at(0).toString();
        const QString y = spy.last().at(1).toString();
        QVERIFY2(x.startsWith(QStringLiteral("X: ")) && y.startsWith(QStringLiteral("Y: ")),
                 qPrintable(x + y));
        QVERIFY2(Near(x.mid(3).toDouble(), 150) && Near(y.mid(3).toDouble(), 30),
                 qPrintable(x + y));
        QCOMPARE(ViewerWindow::CoordinateText(QStringLiteral("X"), 12.5),
                 QStringLiteral("X: 12.5"));
        QCOMPARE(ViewerWindow::CoordinateText(QStringLiteral("Y"), -3), QStringLiteral("Y: -3"));
    }

    void zoomFunctionCommandsTellTheFrameAndActivationReturnsToWindowZoom() {
        QSignalSpy changed(window_.get(), &ViewerWindow::zoomFunctionChanged);
        QSignalSpy activated(window_.get(), &ViewerWindow::activated);
        const QList<QPair<int, QString>> cases = {{1, "Zoom Spot "},   {2, "Pan "}, {2, "Pan "},
                                                  {0, "Zoom Window "}, {5, " "},    {-1, " "}};
        for (const auto& [function, text] : cases) {
            window_->SetZoomFunction(function);
            QCOMPARE(changed.last().at(0).toInt(), function);
            QCOMPARE(changed.last().at(1).toString(), text);
        }
        QCOMPARE(changed.size(), cases.size());
        // Out of range, the mouse does nothing.
        const ViewState before = View()->View();
        QTest::mouseClick(View(), Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(View()->View(), before);

        window_->SetZoomInPercent(60);
        window_->SetZoomOutPercent(25);
        window_->Activated();
        QCOMPARE(window_->ZoomFunction(), 0);
        QCOMPARE(changed.last().at(1).toString(), QStringLiteral("Zoom Window "));
        QCOMPARE(activated.last().at(0).toString(), QStringLiteral("Spot Zoom (L/R): 60% / 25% "));
    }

    void openDxfAsksInInitDirAndRemembersTheFolderOnlyWhenChosen() {
        store_.Save("Retracer", "Defaults", "InitDir", (dir_.path() + "/").toStdString());
        QSignalSpy opened(window_.get(), &ViewerWindow::drawingOpened);

        dialogs_->fileAnswers = {QString()};  // cancel
        window_->OpenDxfCommand();
        QCOMPARE(dialogs_->asked.last().title, QStringLiteral("Open DXF File"));
        QCOMPARE(dialogs_->asked.last().filter, QStringLiteral("DXF (*.dxf)"));
        QCOMPARE(dialogs_->asked.last().folder, dir_.path());
        QCOMPARE(QString::fromStdString(store_.Get("Retracer", "Defaults", "InitDir", "")),
                 dir_.path() + "/");
        QVERIFY(opened.isEmpty());

        QTemporaryDir other;
        const QString copy = other.filePath(QStringLiteral("copy.dxf"));
        QVERIFY(QFile::copy(drawing_, copy));
        dialogs_->fileAnswers = {copy};
        window_->OpenDxfCommand();
        QCOMPARE(QString::fromStdString(store_.Get("Retracer", "Defaults", "InitDir", "")),
                 other.path() + "/");
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.last().at(0).toString(), copy);
        QCOMPARE(window_->windowTitle(), copy);

        // A file that is not a drawing: said so, and the drawing shown stays.
        const QString bad = other.filePath(QStringLiteral("bad.dxf"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a drawing");
        f.close();
        dialogs_->fileAnswers = {bad};
        window_->OpenDxfCommand();
        QCOMPARE(dialogs_->alerts.size(), 1);
        QVERIFY(dialogs_->alerts.last().startsWith(QStringLiteral("Alert!: ") + bad));
        QCOMPARE(window_->windowTitle(), copy);
        QCOMPARE(opened.size(), 1);

        // A file that is not there: "File Not Found" and its path; the list it came from hears.
        QSignalSpy missing(window_.get(), &ViewerWindow::drawingMissing);
        const QString gone = other.filePath(QStringLiteral("gone.dxf"));
        dialogs_->fileAnswers = {gone};
        window_->OpenDxfCommand();
        QCOMPARE(dialogs_->alerts.last(), QStringLiteral("Alert!: File Not Found\r") + gone);
        QCOMPARE(missing.size(), 1);
        QCOMPARE(missing.last().at(0).toString(), gone);
        QCOMPARE(window_->windowTitle(), copy);
        QCOMPARE(opened.size(), 1);
    }

    void saveDxfAsWritesTheDrawingAndLeavesInitDir() {
        store_.Save("Retracer", "Defaults", "InitDir", "C:\\");
        const QString target = dir_.filePath(QStringLiteral("saved"));  // no extension given
        dialogs_->fileAnswers = {target};
        window_->SaveDxfAsCommand();
        QCOMPARE(dialogs_->asked.last().title, QStringLiteral("Save DXF File"));
        QCOMPARE(dialogs_->asked.last().folder, QDir::homePath());  // "C:\" is no folder here
        QCOMPARE(QString::fromStdString(store_.Get("Retracer", "Defaults", "InitDir", "")),
                 QStringLiteral("C:\\"));
        ViewerWindow reread(&store_);
        QStringList layers;
        QVERIFY(reread.OpenDrawing(target + QStringLiteral(".DXF"), &layers, nullptr));
        QCOMPARE(reread.View()->Drawing().ToDrawing().entities,
                 View()->Drawing().ToDrawing().entities);

        // A folder that does not exist: the failure is shown, not passed over.
        dialogs_->fileAnswers = {dir_.filePath(QStringLiteral("no/such/folder/x.dxf"))};
        window_->SaveDxfAsCommand();
        QCOMPARE(dialogs_->alerts.size(), 1);
    }

    void printingWithoutAPrinterWritesTheDrawingToAPdf_data() {
        QTest::addColumn<int>("area");
        QTest::addColumn<bool>("zoomedIn");
        QTest::newRow("extents") << 0 << false;
        QTest::newRow("extents while zoomed in") << 0 << true;
        QTest::newRow("current view") << 1 << true;
    }

    void printingWithoutAPrinterWritesTheDrawingToAPdf() {
        QFETCH(int, area);
        QFETCH(bool, zoomedIn);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("pdftoppm (poppler-utils) is not installed");
        if (zoomedIn) {
            // The window shows the middle of the drawing: the line across, not the outline.
            window_->SetZoomFunction(0);
            QTest::mousePress(View(), Qt::LeftButton, {}, At(80, 70));
            QTest::mouseMove(View(), At(120, 30));
            QTest::mouseRelease(View(), Qt::LeftButton, {}, At(120, 30));
        }
        const QString pdf = dir_.filePath(QStringLiteral("print%1%2.pdf").arg(area).arg(zoomedIn));
        dialogs_->orientation = QPageLayout::Landscape;
        dialogs_->fileAnswers = {pdf};
        window_->PrintDrawing(area);
        QCOMPARE(dialogs_->setups, 1);
        QVERIFY(QFileInfo::exists(pdf));
        QVERIFY(!QFileInfo::exists(pdf + QStringLiteral(".part")));

        QProcess convert;
        const QString prefix = dir_.filePath(QStringLiteral("page%1%2").arg(area).arg(zoomedIn));
        convert.start(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-png"),
                       QStringLiteral("-singlefile"), pdf, prefix});
        QVERIFY(convert.waitForFinished(30000));
        QCOMPARE(convert.exitCode(), 0);
        const QImage page(prefix + QStringLiteral(".png"));
        QVERIFY(!page.isNull());
        QVERIFY2(page.width() > page.height(), "the orientation of the setup is kept");
        // Where is the ink? The outline fills the page's width when the extents are printed;
        // the zoomed view shows only the line across, running corner to corner.
        QRect ink;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 200) ink |= QRect(x, y, 1, 1);
        QVERIFY(!ink.isEmpty());
        QVERIFY2(ink.width() > page.width() * 0.85 || ink.height() > page.height() * 0.85,
                 qPrintable(QStringLiteral("ink %1x%2 on %3x%4")
                                .arg(ink.width())
                                .arg(ink.height())
                                .arg(page.width())
                                .arg(page.height())));
        const QPoint middle = page.rect().center();
        const bool inkInMiddle = [&] {
            for (int dy = -3; dy <= 3; ++dy)
                for (int dx = -3; dx <= 3; ++dx)
                    if (qGray(page.pixel(middle + QPoint(dx, dy))) < 200) return true;
            return false;
        }();
        QVERIFY(inkInMiddle);  // the line across passes through the drawing's middle either way
        if (area == 1) {
            // Only the line: the corners of the page stay white.
            QCOMPARE(qGray(page.pixel(ink.topLeft() + QPoint(1, 1))) > 200, true);
        }
    }

    void cancellingPrintSetupPrintsNothing() {
        dialogs_->setupAccepted = false;
        dialogs_->fileAnswers = {dir_.filePath(QStringLiteral("never.pdf"))};
        window_->PrintExtents();
        QCOMPARE(dialogs_->setups, 1);
        QVERIFY(dialogs_->asked.isEmpty());
        QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("never.pdf"))));
    }

    void insideAWorkspaceTheViewerLeavesActivationToTheFrame() {
        // The frame answers the activation of the viewer's sub-window; were the viewer to answer
        // as well, every activation would be handled twice.
        QMdiArea area;
        auto* viewer = new ViewerWindow(&store_);
        QMdiSubWindow* viewerWindow = area.addSubWindow(viewer);
        QMdiSubWindow* other = area.addSubWindow(new QWidget);
        area.resize(800, 600);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        area.setActiveSubWindow(other);
        viewer->SetZoomFunction(2);
        QSignalSpy activated(viewer, &ViewerWindow::activated);
        area.setActiveSubWindow(viewerWindow);
        QCoreApplication::processEvents();
        QCOMPARE(viewer->ZoomFunction(), 2);
        QVERIFY(activated.isEmpty());
    }

    void drawingsAreAddedAtAnOffsetAndLayersRenamed() {
        const retracer::Box2 before = View()->Drawing().Extents();
        QString error;
        QVERIFY2(View()->Add(drawing_, 300, -50, &error), qPrintable(error));
        const retracer::Box2 after = View()->Drawing().Extents();
        QCOMPARE(after.maxX, before.maxX + 300);
        QCOMPARE(after.minY, before.minY - 50);
        QCOMPARE(View()->Drawing().entities.size(), std::size_t(6));
        QCOMPARE(View()->LayerNames(), (QStringList{"0", "OUTLINE", "HOLES"}));

        QCOMPARE(View()->FindLayer(QStringLiteral("holes")), 3);
        QVERIFY(View()->RenameLayer(3, QStringLiteral("Route_LBL")));
        QCOMPARE(View()->LayerNames(), (QStringList{"0", "OUTLINE", "Route_LBL"}));
        QVERIFY(!View()->RenameLayer(0, QStringLiteral("X")));
        QVERIFY(!View()->Add(dir_.filePath(QStringLiteral("none.dxf")), 0, 0, &error));
        QCOMPARE(View()->Drawing().entities.size(), std::size_t(6));
    }

    void hiddenLayersDisappearFromTheView() {
        window_->SetBackgroundColor(Qt::black);
        const QPoint hole = At(150, 40);  // top of the circle
        const auto inked = [&] {
            const QImage shot = View()->grab().toImage();
            for (int dy = -1; dy <= 1; ++dy)
                if (shot.pixel(hole + QPoint(0, dy)) != qRgb(0, 0, 0)) return true;
            return false;
        };
        QVERIFY(inked());
        window_->SetLayerVisible(QStringLiteral("HOLES"), false);
        QVERIFY(!inked());
        window_->SetLayerVisible(QStringLiteral("HOLES"), true);
        QVERIFY(inked());
    }
};

QTEST_MAIN(TestViewerWindow)
#include "test_viewer_window.moc"
