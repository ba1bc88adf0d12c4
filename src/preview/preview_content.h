#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "extract/entry_content.h"
#include "preview/content_kind.h"
#include "preview/frm_image.h"
#include "preview/palette.h"

namespace tarvix {

// Text beyond this is not shown; the status line says so.
inline constexpr std::size_t kTextShownBytes = std::size_t{4} << 20;

// What the viewer knows of an entry before looking at its content.
struct EntryFacts {
    std::string name;        // full internal path, Windows-1252
    std::uint32_t type = 0;  // the raw packing field, read by the archive's format
    std::uint32_t realSize = 0;
    std::uint32_t packedSize = 0;  // the stored length
    ArchiveFormat format = ArchiveFormat::Dat2;
};

// Everything the viewer shows for one entry, decided without any window: how the content is
// shown, what it was recognised as, and the status line. Only headers are decoded here;
// frames are decoded when they are shown.
struct PreviewContent {
    ContentKind kind = ContentKind::Binary;  // how it is shown; Binary is the hex view
    std::vector<std::uint8_t> bytes;         // the content, or what came before the damage
    std::optional<FrmImage> frm;             // for Frm
    Palette palette{};                       // for Frm
    QImage image;                            // for Image
    QString message;                         // shown instead of any content when not empty
    QString status;                          // the status line
};

// `archivePalette` is the archive's own COLOR.PAL, if it has a usable one.
PreviewContent PreparePreview(const EntryFacts& facts, EntryContent content,
                              const std::optional<Palette>& archivePalette);

// "stored", "zlib", "lzss" or "type <n>".
QString PackingName(const EntryFacts& facts);

}  // namespace tarvix
