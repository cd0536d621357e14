// The renderer against reference images of small drawings, plus probes at points whose colour
// follows from the geometry alone, so a wrong reference cannot hide a wrong drawing.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "drawing/display_drawing.h"
#include "view/drawing_renderer.h"

using retracer::ArcEntity;
using retracer::CircleEntity;
using retracer::DisplayDrawing;
using retracer::Drawing;
using retracer::Entity;
using retracer::Layer;
using retracer::LineEntity;
using retracer::PolylineEntity;
using retracer::PolylineVertex;
using retracer::TextEntity;
using retracer::view::DrawingRenderer;
using retracer::view::RenderOptions;
using retracer::view::ViewState;

namespace {

constexpr QSize kImageSize(240, 180);

// Every drawing is shown with the same fixed view, so probes can name device pixels: the
// drawing point (40, 10) in the middle, one and a half pixels per unit, Y up.
ViewState FixedView() {
    return ViewState{40, 10, 1.5};
}

struct Probe {
    double x;  // drawing coordinates
    double y;
    QRgb colour;  // expected, within a small tolerance; 0 means "background"
};

}  // namespace

Q_DECLARE_METATYPE(Probe)
Q_DECLARE_METATYPE(retracer::Drawing)

namespace {

Entity Make(retracer::EntityGeometry g, int colour = 256, std::string layer = "0") {
    return Entity{std::move(layer), colour, std::move(g)};
}

PolylineEntity Poly(std::vector<PolylineVertex> v, bool closed) {
    return {std::move(v), closed};
}

QImage Render(const Drawing& source, const RenderOptions& options) {
    DisplayDrawing drawing;
    drawing.Assign(source);
    const DrawingRenderer renderer(drawing);
    QImage image(kImageSize, QImage::Format_RGB32);
    QPainter painter(&image);
    renderer.Render(painter, QRectF(image.rect()), FixedView(), options);
    painter.end();
    return image;
}

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// On black, an antialiased line of one pixel spread over two rows keeps its hue at part of its
// brightness: brought back to full brightness it compares with the colour drawn.
QRgb FullBrightness(QRgb c) {
    const int top = std::max({qRed(c), qGreen(c), qBlue(c)});
    if (top < 64) return c;
    return qRgb(qRed(c) * 255 / top, qGreen(c) * 255 / top, qBlue(c) * 255 / top);
}

// The strongest colour within a pixel of the point: thin antialiased lines spread over two.
QRgb Near(const QImage& image, QPointF p, QRgb background) {
    QRgb best = background;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint q(qRound(p.x()) + dx, qRound(p.y()) + dy);
            if (!image.rect().contains(q)) continue;
            const QRgb c = image.pixel(q);
            if (Distance(c, background) > Distance(best, background)) best = c;
        }
    }
    return qGray(background) < 32 ? FullBrightness(best) : best;
}

QString ReferenceDir() {
    return QStringLiteral(RETRACER_SOURCE_DIR "/tests/data/render");
}

}  // namespace

class TestViewerRender : public QObject {
    Q_OBJECT

  private slots:
    void drawingsMatchTheirReferences_data();
    void drawingsMatchTheirReferences();
    void blackAndWhiteLeavesNoColour();
    void hiddenLayersAreNotDrawn();
    void tinyEntitiesBecomeDotsAndOnlyVisibleOnesAreVisited();
    void busyViewsWrittenStraightIntoTheImageMatchThePaintEngine_data();
    void busyViewsWrittenStraightIntoTheImageMatchThePaintEngine();
};

