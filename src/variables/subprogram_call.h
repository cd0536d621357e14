#pragma once

#include <array>
#include <string>

namespace retracer {

// One call of a subprogram, recorded while its caller is scanned. Call number 0 stands for the
// main program; recorded calls are numbered from 1 in the order they were met.
// Bounds on subprogram calls, so that a subprogram calling itself (directly or through others)
// cannot make a job endless: at most this many calls are read in one job, nested at most this
// deep below the main program.
inline constexpr int kMaxSubprogramCalls = 1000;
inline constexpr int kMaxSubprogramDepth = 32;
// Calls also stop once the drawing holds this many entities per byte of the program files read
// (each file counted once): a few short files calling each other with large hole patterns would
// otherwise multiply into tens of millions of entities. Real programs draw a few entities per
// byte; a main program's own hole patterns are bounded per line.
inline constexpr int kMaxEntitiesPerProgramByte = 100;

struct SubprogramCall {
    static constexpr int kParameterCount = 300;

    std::string fileName;  // as written in the program, no folder
    // Placement of the subprogram's coordinates; once its scan has begun they include the
    // offsets of every calling call.
    double offsetX = 0;
    double offsetY = 0;
    double offsetZ = 0;
    // Value texts that become the subprogram's R variables 0..299.
    std::array<std::string, kParameterCount> parameters{};
    int parentCall = 0;  // the call during whose scan this one was met; 0 = the main program
};

}  // namespace retracer
