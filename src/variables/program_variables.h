#pragma once

#include <array>
#include <string>

namespace retracer {

// The variables a program's expressions can read.
struct ProgramVariables {
    // One-letter variables by the letter's place in the alphabet (A = 1 … T = 20). L, H and S
    // hold the part length, width and thickness; V0 to V7 live in slots 1 to 8.
    static constexpr int kLetterCount = 21;
    static constexpr int kLength = 12;
    static constexpr int kWidth = 8;
    static constexpr int kThickness = 19;
    std::array<float, kLetterCount> letters{};

    // Expression texts of R0 to R299, kept as written; entry 300 becomes "1" once any is set.
    static constexpr int kRCount = 301;
    static constexpr int kAnyRSet = 300;
    std::array<std::string, kRCount> r{};

    float Letter(int slot) const {
        return slot >= 0 && slot < kLetterCount ? letters[static_cast<std::size_t>(slot)] : 0.0f;
    }
};

}  // namespace retracer