void TestViewerRender::drawingsMatchTheirReferences_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<Drawing>("drawing");
    QTest::addColumn<bool>("whiteBackground");
    QTest::addColumn<bool>("blackAndWhite");
    QTest::addColumn<QList<Probe>>("probes");
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    const QRgb cyan = qRgb(0, 255, 255), white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);

    // A half circle from (0,0) to (80,0) bulging below the chord (positive bulge: counter-
    // clockwise), straight up, and closed by a quarter circle turning clockwise, which bulges
    // to the left of its way back (below its chord).
    Drawing bulge;
    bulge.entities.push_back(
        Make(Poly({{0, 0, 0, 1}, {80, 0, 0, 0}, {80, 30, 0, -0.41421356}}, true), 1));
    QTest::newRow("arc with bulge")
        << "bulge_arc" << bulge << false << false
        << QList<Probe>{{40, -40, red}, {40, 40, 0},       {40, 0, 0},  {80, 15, red},
                        {0, -20, 0},    {46.2, -1.6, red}, {40, 15, 0}, {11.7, -28.3, red}};

    // A full circle as a closed polyline of two half circles around (40, 0), radius 30.
    Drawing circle;
    circle.entities.push_back(Make(Poly({{10, 0, 0, 1}, {70, 0, 0, 1}}, true), 3));
    QTest::newRow("full circle from two halves")
        << "two_half_circles" << circle << false << false
        << QList<Probe>{{40, 30, green}, {40, -30, green},    {10, 0, green},      {70, 0, green},
                        {40, 0, 0},      {61.2, 21.2, green}, {18.8, -21.2, green}};

    // Texts: upright, turned a quarter, and two lines; with a circle and an arc entity.
    Drawing texts;
    texts.entities.push_back(Make(TextEntity{{0, 40, 0}, 10, 0, "RETRACER"}, 7));
    texts.entities.push_back(Make(TextEntity{{85, -20, 0}, 6, 90, "UP 90"}, 2));
    texts.entities.push_back(Make(TextEntity{{0, 10, 0}, 6, 0, "two\nlines"}, 4));
    QTest::newRow("texts") << "texts" << texts << false << false
                           << QList<Probe>{{2.5, 45, white}, {-5, 45, 0}, {40, 60, 0}};

    // One line per colour, a line by layer (layer colour 5) and an arc and a circle.
    Drawing colours;
    colours.layers.push_back(Layer{"BLUE", 5});
    for (int i = 1; i <= 6; ++i)
        colours.entities.push_back(
            Make(LineEntity{{0, 10.0 * i - 15, 0}, {40, 10.0 * i - 15, 0}}, i));
    colours.entities.push_back(Make(LineEntity{{0, -15, 0}, {40, -15, 0}}, 256, "BLUE"));
    colours.entities.push_back(Make(CircleEntity{{70, 10, 0}, 15}, 4));
    colours.entities.push_back(Make(ArcEntity{{70, -20, 0}, 10, 0, 180}, 30));
    QTest::newRow("colours") << "colours" << colours << false << false
                             << QList<Probe>{{20, -5, red},
                                             {20, 5, qRgb(255, 255, 0)},
                                             {20, 15, green},
                                             {20, 25, cyan},
                                             {20, 35, blue},
                                             {20, 45, qRgb(255, 0, 255)},
                                             {20, -15, blue},
                                             {70, 25, cyan},
                                             {70, -10, qRgb(255, 127, 0)},
                                             {70, -23, 0}};
    QTest::newRow("colours on white, black and white")
        << "colours_bw" << colours << true << true
        << QList<Probe>{{20, -5, black}, {20, 35, black}, {70, 25, black}, {20, 10, 0}};
}

void TestViewerRender::drawingsMatchTheirReferences() {
    QFETCH(QString, name);
    QFETCH(Drawing, drawing);
    QFETCH(bool, whiteBackground);
    QFETCH(bool, blackAndWhite);
    QFETCH(QList<Probe>, probes);
    RenderOptions options;
    options.background = whiteBackground ? Qt::white : Qt::black;
    options.blackAndWhite = blackAndWhite;
    const QImage actual = Render(drawing, options);
    const QRgb background = options.background.rgb();

    for (const Probe& p : probes) {
        const QPointF at = retracer::view::ToDevice(FixedView(), QRectF(actual.rect()), p.x, p.y);
        const QRgb want = p.colour == 0 ? background : p.colour;
        const QRgb got = Near(actual, at, background);
        QVERIFY2(Distance(got, want) <= 100,
                 qPrintable(QStringLiteral("(%1, %2): got #%3, want #%4")
                                .arg(p.x)
                                .arg(p.y)
                                .arg(got & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                .arg(want & 0xFFFFFF, 6, 16, QLatin1Char('0'))));
    }

    const QString referencePath = ReferenceDir() + QLatin1Char('/') + name + QStringLiteral(".png");
    const QString actualPath =
        ReferenceDir() + QLatin1Char('/') + name + QStringLiteral(".actual.png");
    const QImage reference(referencePath);
    int differing = 0;
    if (!reference.isNull() && reference.size() == actual.size()) {
        const QImage ref = reference.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < actual.height(); ++y)
            for (int x = 0; x < actual.width(); ++x)
                if (Distance(ref.pixel(x, y), actual.pixel(x, y)) > 64) ++differing;
    }
    // Font hinting may move a few edge pixels; a wrong drawing moves hundreds.
    const bool same = !reference.isNull() && reference.size() == actual.size() && differing <= 40;
    if (!same) {
        actual.save(actualPath);
        QFAIL(qPrintable(QStringLiteral("%1 differs from the reference in %2 pixels; see %3")
                             .arg(name)
                             .arg(differing)
                             .arg(actualPath)));
    }
    QFile::remove(actualPath);
}

