// Level of detail: a busy view drawn from the coarse picture must look like the same view drawn
// exactly, every inked pixel of either within a pixel of ink of the same colour in the other.
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <random>

#include "drawing/display_drawing.h"
#include "view/coarse_picture.h"
#include "view/drawing_renderer.h"

using retracer::ArcEntity;
using retracer::CircleEntity;
using retracer::DisplayDrawing;
using retracer::Drawing;
using retracer::Entity;
using retracer::Layer;
using retracer::LineEntity;
using retracer::PointEntity;
using retracer::PolylineEntity;
using retracer::SolidEntity;
using retracer::TextEntity;
using retracer::view::CoarsePicture;
using retracer::view::DrawingRenderer;
using retracer::view::RenderOptions;
using retracer::view::RenderStats;
using retracer::view::ViewState;

namespace {

constexpr QSize kImageSize(400, 300);

// A sheet of parts as the translator writes them: in each part holes, saw lines, a route with
// arcs, a label text too small to read and a point; colours and layers vary from part to part.
// Across the sheet, a few entities wide enough to be drawn exactly.
Drawing Sheet() {
    Drawing d;
    d.layers = {Layer{"HOLES", 4}, Layer{"ROUTE", 3}, Layer{"TEXT", 7}};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (int part = 0; part < 60; ++part) {
        const double ox = (part % 10) * 90.0, oy = (part / 10) * 70.0;
        for (int k = 0; k < 4; ++k)
            d.entities.push_back(
                Entity{"HOLES", 256,
                       CircleEntity{{ox + 5 + 50 * u(random), oy + 5 + 30 * u(random), 0},
                                    0.5 + 2 * u(random)}});
        d.entities.push_back(Entity{"SAW", part % 2 == 0 ? 1 : 6,
                                    LineEntity{{ox + 60 * u(random), oy + 40 * u(random), 0},
                                               {ox + 60 * u(random), oy + 40 * u(random), 0}}});
        PolylineEntity route;
        route.closed = part % 2 == 0;
        for (int k = 0; k < 6; ++k)
            route.vertices.push_back(
                {ox + 60 * u(random), oy + 40 * u(random), 0, k % 2 == 0 ? 0.4 : -0.2});
        d.entities.push_back(Entity{"ROUTE", 256, std::move(route)});
        d.entities.push_back(Entity{
            "TEXT", 256, TextEntity{{ox + 2, oy + 2, 0}, 0.8, 0, "Part " + std::to_string(part)}});
        d.entities.push_back(Entity{"SAW", 30, ArcEntity{{ox + 30, oy + 20, 0}, 8, 30, 250}});
        d.entities.push_back(Entity{"SAW", 6, PointEntity{{ox + 58, oy + 38, 0}}});
    }
    d.entities.push_back(Entity{"SAW", 2, LineEntity{{-20, -15, 0}, {900, 420, 0}}});
    d.entities.push_back(Entity{"SAW", 5, CircleEntity{{450, 200, 0}, 180}});
    d.entities.push_back(Entity{"TEXT", 7, TextEntity{{300, 430, 0}, 25, 0, "SHEET 1"}});
    d.entities.push_back(Entity{
        "SAW", 1,
        SolidEntity{{retracer::Point3{700, 430, 0}, {760, 430, 0}, {700, 460, 0}, {760, 460, 0}}}});
    return d;
}

// Tiny entities scattered far apart, so that a misplaced one has no ink of its own nearby.
Drawing Scatter() {
    Drawing d;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 150; ++i) {
        const double x = (i % 15) * 60 + 40 * u(random), y = (i / 15) * 45 + 30 * u(random);
        switch (i % 5) {
            case 0:
                d.entities.push_back(Entity{"0", 1 + i % 7, CircleEntity{{x, y, 0}, 0.4}});
                break;
            case 1:
                d.entities.push_back(Entity{"0", 3, LineEntity{{x, y, 0}, {x + 6, y + 2.5, 0}}});
                break;
            case 2:
                d.entities.push_back(Entity{"0", 2, ArcEntity{{x, y, 0}, 3, 0, 200}});
                break;
            case 3:
                d.entities.push_back(Entity{"0", 6, PointEntity{{x, y, 0}}});
                break;
            default:
                d.entities.push_back(Entity{"0", 4, TextEntity{{x, y, 0}, 0.5, 0, "tiny"}});
                break;
        }
    }
    return d;
}

struct Rendered {
    QImage image;
    RenderStats stats;
};

