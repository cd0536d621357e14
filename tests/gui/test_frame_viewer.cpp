// The drawing viewer inside the real main frame: the zoom functions from the menu and the
// toolbar drive the viewer's mouse, activation returns to window zoom, the mouse writes drawing
// coordinates into the status bar, every drawing (a job's, a listed one, Open DXF) arrives the
// same way with its layers on the Control Panel, layers hide from there, and printing through
// the menu writes a PDF page of the drawing.
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>
#include <fstream>

#include "drawing/dxf_writer.h"
#include "frame_fixture.h"
#include "options_dialog.h"
#include "view/drawing_view.h"

using namespace retracer;
using namespace retracer::app;
using namespace retracer::app::testing;
using retracer::view::DrawingView;
using retracer::view::ViewState;

namespace {

// A 200 x 100 outline with a line across it and a circle on its own layer.
void WriteTestDrawing(const QString& path) {
    Drawing d;
    d.layers = {Layer{"OUTLINE", 1}, Layer{"HOLES", 4}};
    d.entities.push_back(
        {"OUTLINE", 256,
         PolylineEntity{{{0, 0, 0, 0}, {200, 0, 0, 0}, {200, 100, 0, 0}, {0, 100, 0, 0}}, true}});
    d.entities.push_back({"OUTLINE", 3, LineEntity{{0, 0, 0}, {200, 100, 0}}});
    d.entities.push_back({"HOLES", 256, CircleEntity{{150, 30, 0}, 10}});
    std::ofstream out(path.toStdString());
    WriteDxf(d, out);
}

QStringList ListedLayers(ControlPanelWindow& panel) {
    QStringList names;
    const QAbstractItemModel* model = panel.LayerList()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

// The bounding box of the dark pixels of a page.
QRect InkBox(const QImage& page) {
    QRect ink;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 200) ink |= QRect(x, y, 1, 1);
    return ink;
}

}  // namespace

class FrameViewerTest : public QObject {
    Q_OBJECT

    // A frame showing the test drawing, opened as a user opens it.
    struct ShowingTestDrawing : Frame {
        ShowingTestDrawing() {
            drawing = scratch.Path("progs/PART.DXF");
            WriteTestDrawing(drawing);
            QVERIFY(window->OpenInViewer(drawing));
        }
        DrawingView& View() { return *Viewer().View(); }
        QPoint At(double x, double y) { return View().DrawingToScreen(x, y).toPoint(); }
        void Drag(QPoint from, QPoint to) {
            QTest::mousePress(&View(), Qt::LeftButton, {}, from);
            QTest::mouseMove(&View(), (from + to) / 2);
            QTest::mouseMove(&View(), to);
            QTest::mouseRelease(&View(), Qt::LeftButton, {}, to);
        }
        QString drawing;
    };

