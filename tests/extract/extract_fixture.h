#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "archive/cp1252.h"
#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
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
        return TextOf(index, ExtractEntry(archive, table, index,
                                          ExtractTarget{dest(), std::move(preserved)}));
    }

    // What a user reads of entry `index`'s outcome.
    std::string TextOf(EntryIndex index, const EntryOutcome& outcome) const {
        return OutcomeText(outcome, Cp1252ToUtf8(GetEntryInfo(table, index).name));
    }

    TempDir work;
    std::filesystem::path archivePath;
    DatArchive archive;
    EntryTable table;
    FolderIndex folders;
};

}  // namespace tarvix::test
