#pragma once

#include <string>

namespace CLI {
class App;
}

namespace retracer::cli {

// retracer-cli render DRAWING.dxf OUT.png|OUT.pdf|OUT.svg [--size WxH]: the viewer's renderer
// without a window.
struct RenderArgs {
    std::string drawing;
    std::string output;
    std::string size = "1024x768";
    std::string background = "white";
    bool blackAndWhite = false;
};

CLI::App* AddRenderCommand(CLI::App& app, RenderArgs& args);
int RunRender(const RenderArgs& args, int argc, char** argv);

}  // namespace retracer::cli
