// Writes a large generated program for the memory and time figures:
//   make_big_program genesis-holes FILE [LINES]  mostly holes (default 1,000,000 lines)
//   make_big_program genesis FILE [LINES]        a mix of every kind of line (the same)
//   make_big_program genesis-ev FILE [BLOCKS]    (default 1,000,000 macro blocks)
//   make_big_program tool-par genesis|genesis-ev FILE   the Tool.Par the program needs
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "big_programs.h"

namespace {

int Usage() {
    std::cerr << "usage: make_big_program genesis-holes|genesis|genesis-ev FILE [COUNT]\n"
                 "       make_big_program tool-par genesis|genesis-ev FILE\n";
    return 2;
}

bool Write(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) std::cerr << "make_big_program: cannot write " << file << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace retracer::big_programs;
    if (argc < 3) return Usage();
    const std::string kind = argv[1];
    if (kind == "tool-par") {
        if (argc != 4) return Usage();
        const std::string dialect = argv[2];
        if (dialect != "genesis" && dialect != "genesis-ev") return Usage();
        return Write(argv[3], dialect == "genesis" ? kGenesisToolPar : kGenesisEvToolPar) ? 0 : 1;
    }
    if (kind != "genesis-holes" && kind != "genesis" && kind != "genesis-ev") return Usage();
    const long long count = argc > 3 ? std::atoll(argv[3]) : 1'000'000;
    if (count <= 0) return Usage();
    const Program program = kind == "genesis-holes" ? GenesisHoleProgram(count)
                            : kind == "genesis"     ? GenesisProgram(count)
                                                    : GenesisEvProgram(count);
    if (!Write(argv[2], program.text)) return 1;
    std::cout << program.lines << " lines, " << program.text.size() << " bytes\n";
    return 0;
}
