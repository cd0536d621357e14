#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace retracer {

// Replaces `target` with `content` so that no reader ever sees a half-written file: the bytes go
// to a new file beside the target (same folder, so the final rename stays on one file system),
// are flushed to disk and then renamed over the target. On any failure the temporary file is
// removed, an existing target is left exactly as it was, and false is returned with a message
// naming the file and the reason in `error` (when given). An existing target's permission bits
// are carried over to the new file.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         std::string* error);

// The same for content too large to hold in memory at once: `produce` is called once with a sink
// that appends each piece to the new file as it comes. The sink returns false once writing has
// failed; `produce` returns false to abandon the new file (the target is then left alone).
using ContentSink = std::function<bool(std::string_view piece)>;
bool WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<bool(const ContentSink&)>& produce,
                         std::string* error);

// Reads the whole file as raw bytes into `bytes`. On failure `bytes` is left empty and false is
// returned with a message in `error` (when given).
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error);

}  // namespace retracer
