// The file dialogs' filters on platforms whose dialogs match names case-sensitively: the
// drawings and worklists Retracer writes end in ".DXF" and ".LST" and must still be offered.
#include <QtTest>

#include "file_dialogs.h"

using retracer::app::WithUpperCasePatterns;

class FileDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void upperCasePatternsAreOfferedToo_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("offered");
        QTest::newRow("one pattern") << "DXF (*.dxf)"
                                     << "DXF (*.dxf *.DXF)";
        QTest::newRow("two entries, all files left alone") << "CSV (*.csv);;All Files (*)"
                                                           << "CSV (*.csv *.CSV);;All Files (*)";
        QTest::newRow("both forms given already") << "List (*.lst *.LST)"
                                                  << "List (*.lst *.LST)";
        QTest::newRow("several patterns") << "Pictures (*.png *.jpg)"
                                          << "Pictures (*.png *.jpg *.PNG *.JPG)";
        QTest::newRow("mixed case") << "Drawing (*.Dxf)"
                                    << "Drawing (*.Dxf *.DXF)";
        QTest::newRow("brackets in the name") << "Drawings (R12) (*.dxf)"
                                              << "Drawings (R12) (*.dxf *.DXF)";
        QTest::newRow("no pattern list") << "Everything"
                                         << "Everything";
    }
    void upperCasePatternsAreOfferedToo() {
        QFETCH(QString, filter);
        QFETCH(QString, offered);
        QCOMPARE(WithUpperCasePatterns(filter), offered);
    }
};

QTEST_MAIN(FileDialogsTest)
#include "test_file_dialogs.moc"
