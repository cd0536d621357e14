#include "labels/label_block.h"

#include <algorithm>

#include "base/text_codec.h"
#include "base/value_text.h"
#include "drawing/drawing_writer.h"
#include "labels/barcode.h"
#include "settings/user_store.h"

namespace retracer {
namespace {

constexpr int kHbdCounterLimit = 99999;

// An offset text without its one trailing point (12. becomes 12).
std::string_view OffsetText(std::string_view text) {
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    return text;
}

// The text after the last folder separator.
std::string_view LastPathPart(std::string_view path) {
    const auto cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// Every text of the block goes in with z 0 and no rotation.
struct TextOut {
    DrawingWriter& writer;
    void operator()(double x, double y, double height, std::string_view text,
                    std::string_view layer, int colour) const {
        writer.AddText(static_cast<float>(x), static_cast<float>(y), 0, static_cast<float>(height),
                       0, text, layer, colour);
    }
};

void AddRelayInstructions(const TextOut& out, const LabelBlockInput& in) {
    const std::string_view x = OffsetText(in.offsetX);
    const std::string_view y = OffsetText(in.offsetY);
    const std::string_view z = OffsetText(in.offsetZ);
    if (NumericValue(x) + NumericValue(y) + NumericValue(z) == 0) return;
    const double u = in.unitDivisor;
    constexpr std::string_view kLayer = "Relay Instructions";
    out(in.partLength / 3, -5 / u, 4 / u, "Relay Instructions", kLayer, 1);
    std::string offset = "Offset ";
    offset.append(x).append(",").append(y).append(",").append(z);
    out(in.partLength / 3, -10 / u, 4 / u, offset, kLayer, 1);
}

void AddJobTexts(const TextOut& out, const LabelBlockInput& in, const LayerKeyLookup& layerFor) {
    const double u = in.unitDivisor;
    if (in.jobNumber == 0) {
        out(0, -9 / u, 6 / u, in.programComment, layerFor("PartDescription"), 3);
        return;
    }
    const JobTexts& texts = in.texts;
    const std::string quantity = std::to_string(texts.quantity);
    const struct {
        std::string_view key;
        const std::string& text;
        double y;
    } kJobTexts[] = {
        {"JobName", texts.job, -36},           {"RoomName", texts.room, -45},
        {"CabinetName", texts.cabinet, -54},   {"PartDescription", texts.partDescription, -9},
        {"PartMaterial", texts.material, -27}, {"PartQuantity", quantity, -18},
    };
    for (const auto& t : kJobTexts) out(0, t.y / u, 6 / u, t.text, layerFor(t.key), 3);
}

}  // namespace

std::string ComposeLabelText(const LabelField& field, const JobTexts& texts) {
    std::string values;
    for (std::size_t k = 1; k < field.columns.size(); ++k) {
        const std::string wanted = UpperAscii(field.columns[k]);
        const auto column =
            std::find_if(texts.columns.begin(), texts.columns.end(),
                         [&](const auto& c) { return UpperAscii(c.first) == wanted; });
        if (column == texts.columns.end()) continue;
        std::string cell = UpperAscii(column->second);
        if (const auto cnc = cell.find(".CNC"); cnc != std::string::npos) cell.erase(cnc);
        if (!cell.empty()) values += "   " + cell;
    }
    return std::string(TrimSpaces(values + "  " + field.caption));
}

int NextHbdCounter(int counter) {
    return counter >= 0 && counter < kHbdCounterLimit ? counter + 1 : 1;
}

std::string LabelFileName(std::string_view outputPath) {
    std::string_view name = LastPathPart(outputPath);
    name.remove_suffix(std::min<std::size_t>(4, name.size()));
    return std::string(name);
}

void AddLabelBlock(DrawingWriter& writer, const LabelBlockInput& in, const LayerKeyLookup& layerFor,
                   std::vector<LabelField>& fields, int& hbdCounter) {
    const TextOut out{writer};
    const double length = in.partLength;
    const double width = in.partWidth;

    AddRelayInstructions(out, in);
    AddJobTexts(out, in, layerFor);
    for (LabelField& field : fields) field.text = ComposeLabelText(field, in.texts);

    const double th = static_cast<float>(length / 70);
    const std::string size =
        GeneralText(length) + " X " + GeneralText(width) + " X " + GeneralText(in.partThickness);
    out(0, width + th, th, "RTV: " + in.version + "  -  " + size, in.borderLayer, 1);
    out(0, width + 2.1 * th, th, in.programComment, layerFor("DESCRIPTION"), 1);
    out(0, width + 3.2 * th, th, LabelFileName(in.outputPath), layerFor("FILENAME"), 1);

    if (in.attachBarcode) {
        const std::string name(LastPathPart(in.programPath));
        const double x = length / 1.4;
        DrawBarcode(writer, "%11" + name + " P", x, 1.1 * width, length, width);
        DrawBarcode(writer, "%11" + name + " W", x, 1.02 * width, length, width);
        DrawBarcode(writer, name, x, -width / 12, length, width);
        out(length / 1.5, 1.1 * width, th, "N", "Retracer", 7);
        out(length / 1.5, 1.03 * width, th, "M", "Retracer", 7);
    }
    if (in.renameForHbd) {
        hbdCounter = NextHbdCounter(hbdCounter);
        out(0, 0, 1, "HBD" + FormatPattern(hbdCounter, "00000"), "FileName", 7);
    }
}

int LoadHbdCounter(const UserSettingsStore& store) {
    // A hand-edited or damaged value starts the count afresh rather than overflowing.
    const double value =
        NumericValue(store.Get(kRetracerApp, kDefaultsSection, "Counter4HBD", "0"));
    return value >= 0 && value <= kHbdCounterLimit ? static_cast<int>(value) : 0;
}

bool SaveHbdCounter(UserSettingsStore& store, int counter, HbdCounterText form) {
    const std::string text = std::to_string(counter);
    return store.Save(kRetracerApp, kDefaultsSection, "Counter4HBD",
                      form == HbdCounterText::kBatch ? " " + text : text);
}

std::string HbdCounterNotStored(int counter) {
    return "The HBD counter (" + std::to_string(counter) +
           ") could not be stored: the next run would give its HBD numbers again.";
}

}  // namespace retracer
