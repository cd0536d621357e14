#pragma once

#include <array>
#include <string>

namespace retracer {

// A label text field of the part, placed by the program and completed with the job's texts when
// the label block is written; engraved afterwards.
struct LabelField {
    float x = 0;
    float y = 0;
    std::string tagText;  // what the engraving uses to name the field's layer
    std::string text;     // the composed label text
    float height = 0;
    float width = 0;
    std::string caption;  // the field's own text from the program, "-" when it gave none
    // Entries 1 to 4 name worklist columns by their captions; entry 0 is not used.
    std::array<std::string, 5> columns{};
};

}  // namespace retracer
