#include "view/render_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace retracer::view {
namespace {

bool Commit(QSaveFile& file, const QByteArray& bytes, QString* error) {
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error != nullptr) *error = file.fileName() + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

}  // namespace

bool RenderDrawingToFile(const DrawingRenderer& renderer, const FileRenderRequest& request,
                         QString* error) {
    const QString suffix = QFileInfo(request.output).suffix().toLower();
    if (request.size.width() <= 0 || request.size.height() <= 0) {
        if (error != nullptr) *error = QStringLiteral("the size must be at least 1x1 pixels");
        return false;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const Box2 extents = renderer.Extents();
    if (suffix == QLatin1String("pdf")) {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("Retracer"));
        const bool wide = extents.Width() > extents.Height();
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      wide ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        pdf.setResolution(600);
        RenderOptions options = request.options;
        options.pixelSize = pdf.resolution() / 254.0;
        QPainter painter(&pdf);
        const QRectF page(QPointF(0, 0), QSizeF(pdf.width(), pdf.height()));
        renderer.Render(painter, page, FitBox(extents, page, kFitPercent), options);
        painter.end();
    } else if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(request.size);
        svg.setViewBox(QRect(QPoint(0, 0), request.size));
        svg.setTitle(QFileInfo(request.output).completeBaseName());
        QPainter painter(&svg);
        const QRectF area(QPointF(0, 0), QSizeF(request.size));
        renderer.Render(painter, area, FitBox(extents, area, kFitPercent), request.options);
        painter.end();
    } else {
        QImage image(request.size, QImage::Format_RGB32);
        QPainter painter(&image);
        const QRectF area(image.rect());
        renderer.Render(painter, area, FitBox(extents, area, kFitPercent), request.options);
        painter.end();
        const QByteArray format = suffix.isEmpty() ? QByteArray("png") : suffix.toLatin1();
        if (!image.save(&buffer, format.constData())) {
            if (error != nullptr)
                *error = QStringLiteral("cannot write images of type \"%1\"").arg(suffix);
            return false;
        }
    }
    buffer.close();
    QSaveFile file(request.output);
    return Commit(file, bytes, error);
}

}  // namespace retracer::view
