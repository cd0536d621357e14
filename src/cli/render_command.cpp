#include "cli/render_command.h"

#include <CLI/CLI.hpp>

#include <QColor>
#include <QGuiApplication>
#include <QString>

#include <cstdlib>
#include <iostream>

#include "drawing/display_drawing.h"
#include "view/render_file.h"

namespace retracer::cli {
namespace {

bool ParseSize(const std::string& text, QSize& size) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    try {
        std::size_t used = 0;
        const int w = std::stoi(text.substr(0, x), &used);
        if (used != x) return false;
        const std::string rest = text.substr(x + 1);
        const int h = std::stoi(rest, &used);
        if (used != rest.size() || w < 1 || h < 1 || w > 20000 || h > 20000) return false;
        size = QSize(w, h);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

CLI::App* AddRenderCommand(CLI::App& app, RenderArgs& args) {
    auto* render = app.add_subcommand("render", "Render a DXF drawing to PNG, PDF or SVG");
    render->add_option("drawing", args.drawing, "DXF file")->required()->check(CLI::ExistingFile);
    render->add_option("output", args.output, "Output file (.png, .pdf or .svg)")->required();
    render->add_option("--size", args.size, "Image size in pixels as WxH (default 1024x768)");
    render->add_option("--background", args.background,
                       "Background colour, a name or #RRGGBB (default white)");
    render->add_flag("--bw", args.blackAndWhite, "Draw in black and white");
    return render;
}

int RunRender(const RenderArgs& args, int argc, char** argv) {
    QSize size;
    if (!ParseSize(args.size, size)) {
        std::cerr << "retracer-cli: --size takes WxH, for example 1024x768\n";
        return 2;
    }
    const QColor background = QColor::fromString(QString::fromStdString(args.background));
    if (!background.isValid()) {
        std::cerr << "retracer-cli: unknown colour '" << args.background << "'\n";
        return 2;
    }
    // Rendering to a file needs no screen; fonts still need a GUI application.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication application(argc, argv);

    DisplayDrawing drawing;
    std::string error;
    if (!drawing.Read(args.drawing, DisplayDrawing::ReadMode::kReplace, 0, 0, error)) {
        std::cerr << "retracer-cli: " << args.drawing << ": " << error << "\n";
        return 1;
    }
    const view::DrawingRenderer renderer(drawing);
    view::FileRenderRequest request;
    request.output = QString::fromStdString(args.output);
    request.size = size;
    request.options.background = background;
    request.options.blackAndWhite = args.blackAndWhite;
    QString message;
    if (!view::RenderDrawingToFile(renderer, request, &message)) {
        std::cerr << "retracer-cli: " << message.toStdString() << "\n";
        return 1;
    }
    std::cout << args.output << "\n";
    return 0;
}

}  // namespace retracer::cli