  private slots:
    void zoomFunctionsFromMenuAndToolbarDriveTheViewersMouse_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("function");
        QTest::newRow("menu window") << "mVZFunction0" << 0;
        QTest::newRow("button window") << "btnKeyZoom" << 0;
        QTest::newRow("menu spot") << "mVZFunction1" << 1;
        QTest::newRow("button spot") << "btnKeyStatzoom" << 1;
        QTest::newRow("menu pan") << "mVZFunction2" << 2;
        QTest::newRow("button pan") << "btnPan" << 2;
    }
    void zoomFunctionsFromMenuAndToolbarDriveTheViewersMouse() {
        QFETCH(QString, command);
        QFETCH(int, function);
        ShowingTestDrawing f;
        f.window->ChooseZoomFunction((function + 1) % 3);
        f.Trigger(command);
        QCOMPARE(f.Viewer().ZoomFunction(), function);
        const double scale = f.View().View().scale;
        const QPoint from = f.At(40, 80);
        const QPoint to = f.At(100, 50);
        f.Drag(from, to);
        const ViewState after = f.View().View();
        switch (function) {
            case 0:  // the band from (40, 80) to (100, 50) fills the view
                QVERIFY2(after.scale > scale * 2.5, qPrintable(QString::number(after.scale)));
                QVERIFY(std::abs(after.centreX - 70) < 1 && std::abs(after.centreY - 65) < 1);
                break;
            case 1:  // a left click zooms in by 50 percent about the pressed point
                QCOMPARE(after.scale, scale * 1.5);
                break;
            case 2: {  // the drawing follows the mouse
                QCOMPARE(after.scale, scale);
                const QPointF under = f.View().ScreenToDrawing(to);
                QVERIFY(std::abs(under.x() - 40) < 0.5 && std::abs(under.y() - 80) < 0.5);
                break;
            }
        }
    }

    void switchingToAnotherWindowAndBackReturnsToWindowZoomOnce() {
        ShowingTestDrawing f;
        f.Trigger("btnPan");
        f.Viewer().SetZoomInPercent(75);
        f.window->MdiArea()->setActiveSubWindow(f.window->FileMgrSubWindow());
        QCOMPARE(f.Viewer().ZoomFunction(), 2);
        QCOMPARE(f.window->PanelText("ZoomState"), QString("Pan "));

        QSignalSpy set(&f.Viewer(), &ViewerWindow::zoomFunctionChanged);
        f.window->MdiArea()->setActiveSubWindow(f.window->ViewerSubWindow());
        QCOMPARE(f.Viewer().ZoomFunction(), 0);
        QVERIFY(f.window->Action("mVZFunction0")->isChecked());
        QVERIFY(f.window->Action("btnKeyZoom")->isChecked());
        QVERIFY(!f.window->Action("btnPan")->isChecked());
        QCOMPARE(f.window->PanelText("ZoomState"), QString("Zoom Window "));
        QCOMPARE(f.window->PanelText("ZoomPct"), QString("Spot Zoom (L/R): 75% / 50% "));
        // One answer to one activation: the frame's, not the frame's and the viewer's.
        QCOMPARE(set.size(), 1);
        // A left drag is a window again.
        const double scale = f.View().View().scale;
        f.Drag(f.At(20, 90), f.At(60, 60));
        QVERIFY(f.View().View().scale > scale * 2);
    }

    void mouseMovesWriteDrawingCoordinates_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::newRow("circle") << 150.0 << 30.0;
        QTest::newRow("near the origin") << 5.0 << 4.0;
        QTest::newRow("far corner") << 199.0 << 99.0;
    }
    void mouseMovesWriteDrawingCoordinates() {
        QFETCH(double, x);
        QFETCH(double, y);
        ShowingTestDrawing f;
        QTest::mouseMove(&f.View(), f.At(x, y));
        const QString xText = f.window->PanelText("X");
        const QString yText = f.window->PanelText("Y");
        QVERIFY2(xText.startsWith("X: ") && yText.startsWith("Y: "), qPrintable(xText + yText));
        // Drawing units, to the pixel: about half a unit at this size.
        const double unit = 1 / f.View().View().scale;
        QVERIFY2(std::abs(xText.mid(3).toDouble() - x) <= unit, qPrintable(xText));
        QVERIFY2(std::abs(yText.mid(3).toDouble() - y) <= unit, qPrintable(yText));
    }

    void viewCommandsThroughMenuAndToolbar_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("effect");
        QTest::newRow("menu extents") << "mVZoomExtents"
                                      << "extents";
        QTest::newRow("button extents") << "btnZoomExtents"
                                        << "extents";
        QTest::newRow("menu previous") << "mVZoomPrevious"
                                       << "previous";
        QTest::newRow("button previous") << "btnZoomPrevious"
                                         << "previous";
        QTest::newRow("layers menu") << "mELayers"
                                     << "none";
        QTest::newRow("layers button") << "btnLayers"
                                       << "none";
    }
    void viewCommandsThroughMenuAndToolbar() {
        QFETCH(QString, command);
        QFETCH(QString, effect);
        ShowingTestDrawing f;
        const ViewState fitted = f.View().View();  // 98 percent
        f.View().SpotZoom(QPointF(40, 40), true);
        const ViewState once = f.View().View();
        f.View().SpotZoom(QPointF(40, 40), true);
        const ViewState twice = f.View().View();
        f.Trigger(command);
        const ViewState now = f.View().View();
        if (effect == "extents") {
            QVERIFY(std::abs(now.scale / fitted.scale - 99.0 / 98.0) < 1e-9);
            QVERIFY(std::abs(now.centreX - 100) < 1e-6 && std::abs(now.centreY - 50) < 1e-6);
        } else if (effect == "previous") {
            QCOMPARE(now, once);
        } else {
            QCOMPARE(now, twice);
            QVERIFY(f.dialogs.requests.isEmpty());
            QVERIFY(f.Messages().isEmpty());
        }
    }

    void openAndSaveDxfThroughTheMenu() {
        Frame f;
        const QString initDir = QDir::toNativeSeparators(f.scratch.Path("dxf")) + QDir::separator();
        f.scratch.store.Save("Retracer", "Defaults", "InitDir", initDir.toStdString());
        // Cancelled: nothing shown, nothing remembered.
        f.Trigger("mFOpen");
        QCOMPARE(f.dialogs.requests.last().title, QString("Open DXF File"));
        QCOMPARE(f.dialogs.requests.last().folder, f.scratch.Path("dxf"));
        QCOMPARE(f.dialogs.requests.last().filter, QString("DXF (*.dxf)"));
        QVERIFY(!f.dialogs.requests.last().save);
        QCOMPARE(f.scratch.store.Get("Retracer", "Defaults", "InitDir", ""), initDir.toStdString());
        QCOMPARE(f.window->ViewerSubWindow()->windowTitle(), QString("Viewer"));

        // Two layer table entries of one name, the name used again by the entities: once.
        const QString drawing = f.scratch.Path("progs/TWICE.DXF");
        QFile file(drawing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n"
            "0\nLAYER\n2\nBORDER\n62\n1\n0\nLAYER\n2\nROUTE\n62\n3\n"
            "0\nLAYER\n2\nBORDER\n62\n1\n0\nENDTAB\n0\nENDSEC\n"
            "0\nSECTION\n2\nENTITIES\n"
            "0\nLINE\n8\nBORDER\n10\n0\n20\n0\n11\n50\n21\n0\n"
            "0\nLINE\n8\nROUTE\n10\n0\n20\n5\n11\n50\n21\n5\n"
            "0\nLINE\n8\nBORDER\n10\n0\n20\n9\n11\n50\n21\n9\n0\nENDSEC\n0\nEOF\n");
        file.close();
        f.dialogs.answers.enqueue(drawing);
        f.Trigger("mFOpen");
        QCOMPARE(f.Viewer().windowTitle(), drawing);
        QCOMPARE(f.window->ViewerSubWindow()->windowTitle(), QDir::toNativeSeparators(drawing));
        QCOMPARE(f.Viewer().View()->Drawing().entities.size(), std::size_t(3));
        const QStringList layers = ListedLayers(f.Panel());
        QVERIFY2(layers.contains("BORDER") && layers.contains("ROUTE"),
                 qPrintable(layers.join(',')));
        QCOMPARE(layers.count("BORDER"), 1);
        QCOMPARE(layers, f.Viewer().View()->LayerNames());
        const std::string progs =
            (QDir::toNativeSeparators(f.scratch.Path("progs")) + QDir::separator()).toStdString();
        QCOMPARE(f.scratch.store.Get("Retracer", "Defaults", "InitDir", ""), progs);

        // Save DXF as writes the drawing shown; InitDir stays where Open DXF left it.
        f.dialogs.answers.enqueue(f.scratch.Path("dxf/COPY"));
        f.Trigger("mFSaveAsNewDXF");
        QCOMPARE(f.dialogs.requests.last().title, QString("Save DXF File"));
        QVERIFY(f.dialogs.requests.last().save);
        ViewerWindow reread;
        QVERIFY(reread.OpenDrawing(f.scratch.Path("dxf/COPY.DXF"), nullptr, nullptr));
        QCOMPARE(reread.View()->Drawing().ToDrawing().entities,
                 f.Viewer().View()->Drawing().ToDrawing().entities);
        QCOMPARE(f.scratch.store.Get("Retracer", "Defaults", "InitDir", ""), progs);

        // A name typed for a file that is not there: said so, the drawing shown stays.
        const QString missing = f.scratch.Path("progs/GONE.DXF");
        f.dialogs.answers.enqueue(missing);
        f.Trigger("mFOpen");
        QCOMPARE(f.Messages(), QStringList{"Alert!: File Not Found\r" + missing});
        QCOMPARE(f.scratch.prompt.messages.back().icon, PromptIcon::kInformation);
        QCOMPARE(f.Viewer().windowTitle(), drawing);
        QCOMPARE(ListedLayers(f.Panel()), layers);
    }

    void aListedDrawingThatIsGoneIsReportedAndTheListRefreshed() {
        Frame f;
        f.AddPanelProgram();
        f.window->FileMgr()->ProcessButton()->click();
        FolderFileList* drawings = f.window->FileMgr()->File2();
        QTRY_COMPARE(drawings->count(), 1);
        const QString path = drawings->PathOf(drawings->item(0)->text());
        const std::size_t shown = f.Viewer().View()->Drawing().entities.size();
        QVERIFY(shown > 0);
        QVERIFY(QFile::remove(path));
        f.scratch.prompt.messages.clear();  // the run's own
        emit drawings->itemClicked(drawings->item(0));
        QCOMPARE(f.Messages(), QStringList{"Alert!: File Not Found\r" + path});
        QCOMPARE(drawings->count(), 0);  // refreshed at once, not at the next tick
        QCOMPARE(f.Viewer().View()->Drawing().entities.size(), shown);
        QCOMPARE(f.Viewer().windowTitle(), path);
    }

    void jobDrawingsShowInTheViewerWithTheirLayers_data() {
        QTest::addColumn<bool>("rowClick");
        QTest::newRow("Process run") << false;
        QTest::newRow("worklist row click") << true;
    }
    void jobDrawingsShowInTheViewerWithTheirLayers() {
        QFETCH(bool, rowClick);
        Frame f;
        f.AddPanelProgram();
        QSignalSpy made(&f.workspace, &Workspace::drawingMade);
        if (rowClick) {
            f.ClickWorklistCell(1, WorklistColumn::kFilename);
        } else {
            f.window->FileMgr()->ProcessButton()->click();
        }
        QCOMPARE(made.size(), 1);
        const QString path = made.last().first().toString();
        QCOMPARE(f.Viewer().windowTitle(), path);
        QCOMPARE(f.window->ViewerSubWindow()->windowTitle(), QDir::toNativeSeparators(path));
        const QStringList layers = ListedLayers(f.Panel());
        QCOMPARE(layers, f.Viewer().View()->LayerNames());
        QCOMPARE(QSet<QString>(layers.begin(), layers.end()).size(), layers.size());
        // The part's own layers: the outline and the drilled holes.
        QVERIFY2(layers.size() > 2, qPrintable(layers.join(',')));

        // Fitted at 98 percent: the part's extents fill 98 percent of one side of the view.
        const DrawingView& view = *f.Viewer().View();
        const Box2 box = view.Drawing().Extents();
        const QPointF a = view.DrawingToScreen(box.minX, box.minY);
        const QPointF b = view.DrawingToScreen(box.maxX, box.maxY);
        const double fill = std::max(std::abs(b.x() - a.x()) / view.width(),
                                     std::abs(b.y() - a.y()) / view.height());
        QVERIFY2(std::abs(fill - 0.98) < 0.01, qPrintable(QString::number(fill)));
    }

    void uncheckingALayerOnTheControlPanelHidesIt() {
        Frame f;
        f.AddPanelProgram();
        f.window->FileMgr()->ProcessButton()->click();
        DrawingView& view = *f.Viewer().View();
        // The layer of the first hole.
        const DisplayDrawing& drawing = view.Drawing();
        QString holes;
        for (const DisplayEntity& e : drawing.entities) {
            if (e.kind == DisplayKind::kCircle) {
                holes = QString::fromStdString(drawing.layers[e.layer].name);
                break;
            }
        }
        QVERIFY(!holes.isEmpty());
        const int row = ListedLayers(f.Panel()).indexOf(holes);
        QVERIFY(row >= 0);
        QAbstractItemModel* list = f.Panel().LayerList()->model();
        const QRgb background = view.BackgroundColor().rgb();

        const QImage shown = view.grab().toImage();
        QVERIFY(list->setData(list->index(row, 0), Qt::Unchecked, Qt::CheckStateRole));
        const int index = drawing.LayerIndex(holes.toStdString());
        QVERIFY(index >= 0 && !drawing.layers[static_cast<std::size_t>(index)].visible);
        const QImage hidden = view.grab().toImage();
        QCOMPARE(hidden.size(), shown.size());
        int cleared = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                if (shown.pixel(x, y) == hidden.pixel(x, y)) continue;
                // What changed went to the background: nothing else was drawn instead.
                QCOMPARE(hidden.pixel(x, y), background);
                ++cleared;
            }
        }
        QVERIFY2(cleared > 20, qPrintable(QString::number(cleared)));

        QVERIFY(list->setData(list->index(row, 0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(view.grab().toImage(), shown);
    }

    void printingThroughTheMenuWritesAPdfOfTheDrawing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("zoomedIn");
        QTest::newRow("Print Extents") << "mFPrintExtents" << false;
        QTest::newRow("Print Extents while zoomed in") << "mFPrintExtents" << true;
        QTest::newRow("Print button while zoomed in") << "btnPrint" << true;
        QTest::newRow("Print Current View, zoomed in") << "mFPrintCurrentView" << true;
    }
    void printingThroughTheMenuWritesAPdfOfTheDrawing() {
        QFETCH(QString, command);
        QFETCH(bool, zoomedIn);
        if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
            QSKIP("pdftoppm (poppler-utils) is not installed");
        ShowingTestDrawing f;
        if (zoomedIn) {
            f.Trigger("mVZFunction0");
            f.Drag(f.At(80, 70), f.At(120, 30));  // the middle: the line across only
        }
        const QString pdf = f.scratch.Path("dxf/page.pdf");
        f.dialogs.answers.enqueue(pdf);
        f.Trigger(command);
        QCOMPARE(f.printSetups, 1);
        QCOMPARE(f.dialogs.requests.last().title, QString("Print to PDF File"));
        QVERIFY(f.dialogs.requests.last().save);
        QVERIFY(QFileInfo::exists(pdf));

        QProcess convert;
        const QString prefix = f.scratch.Path("dxf/page");
        convert.start("pdftoppm", {"-r", "30", "-png", "-singlefile", pdf, prefix});
        QVERIFY(convert.waitForFinished(30000));
        QCOMPARE(convert.exitCode(), 0);
        const QImage page(prefix + ".png");
        QVERIFY(!page.isNull());
        QVERIFY2(page.width() > page.height(), "the setup's landscape orientation is kept");
        const QRect ink = InkBox(page);
        QVERIFY(!ink.isEmpty());
        // Fitted to the page either way.
        QVERIFY(ink.width() > page.width() * 0.8 || ink.height() > page.height() * 0.8);
        const bool wholeDrawing = command != "mFPrintCurrentView";
        if (wholeDrawing) {
            // The 200 x 100 outline, whatever the view showed.
            QVERIFY2(std::abs(double(ink.width()) / ink.height() - 2) < 0.1,
                     qPrintable(QString("%1x%2").arg(ink.width()).arg(ink.height())));
            QVERIFY(qGray(page.pixel(ink.topLeft() + QPoint(1, 0))) < 200);
        } else {
            // Only the line across: the top-left corner of the ink is paper.
            QVERIFY(qGray(page.pixel(ink.topLeft() + QPoint(2, 2))) > 200);
        }

        // A cancelled printer setup prints nothing and asks for no file.
        f.printSetupAccepted = false;
        const auto asked = f.dialogs.requests.size();
        f.Trigger(command);
        QCOMPARE(f.printSetups, 2);
        QCOMPARE(f.dialogs.requests.size(), asked);
    }

    void theViewerKeepsTheTemporaryFolderTheOptionsShow() {
        Frame f;
        const QString tmp = QDir::toNativeSeparators(f.scratch.Path("app/TMP")) + QDir::separator();
        QCOMPARE(f.Viewer().TemporaryFolder(), tmp);
        QString shown;
        f.onDialog = [&](QDialog& dialog) {
            if (auto* box = dialog.findChild<QLineEdit*>("txtTmpFilePath")) shown = box->text();
            return int(QDialog::Rejected);
        };
        f.Trigger("mEOptions");
        QCOMPARE(shown, tmp);
    }
};

QTEST_MAIN(FrameViewerTest)
#include "test_frame_viewer.moc"