Rendered Render(const DrawingRenderer& renderer, const ViewState& view, RenderOptions options,
                bool levelOfDetail) {
    options.antialias = false;  // busy views are drawn unsmoothed; the coarse picture is for them
    options.levelOfDetail = levelOfDetail;
    QImage image(kImageSize, QImage::Format_RGB32);
    QPainter painter(&image);
    const RenderStats stats = renderer.Render(painter, QRectF(image.rect()), view, options);
    painter.end();
    return {image, stats};
}

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// Inked pixels of `a`, and how many of them have no pixel of the same colour in `b` within
// one pixel.
std::pair<int, int> InkWithoutMatch(const QImage& a, const QImage& b, QRgb background) {
    int inked = 0, unmatched = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb c = a.pixel(x, y);
            if (c == background) continue;
            ++inked;
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx)
                    found = b.rect().contains(x + dx, y + dy) &&
                            Distance(b.pixel(x + dx, y + dy), c) <= 8;
            unmatched += found ? 0 : 1;
        }
    }
    return {inked, unmatched};
}

void ExpectSamePicture(const Rendered& coarse, const Rendered& exact, QRgb background,
                       double allowedShare) {
    QVERIFY2(coarse.stats.coarse > 0, "the view did not use the coarse picture");
    QCOMPARE(exact.stats.coarse, std::size_t(0));
    const auto [coarseInk, coarseStrays] = InkWithoutMatch(coarse.image, exact.image, background);
    const auto [exactInk, dropped] = InkWithoutMatch(exact.image, coarse.image, background);
    QVERIFY2(exactInk > 150, qPrintable(QString::number(exactInk)));
    const auto allowed = static_cast<int>(allowedShare * exactInk);
    QVERIFY2(
        dropped <= allowed,
        qPrintable(QStringLiteral("%1 of %2 exact pixels missing").arg(dropped).arg(exactInk)));
    QVERIFY2(coarseStrays <= allowed,
             qPrintable(
                 QStringLiteral("%1 of %2 coarse pixels astray").arg(coarseStrays).arg(coarseInk)));
    QVERIFY2(std::abs(coarseInk - exactInk) <= exactInk / 5,
             qPrintable(QStringLiteral("%1 inked against %2").arg(coarseInk).arg(exactInk)));
}

ViewState Whole(const DrawingRenderer& renderer) {
    return retracer::view::FitBox(renderer.Extents(), QRectF(QPointF(0, 0), kImageSize), 96);
}

}  // namespace

Q_DECLARE_METATYPE(Drawing)

class TestViewerDetail : public QObject {
    Q_OBJECT

  private slots:
    void theCoarsePictureLooksLikeTheExactOne_data();
    void theCoarsePictureLooksLikeTheExactOne();
    void thePictureFollowsLayersAndChangesToTheDrawing();
    void closeViewsAndPrintsAreDrawnExactly();
    void cellsArePowersOfTwoNoWiderThanAPixel_data();
    void cellsArePowersOfTwoNoWiderThanAPixel();
};

void TestViewerDetail::theCoarsePictureLooksLikeTheExactOne_data() {
    QTest::addColumn<Drawing>("drawing");
    QTest::addColumn<double>("zoom");    // of the whole view
    QTest::addColumn<double>("shiftX");  // pixels
    QTest::addColumn<double>("shiftY");
    QTest::addColumn<bool>("whiteBackground");
    QTest::addColumn<bool>("blackAndWhite");
    QTest::addColumn<double>("allowedShare");  // of the inked pixels without a match
    // Where wide entities drawn exactly cross small ones, the wide one ends on top rather than
    // in file order: a few pixels of the sheet may differ in colour, never in place.
    QTest::newRow("whole sheet") << Sheet() << 1.0 << 0.0 << 0.0 << false << false << 0.02;
    QTest::newRow("panned by parts of a pixel, odd scale")
        << Sheet() << 0.83 << 0.37 << -0.61 << false << false << 0.02;
    // Far out, a pixel holds up to four cells of different parts, and which of them shows is
    // not the one last in the file.
    QTest::newRow("zoomed far out") << Sheet() << 0.3 << 0.0 << 0.0 << false << false << 0.05;
    QTest::newRow("black and white on white")
        << Sheet() << 1.0 << 0.0 << 0.0 << true << true << 0.02;
    QTest::newRow("colours on white") << Sheet() << 1.0 << 0.0 << 0.0 << true << false << 0.02;
    QTest::newRow("tiny entities far apart, each in its place")
        << Scatter() << 1.0 << 0.0 << 0.0 << false << false << 0.0;
    QTest::newRow("tiny entities far apart, panned and scaled")
        << Scatter() << 0.71 << -0.45 << 0.28 << false << false << 0.0;
}

