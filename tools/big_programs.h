// Large generated programs of both dialects, for the benchmarks and the memory figures
// (tools/make_big_program, scripts/bench-memory.sh). The same seed gives the same text.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace retracer::big_programs {

struct Program {
    std::string text;
    long long lines = 0;
};

// A Genesis program of `lineCount` lines mixing what real programs hold: letter assignments,
// route starts followed by straight moves written with letter=expression words, arcs of every
// kind, single holes, hole rows and circles, grooves, and conditions that skip some of the lines.
// A million lines draw about 1.2 million circles and 200,000 polylines.
inline Program GenesisProgram(long long lineCount) {
    std::mt19937 random(7);
    auto n = [&](int low, int high) {
        return std::to_string(std::uniform_int_distribution<int>(low, high)(random));
    };
    Program p;
    std::string& t = p.text;
    t.reserve(static_cast<std::size_t>(lineCount) * 32);
    auto line = [&](const std::string& text) {
        t += text;
        t += '\n';
        ++p.lines;
    };
    line("G71 X2400 Y1200 Z18");
    line("(BENCHMARK PANEL)");
    line("G55 G55/");
    line("G150() A=40 B=A*2 C=H/2");
    while (p.lines < lineCount) {
        switch (p.lines % 20) {
            case 0:
                line("G88 X" + n(0, 2000) + " Y" + n(0, 1000) + " Z18 T0103 P5 S18000 F2000");
                break;
            case 1:
            case 2:
            case 3:
                line("G1 X=L/2-" + n(0, 900) + " Y=C+" + n(0, 500) + " Z=S+1 ; straight");
                break;
            case 4:
                line("G2 X" + n(100, 2000) + " Y" + n(100, 1000) + " I" + n(1, 50) + " J0");
                break;
            case 5:
                line("G3 X" + n(100, 2000) + " Y" + n(100, 1000) + " U3000");
                break;
            case 6:
                line("G112 I" + n(0, 1000) + " J" + n(0, 500) + " X" + n(1000, 2000) + " Y" +
                     n(500, 1000));
                break;
            case 7:
                line("G110 A" + n(0, 359) + " U" + n(1, 100));
                break;
            case 8:
                line("G81 X=A+" + n(0, 2000) + " Y" + n(0, 1000) + " Z12 R54=8 P5 T0105");
                break;
            case 9:
                line("G185 X" + n(0, 100) + " Y" + n(0, 1000) + " I" + n(100, 300) +
                     " J0 K32 Z12 R54=5 T0105");
                break;
            case 10:
                line("G200 X" + n(100, 2000) + " Y" + n(100, 1000) +
                     " Z10 R54=5 P5 A0 U30 R51=4 R52=0");
                break;
            case 11:
                line("G151 X=B Y" + n(0, 160) + " R50=0");
                break;
            case 12:
                line("G81 X" + n(0, 2000) + " Y" + n(0, 1000) + " Z12 R54=8 P5 T0105");
                break;
            case 13:
                line("G152");
                break;
            case 14:
                line("G85 X" + n(0, 100) + " Y" + n(0, 1000) + " Q" + n(1000, 2400) + " Z8");
                break;
            case 15:
                line("* a comment line");
                break;
            case 16:
                line("!D=D+1");
                break;
            default:
                line("G1 X" + n(0, 2400) + " Y" + n(0, 1200));
                break;
        }
    }
    return p;
}

// A Genesis program of `lineCount` lines that is mostly holes: every ten lines start two short
// route paths and drill twelve holes (single holes and rows of three), so a million lines draw
// 1.2 million circles and 200,000 polylines, a drawing of about 180 MB.
inline Program GenesisHoleProgram(long long lineCount) {
    std::mt19937 random(11);
    // Positions to a tenth of a millimetre, as CAM programs write them.
    auto n = [&](int low, int high) {
        const int tenths = std::uniform_int_distribution<int>(low * 10, high * 10)(random);
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    };
    Program p;
    std::string& t = p.text;
    t.reserve(static_cast<std::size_t>(lineCount) * 30);
    auto line = [&](const std::string& text) {
        t += text;
        t += '\n';
        ++p.lines;
    };
    line("G71 X2400 Y1200 Z18");
    line("(HOLE PANEL)");
    while (p.lines < lineCount) {
        switch (p.lines % 10) {
            case 0:
            case 5:
                line("G88 X" + n(0, 2000) + " Y" + n(0, 1000) + " Z18 T0103 P5 S18000 F2000");
                break;
            case 1:
            case 6:
                line("G1 X" + n(0, 2400) + " Y" + n(0, 1200));
                break;
            case 3:
            case 7:
            case 9: {
                const int x = std::uniform_int_distribution<int>(0, 2000)(random);
                line("G185 X" + std::to_string(x) + " Y" + n(0, 1000) + " I" +
                     std::to_string(x + 64) + " J0 K32 Z12.5 R54=5 T0105");
                break;
            }
            default:
                line("G81 X" + n(0, 2400) + " Y" + n(0, 1200) + " Z12 R54=8 P5 T0105");
                break;
        }
    }
    return p;
}