void TestViewerRender::blackAndWhiteLeavesNoColour() {
    Drawing drawing;
    for (int i = 1; i < 256; i += 7)
        drawing.entities.push_back(
            Make(LineEntity{{0, i / 4.0 - 30, 0}, {60, i / 4.0 - 30, 0}}, i));
    for (const QColor& background : {QColor(Qt::white), QColor(Qt::black), QColor(0, 0, 80)}) {
        RenderOptions options;
        options.background = background;
        options.blackAndWhite = true;
        const QImage image = Render(drawing, options);
        const QRgb ink = background.lightnessF() > 0.5 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        int inked = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                if (c == background.rgb()) continue;
                // Antialiasing mixes ink and background only.
                const double t = Distance(c, background.rgb()) / 255.0;
                QVERIFY(Distance(c, background.rgb()) + Distance(c, ink) <=
                        Distance(ink, background.rgb()) + 3);
                if (t > 0.5) ++inked;
            }
        }
        QVERIFY(inked > 500);
    }
}

void TestViewerRender::hiddenLayersAreNotDrawn() {
    Drawing source;
    source.layers = {Layer{"A", 1}, Layer{"B", 3}};
    source.entities.push_back(Make(LineEntity{{0, 0, 0}, {60, 0, 0}}, 256, "A"));
    source.entities.push_back(Make(LineEntity{{0, 20, 0}, {60, 20, 0}}, 256, "B"));
    DisplayDrawing drawing;
    drawing.Assign(source);
    drawing.layers[static_cast<std::size_t>(drawing.LayerIndex("A"))].visible = false;
    const DrawingRenderer renderer(drawing);
    QImage image(kImageSize, QImage::Format_RGB32);
    QPainter painter(&image);
    renderer.Render(painter, QRectF(image.rect()), FixedView(), RenderOptions{});
    painter.end();
    const QRectF device(image.rect());
    QCOMPARE(Near(image, retracer::view::ToDevice(FixedView(), device, 30, 0), qRgb(0, 0, 0)),
             qRgb(0, 0, 0));
    QVERIFY(Distance(Near(image, retracer::view::ToDevice(FixedView(), device, 30, 20), 0),
                     qRgb(0, 255, 0)) < 80);
}

void TestViewerRender::tinyEntitiesBecomeDotsAndOnlyVisibleOnesAreVisited() {
    // A grid of 100 x 100 small circles, 10 units apart.
    Drawing source;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            source.entities.push_back(Make(CircleEntity{{i * 10.0, j * 10.0, 0}, 2}, 1));
    DisplayDrawing drawing;
    drawing.Assign(source);
    const DrawingRenderer renderer(drawing);
    QImage image(QSize(200, 200), QImage::Format_RGB32);
    const QRectF device(image.rect());
    QPainter painter(&image);

    // Whole: 990 units in 200 pixels, each circle under a pixel.
    const auto whole = renderer.Render(painter, device,
                                       retracer::view::FitBox(renderer.Extents(), device, 100), {});
    QCOMPARE(whole.candidates, std::size_t(10000));
    QCOMPARE(whole.dots, std::size_t(10000));

    // Zoomed in on a 100 x 100 area: about 11 x 11 circles, drawn in full.
    const auto zoomed = renderer.Render(painter, device, ViewState{500, 500, 2}, {});
    QVERIFY2(zoomed.candidates >= 100 && zoomed.candidates <= 144,
             qPrintable(QString::number(zoomed.candidates)));
    QCOMPARE(zoomed.drawn, zoomed.candidates);
    QCOMPARE(zoomed.dots, std::size_t(0));
    painter.end();
    // The circle around (500, 500) is drawn at its radius: 4 pixels from the centre.
    QVERIFY(Distance(Near(image, QPointF(104, 100), 0), qRgb(255, 0, 0)) < 100);
    QCOMPARE(image.pixel(100, 100), qRgb(0, 0, 0));
}