void TestViewerDetail::theCoarsePictureLooksLikeTheExactOne() {
    QFETCH(Drawing, drawing);
    QFETCH(double, zoom);
    QFETCH(double, shiftX);
    QFETCH(double, shiftY);
    QFETCH(bool, whiteBackground);
    QFETCH(bool, blackAndWhite);
    QFETCH(double, allowedShare);
    DisplayDrawing display;
    display.Assign(drawing);
    const DrawingRenderer renderer(display);
    ViewState view = Whole(renderer);
    view.scale *= zoom;
    view.centreX += shiftX / view.scale;
    view.centreY += shiftY / view.scale;
    RenderOptions options;
    options.background = whiteBackground ? Qt::white : Qt::black;
    options.blackAndWhite = blackAndWhite;
    const Rendered coarse = Render(renderer, view, options, true);
    const Rendered exact = Render(renderer, view, options, false);
    ExpectSamePicture(coarse, exact, options.background.rgb(), allowedShare);
    if (blackAndWhite) {
        // Only ink and background, and the greys text edges may leave.
        for (int y = 0; y < coarse.image.height(); ++y) {
            for (int x = 0; x < coarse.image.width(); ++x) {
                const QRgb c = coarse.image.pixel(x, y);
                QVERIFY2(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c),
                         qPrintable(QStringLiteral("(%1, %2) is #%3").arg(x).arg(y).arg(c, 0, 16)));
            }
        }
    }
}

void TestViewerDetail::thePictureFollowsLayersAndChangesToTheDrawing() {
    DisplayDrawing display;
    display.Assign(Sheet());
    DrawingRenderer renderer(display);
    const ViewState view = Whole(renderer);
    const QRgb black = qRgb(0, 0, 0);
    const Rendered before = Render(renderer, view, {}, true);

    // Hiding the routes: the picture drawn before showed them and must not be reused.
    auto& routes = display.layers[static_cast<std::size_t>(display.LayerIndex("ROUTE"))];
    routes.visible = false;
    const Rendered hidden = Render(renderer, view, {}, true);
    ExpectSamePicture(hidden, Render(renderer, view, {}, false), black, 0.02);
    const int green = [&] {
        int n = 0;
        for (int y = 0; y < hidden.image.height(); ++y)
            for (int x = 0; x < hidden.image.width(); ++x)
                n += hidden.image.pixel(x, y) == qRgb(0, 255, 0) ? 1 : 0;
        return n;
    }();
    QCOMPARE(green, 0);
    routes.visible = true;
    QCOMPARE(Render(renderer, view, {}, true).image, before.image);

    // Moved half a part to the right: the old picture would stand where the drawing was.
    QVERIFY(display.Transform({1, 0, 45, 0}));
    renderer.Rebuild();
    ExpectSamePicture(Render(renderer, view, {}, true), Render(renderer, view, {}, false), black,
                      0.02);
}

void TestViewerDetail::closeViewsAndPrintsAreDrawnExactly() {
    DisplayDrawing display;
    display.Assign(Sheet());
    const DrawingRenderer renderer(display);
    ViewState close = Whole(renderer);
    close.scale *= 8;  // a coarse picture of the whole sheet at this scale would be far too big
    QCOMPARE(Render(renderer, close, {}, true).stats.coarse, std::size_t(0));

    // Smoothed views, and devices other than a 32-bit image, are drawn exactly.
    QImage image(kImageSize, QImage::Format_RGB32);
    QPainter painter(&image);
    QCOMPARE(renderer.Render(painter, QRectF(image.rect()), Whole(renderer), {}).coarse,
             std::size_t(0));
    painter.end();
    QImage other(kImageSize, QImage::Format_RGB888);
    QPainter onOther(&other);
    RenderOptions unsmoothed;
    unsmoothed.antialias = false;
    QCOMPARE(renderer.Render(onOther, QRectF(other.rect()), Whole(renderer), unsmoothed).coarse,
             std::size_t(0));
}

void TestViewerDetail::cellsArePowersOfTwoNoWiderThanAPixel_data() {
    QTest::addColumn<double>("unitsPerPixel");
    QTest::addColumn<double>("cell");
    QTest::newRow("exactly a power of two") << 32.0 << 32.0;
    QTest::newRow("just under the next") << 63.9 << 32.0;
    QTest::newRow("fractions of a unit") << 0.3 << 0.25;
    QTest::newRow("one unit") << 1.0 << 1.0;
    QTest::newRow("no scale") << 0.0 << 0.0;
    QTest::newRow("infinite") << double(INFINITY) << 0.0;
}

void TestViewerDetail::cellsArePowersOfTwoNoWiderThanAPixel() {
    QFETCH(double, unitsPerPixel);
    QFETCH(double, cell);
    QCOMPARE(CoarsePicture::CellFor(unitsPerPixel), cell);
}

QTEST_MAIN(TestViewerDetail)
#include "test_viewer_detail.moc"