// The tools GenesisProgram and GenesisHoleProgram use, as Tool.Par lines.
inline constexpr const char* kGenesisToolPar = "5,0,0,8\r\n3,0,0,12\r\n";

// A Genesis Ev program that defines all 300 R variables (plain numbers, and expressions of the
// part size and of other R variables) and then holds `blockCount` macro blocks, each reading
// several of them: single holes, short rows of holes, tool starts followed by straight moves and
// arcs, grooves, and conditions with an else branch.
inline Program GenesisEvProgram(long long blockCount) {
    std::mt19937 random(5);
    auto r = [&](int low, int high) {
        return "r" + std::to_string(std::uniform_int_distribution<int>(low, high)(random));
    };
    Program p;
    std::string& t = p.text;
    t.reserve(static_cast<std::size_t>(blockCount) * 60);
    t += "$=Benchmark panel\n::UNm DL=2400 DH=1200 DS=18\n::SIDE=1;\n";
    t += "VAR{\n";
    for (int v = 0; v < 300; ++v) {
        t += "#" + std::to_string(v) + "=";
        if (v % 10 == 3) {
            t += "L/" + std::to_string(2 + v % 7);
        } else if (v % 10 == 7 && v > 20) {
            t += "r" + std::to_string(v - 20) + "+5";  // replaced by its value while read
        } else if (v % 10 == 9) {
            t += "R" + std::to_string(v / 3) + "*2";  // read through the R variable
        } else {
            t += std::to_string(10 + (v * 37) % 900) + "." + std::to_string(v % 10);
        }
        t += "|variable " + std::to_string(v) + "\n";
    }
    t += "}VAR\nSIDE#1{\n";
    for (long long block = 0; block < blockCount;) {
        switch (block % 10) {
            case 0:
            case 1:
            case 2:
                t += "W#81{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " #3=-" + r(0, 30) +
                     "/10 #205=21 }\n";
                ++block;
                break;
            case 3:
                t += "W#1902{ #8510=" + r(0, 99) + " #8517=" + r(0, 99) +
                     "+64 #8021=" + r(100, 299) + " #8520=32 #3=-12 #205=5 }\n";
                ++block;
                break;
            case 4:
                t += "W#89{ #1=" + r(0, 299) + " #2=" + r(0, 299) +
                     " #3=-12 #205=3 #2002=18000 #2005=2000 #40=1 }\n";
                t += "W#2201{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " }\n";
                t += "W#2101{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " #34=1 }\n";
                t += "W#2111{ #1=" + r(0, 299) + "+10 #2=" + r(0, 299) + " #8017=" + r(200, 299) +
                     "*4 }\n";
                block += 4;
                break;
            case 8:
                t += "W#1050{ #8510=" + r(0, 99) + " #8511=" + r(0, 299) + " #8517=" + r(100, 299) +
                     " #3=-8 #8516=12 }\n";
                ++block;
                break;
            default:
                t += "W#2001{ #8070=" + r(0, 299) + " #8060=0 #8073=" + r(0, 299) + " }\n";
                t += "W#81{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " }\n";
                t += "W#2005{ }\n";
                t += "W#81{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " }\n";
                t += "W#2002{ }\n";
                block += 5;
                break;
        }
    }
    t += "}SIDE\n";
    for (char c : t) p.lines += c == '\n';
    return p;
}

// The tools GenesisEvProgram uses, as Tool.Par lines.
inline constexpr const char* kGenesisEvToolPar = "5,0,0,8\r\n21,0,0,10\r\n";

}  // namespace retracer::big_programs