void TestViewerRender::busyViewsWrittenStraightIntoTheImageMatchThePaintEngine_data() {
    QTest::addColumn<int>("crowd");
    QTest::newRow("one thread") << 0;
    QTest::newRow("two threads, each half the image") << 24000;
}

void TestViewerRender::busyViewsWrittenStraightIntoTheImageMatchThePaintEngine() {
    QFETCH(int, crowd);
    // Lines of every slope, some running far off the image, arcs, bulges and circles; a text
    // and a solid in each half (painted by the engine either way); and, clear of them, a crowd
    // of short strokes that makes the view busy enough for two threads.
    Drawing source;
    for (int i = 0; i < crowd; ++i) {
        const double x = -20 + (i % 160) * 0.25, y = 20 + (i / 160) * 0.2;
        source.entities.push_back(Make(LineEntity{{x, y, 0}, {x + 0.5, y + 0.3, 0}}, 8));
    }
    source.entities.push_back(Make(TextEntity{{50, 50, 0}, 8, 0, "BUSY"}, 7));
    source.entities.push_back(Make(TextEntity{{40, -35, 0}, 8, 0, "LOW"}, 7));  // the other half
    source.entities.push_back(Make(
        retracer::SolidEntity{
            {retracer::Point3{85, -35, 0}, {95, -35, 0}, {85, -25, 0}, {95, -25, 0}}},
        2));
    source.entities.push_back(Make(
        retracer::SolidEntity{{retracer::Point3{85, 50, 0}, {95, 50, 0}, {85, 60, 0}, {95, 60, 0}}},
        1));
    for (int i = 0; i < 36; ++i) {
        const double a = i * 10 * 3.14159265358979 / 180;
        source.entities.push_back(Make(
            LineEntity{{40, 10, 0}, {40 + 70 * std::cos(a), 10 + 70 * std::sin(a), 0}}, 1 + i % 6));
    }
    source.entities.push_back(Make(LineEntity{{-1e6, -1e6, 0}, {1e6, 1e6, 0}}, 3));
    source.entities.push_back(Make(LineEntity{{-500, 60, 0}, {500, 60, 0}}, 2));
    source.entities.push_back(Make(LineEntity{{-30, -1e5, 0}, {-30, 1e5, 0}}, 4));
    source.entities.push_back(Make(CircleEntity{{40, 10, 0}, 30}, 5));
    source.entities.push_back(Make(ArcEntity{{40, 10, 0}, 45, 200, 340}, 6));
    source.entities.push_back(
        Make(Poly({{-20, -30, 0, 0.5}, {100, -30, 0, -1}, {100, 40, 0, 0}}, true), 30));
    RenderOptions options;
    options.antialias = false;
    const auto render = [&](QImage::Format format) {
        DisplayDrawing drawing;
        drawing.Assign(source);
        const DrawingRenderer renderer(drawing);
        QImage image(kImageSize, format);
        QPainter painter(&image);
        renderer.Render(painter, QRectF(image.rect()), FixedView(), options);
        painter.end();
        return image.convertToFormat(QImage::Format_RGB32);
    };
    const QImage direct = render(QImage::Format_RGB32);   // written straight into the pixels
    const QImage engine = render(QImage::Format_RGB888);  // through the paint engine
    const auto inked = [](const QImage& image, QPoint p) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint q = p + QPoint(dx, dy);
                if (image.rect().contains(q) && image.pixel(q) != qRgb(0, 0, 0)) return true;
            }
        return false;
    };
    int directInk = 0, engineInk = 0, strays = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            const bool a = direct.pixel(x, y) != qRgb(0, 0, 0);
            const bool b = engine.pixel(x, y) != qRgb(0, 0, 0);
            directInk += a;
            engineInk += b;
            if ((a && !inked(engine, {x, y})) || (b && !inked(direct, {x, y}))) ++strays;
        }
    }
    QVERIFY2(directInk > 2000, qPrintable(QString::number(directInk)));
    QVERIFY2(std::abs(directInk - engineInk) < engineInk / 8,
             qPrintable(QStringLiteral("%1 %2").arg(directInk).arg(engineInk)));
    QVERIFY2(strays == 0, qPrintable(QString::number(strays)));
}

QTEST_MAIN(TestViewerRender)
#include "test_viewer_render.moc"
