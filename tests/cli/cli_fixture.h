#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "dat_writer.h"
#include "support/temp_dir.h"

namespace tarvix::test {

// `content` packed by zlib at maximum compression (78 DA), as the game's archives hold it.
std::string Zlib(const std::string& content);

// A Type 1 entry whose stored bytes are `content` packed with zlib.
datwriter::Entry Packed(std::string name, const std::string& content);

// Text of `size` bytes that does not repeat within a chunk, so it packs to several chunks.
std::string LongText(std::size_t size);

// A test's name from its case's description, as GoogleTest accepts it: letters and digits
// kept, every other run of characters one '_'.
std::string CaseName(const std::string& what);

template <typename Case>
std::string NameOfCase(const ::testing::TestParamInfo<Case>& info) {
    return CaseName(info.param.what);
}

// Each test in a fresh folder, where the archives are written and the program runs.
class CliTest : public ::testing::Test {
protected:
    std::string Archive(const std::vector<datwriter::Entry>& entries,
                        const datwriter::Layout& layout = {}, const std::string& name = "in.dat") {
        return work.write(name, datwriter::BuildDat(entries, layout)).string();
    }
    CliRun Run(const std::vector<std::string>& args) { return RunCli(args, work.path()); }

    TempDir work;
};

}  // namespace tarvix::test
