// Shared harness of the whole-pipeline benchmarks: program text on disk to a written DXF file,
// through the same entry point the Process button and `retracer-cli translate` use.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "job/job_driver.h"
#include "job/session.h"
#include "settings/user_store.h"

namespace retracer::bench {

// Peak resident memory, in MB, of `retracer-cli translate` run on `program` (built with the
// benchmarks): what a user's process needs for the job, without this process's own memory. The
// tool runs under /usr/bin/time: a child forked straight from this large process would count
// this process's pages too (the kernel carries a forked image's peak across exec).
inline double CommandLinePeakMegabytes(const std::filesystem::path& appFolder,
                                       const std::filesystem::path& dest,
                                       const std::filesystem::path& program) {
    const std::filesystem::path report = dest / "peak.txt";
    const pid_t child = fork();
    if (child == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) dup2(devNull, STDOUT_FILENO);
        execl("/usr/bin/time", "time", "-f", "%M", "-o", report.c_str(), RETRACER_CLI_PATH,
              "translate", "--app-folder", appFolder.c_str(), "--dest", dest.c_str(),
              program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    std::ifstream in(report);
    double kilobytes = -1;
    in >> kilobytes;
    std::filesystem::remove(report);
    return kilobytes < 0 ? -1 : kilobytes / 1024.0;
}

// A scratch workspace: application folder (Tool.Par with the tools the programs use), the
// program file and the destination folder. Removed again when the benchmark ends.
class PipelineWorkspace {
  public:
    // The program text is written out and released: only the job's own memory should count.
    PipelineWorkspace(std::string_view programName, std::string text, std::string_view toolPar) {
        root_ =
            std::filesystem::temp_directory_path() / ("retracer-bench-" + std::string(programName));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "app");
        std::filesystem::create_directories(root_ / "out");
        std::ofstream(root_ / "app" / "Tool.Par", std::ios::binary) << toolPar;
        program_ = root_ / std::string(programName);
        std::ofstream(program_, std::ios::binary) << text;
        std::string().swap(text);
        session_ =
            std::make_unique<Session>(ResolveAppPaths(root_ / "app", nullptr), prompt_, store_);
        session_->LoadSettings();
        session_->destFolder = root_ / "out";
    }
    ~PipelineWorkspace() {
        session_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    PipelineWorkspace(const PipelineWorkspace&) = delete;
    PipelineWorkspace& operator=(const PipelineWorkspace&) = delete;

    double CommandLinePeak() const {
        return CommandLinePeakMegabytes(root_ / "app", root_ / "out", program_);
    }

    ProgramJobResult Translate() {
        ProgramJob request;
        request.program = program_;
        return TranslateProgramFile(*session_, request);
    }

  private:
    std::filesystem::path root_;
    std::filesystem::path program_;
    RecordingPrompt prompt_;
    MemoryUserSettingsStore store_;
    std::unique_ptr<Session> session_;
};

// Translates the program once per iteration and reports lines per second, entities, the size of
// the written file and the peak memory of the command-line tool translating it.
inline void RunPipeline(benchmark::State& s, std::string_view programName, std::string text,
                        std::int64_t lines, std::string_view toolPar) {
    PipelineWorkspace workspace(programName, std::move(text), toolPar);
    const double peak = workspace.CommandLinePeak();
    std::size_t entities = 0;
    std::size_t diagnostics = 0;
    std::uintmax_t bytes = 0;
    bool written = true;
    for (auto _ : s) {
        const ProgramJobResult result = workspace.Translate();
        written = written && result.recognized && result.job.written;
        entities = result.job.entityCount;
        diagnostics = result.job.diagnostics.size();
        std::error_code ec;
        bytes = std::filesystem::file_size(result.job.output, ec);
        benchmark::DoNotOptimize(entities);
    }
    if (!written) s.SkipWithError("the program was not translated into a written drawing");
    s.SetItemsProcessed(static_cast<std::int64_t>(s.iterations()) * lines);
    s.counters["lines"] = static_cast<double>(lines);
    s.counters["entities"] = static_cast<double>(entities);
    s.counters["diagnostics"] = static_cast<double>(diagnostics);
    s.counters["dxf_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    s.counters["peak_MB"] = peak;
}

}  // namespace retracer::bench
