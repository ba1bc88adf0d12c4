#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "archive/dat_archive.h"
#include "archive/entry_table.h"
#include "archive/folder_index.h"
#include "dat_writer.h"
#include "extract/entry_extractor.h"
#include "support/temp_dir.h"

namespace tarvix::test {

// An archive loaded from entries, and an empty destination folder to extract into.
class ExtractFixture : public ::testing::Test {
protected:
    void Load(const std::vector<datwriter::Entry>& entries, const datwriter::Layout& layout = {}) {
        archivePath = work.write("in.dat", datwriter::BuildDat(entries, layout));
        const auto result = archive.load(archivePath);
        ASSERT_TRUE(result.ok) << result.message;
        folders.BuildFolderTree(archive, table);
        std::filesystem::create_directory(dest());
    }

    std::filesystem::path dest() const { return work / "out"; }

    std::string Extract(EntryIndex index, std::optional<std::string> preserved = std::nullopt) {
        return ExtractEntry(archive, table, index, ExtractTarget{dest(), std::move(preserved)});
    }

    TempDir work;
    std::filesystem::path archivePath;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
};

}  // namespace tarvix::test
