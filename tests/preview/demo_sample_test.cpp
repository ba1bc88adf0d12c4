// samples/demo.dat, as the viewer shows it: every frame file in it is a picture in the
// archive's own palette, never "not a valid FRM".

#include <gtest/gtest.h>

#include <QSet>
#include <optional>

#include "archive/dat_archive.h"
#include "archive/dat_entry.h"
#include "archive/entry_table.h"
#include "extract/entry_content.h"
#include "preview/frm_render.h"
#include "preview/preview_content.h"

namespace tarvix {
namespace {

struct SampleFrmCase {
    const char* name;
    int directions;
    int frames;  // per direction
    int width;   // of the first frame
    int height;
    int colours;  // at least, in the first frame
};

class DemoSampleTest : public ::testing::TestWithParam<SampleFrmCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(archive_.load(TARVIX_DEMO_DAT).ok);
        FillEntryTable(archive_, table_);
    }

    std::optional<EntryIndex> find(std::string_view name) const {
        for (EntryIndex i = 0; i < archive_.entryCount(); ++i) {
            if (EntryName(table_[i]) == name) return i;
        }
        return std::nullopt;
    }

    std::optional<Palette> palette() const {
        const auto index = find("COLOR.PAL");
        if (!index) return std::nullopt;
        return ParsePalette(LoadEntryContent(archive_, table_, *index).bytes);
    }

    DatArchive archive_;
    EntryTable table_;
};

TEST_P(DemoSampleTest, FrameFileIsAPictureInTheArchivesPalette) {
    const SampleFrmCase& c = GetParam();
    const auto index = find(c.name);
    ASSERT_TRUE(index) << c.name << " is missing from the sample";
    const EntryInfo info = GetEntryInfo(table_, *index);
    EntryContent content = LoadEntryContent(archive_, table_, *index);
    ASSERT_EQ(content.status, EntryContent::Status::Ok);
    const std::vector<std::uint8_t> bytes = content.bytes;
    const auto archivePalette = palette();
    ASSERT_TRUE(archivePalette);

    const PreviewContent preview = PreparePreview(
        {info.name, info.type, info.realSize, info.packedSize}, std::move(content), archivePalette);
    EXPECT_EQ(preview.kind, ContentKind::Frm);
    EXPECT_TRUE(preview.message.isEmpty()) << preview.message.toStdString();
    ASSERT_TRUE(preview.frm);
    EXPECT_EQ(preview.frm->directions, c.directions);
    EXPECT_EQ(preview.frm->framesPerDirection, c.frames);
    const FrmFrame& first = preview.frm->frame(0, 0);
    EXPECT_EQ(first.width, c.width);
    EXPECT_EQ(first.height, c.height);

    const QImage image = RenderFrmFrame(bytes, first, *archivePalette);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    EXPECT_GE(colours.size(), c.colours) << "a blank picture";
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DemoSampleTest,
    ::testing::Values(SampleFrmCase{"ART\\INTRFACE\\IFACE.FRM", 1, 1, 200, 50, 8},
                      SampleFrmCase{"ART\\INTRFACE\\BARTER.FRM", 1, 1, 160, 100, 6},
                      SampleFrmCase{"ART\\MISC\\BEACON.FRM", 6, 8, 24, 24, 3}),
    [](const ::testing::TestParamInfo<SampleFrmCase>& info) {
        std::string name = info.param.name;
        return name.substr(name.rfind('\\') + 1, name.find('.') - name.rfind('\\') - 1);
    });

}  // namespace
}  // namespace tarvix
