#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace retracer {

// A temporary file without a name, for data too large to hold in memory until it can be written
// out: bytes are appended, then read back from the start. It lives in a folder the caller picks
// (beside the final file, so both share one disk) and disappears when closed, also when the
// process is killed: nothing is ever left behind.
class ScratchFile {
  public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Creates the file in `folder`. False with a message in `error` (when given) otherwise.
    bool Create(const std::filesystem::path& folder, std::string* error);
    bool IsOpen() const;

    // Appends all of `bytes`. False with a message (the disk full, most likely) otherwise.
    bool Append(std::string_view bytes, std::string* error);

    // Hands everything appended so far to `sink` in pieces of up to `pieceSize` bytes, in order.
    // False when reading fails (message in `error`) or when the sink returns false (no message).
    bool ReadBack(const std::function<bool(std::string_view)>& sink, std::string* error,
                  std::size_t pieceSize = std::size_t{1} << 20) const;

    std::uint64_t Size() const { return size_; }

    // Closes (and so removes) the file.
    void Close();

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::filesystem::path folder_;
    std::uint64_t size_ = 0;
};

}  // namespace retracer
