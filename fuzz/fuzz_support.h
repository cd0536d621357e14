// What the harnesses share: their scratch folder, and how a broken property stops the run.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

namespace retracer::fuzz {

// The input as text; the readers take bytes of any kind.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A broken property: libFuzzer keeps the input as a crash.
[[noreturn]] inline void Fail(const std::string& message) {
    std::fprintf(stderr, "\nProperty broken: %s\n", message.c_str());
    std::abort();
}

inline void Check(bool holds, const std::string& message) {
    if (!holds) Fail(message);
}

// A folder of this process's own, in memory where the system offers it (/dev/shm), removed when
// the process ends normally. Harnesses run side by side, so the process id names it.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
        RemoveLeftOvers(base);
        path_ = base / (std::string(kPrefix) + std::to_string(::getpid()));
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_, ec);
        Check(!ec, "cannot make the scratch folder " + path_.string());
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    static constexpr std::string_view kPrefix = "retracer-fuzz-";

    // Folders of harnesses that crashed: their process is gone.
    static void RemoveLeftOvers(const std::filesystem::path& base) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(kPrefix, 0) != 0) continue;
            const std::string pid = name.substr(kPrefix.size());
            if (!std::filesystem::exists("/proc/" + pid, ec)) {
                std::filesystem::remove_all(entry.path(), ec);
            }
        }
    }

    std::filesystem::path path_;
};

// libFuzzer calls the harness as a plain function, so a harness keeps what lives across inputs
// (its scratch folder, its session) in one object made on the first call.
template <typename T>
T& PerProcess() {
    static T instance;
    return instance;
}

inline void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out), "cannot write the scratch file " + file.string());
}

}  // namespace retracer::fuzz
