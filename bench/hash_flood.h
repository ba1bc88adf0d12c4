#pragma once

#include <cstddef>
#include <filesystem>

namespace tarvix::bench {

// Archives of one-file folders with 16-byte names, to show that no archive can stall the
// folder index. The crafted one is made against the index's former path hash, a fixed mix
// with public constants whose steps can be run backwards: every folder path has the same
// hash, so with that hash every lookup walked one probe chain and loading was quadratic. Its
// twin has the same shape with random names.
struct FloodArchives {
    std::filesystem::path crafted;
    std::filesystem::path random;
};

// Writes both archives of `folders` entries into `workDir`, or reuses earlier ones.
FloodArchives EnsureFloodArchives(std::size_t folders, const std::filesystem::path& workDir);

// Whether every folder of the crafted archive collides under the former hash: the smoke run
// checks that the flood is real.
bool AllCollideUnderFormerHash(const std::filesystem::path& crafted);

}  // namespace tarvix::bench
