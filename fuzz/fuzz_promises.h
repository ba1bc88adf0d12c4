#pragma once

// What every fuzz target needs around the code it drives: a failed promise ends the run with a
// line that says which, and files are made in one scratch folder per process.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace fuzzing {

[[noreturn]] inline void Fail(const char* fuzzer, const char* what) {
    std::fprintf(stderr, "%s: broken promise: %s\n", fuzzer, what);
    std::fflush(stderr);
    std::abort();
}

// The folder "tarvix-<kind>-fuzz-<random>" below the temporary folder, made on the first call
// and removed at exit.
inline std::filesystem::path ScratchDir(const char* kind) {
    struct Scratch {
        explicit Scratch(const char* kind) {
            std::random_device rd;
            dir = std::filesystem::temp_directory_path() /
                  ("tarvix-" + std::string(kind) + "-fuzz-" + std::to_string(rd()));
            std::filesystem::create_directories(dir);
        }
        ~Scratch() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
        std::filesystem::path dir;
    };
    static const Scratch scratch(kind);
    return scratch.dir;
}

}  // namespace fuzzing
