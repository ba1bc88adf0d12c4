#include "preview/preview_content.h"

#include <algorithm>

#include "archive/packing_kind.h"
#include "preview/hex_dump.h"
#include "preview/image_content.h"

namespace tarvix {
namespace {

using Status = EntryContent::Status;

QString Bytes(std::uint64_t count) {
    return QString::number(count) + QStringLiteral(" bytes");
}

QString Sizes(const EntryFacts& facts) {
    return QStringLiteral("%1, packed %2")
        .arg(Bytes(facts.realSize), QString::number(facts.packedSize));
}

QString Megabytes(std::size_t bytes) {
    return QStringLiteral("%1 MiB").arg(bytes >> 20);
}

QString DescribeBinary(std::size_t size) {
    if (size > kHexShownBytes)
        return QStringLiteral("binary; first %1 of %2 shown as hex")
            .arg(Megabytes(kHexShownBytes), Bytes(size));
    return QStringLiteral("binary, shown as hex");
}

QString DescribeFrm(const FrmImage& frm, bool ownPalette) {
    return QStringLiteral("FRM, %1 direction(s) x %2 frame(s), %3 fps; %4")
        .arg(frm.directions)
        .arg(frm.framesPerDirection)
        .arg(frm.framesPerSecond)
        .arg(ownPalette ? QStringLiteral("colours of the archive's COLOR.PAL")
                        : QStringLiteral("no COLOR.PAL in the archive: grey levels"));
}

// Recognises the bytes and fills in how they are shown; returns what they were taken for.
QString Recognise(const EntryFacts& facts, const std::optional<Palette>& archivePalette,
                  PreviewContent& preview) {
    const std::span<const std::uint8_t> bytes(preview.bytes);
    preview.kind = ChooseContentKind(facts.name, bytes);
    switch (preview.kind) {
        case ContentKind::Text:
            if (bytes.size() > kTextShownBytes)
                return QStringLiteral("text (Windows-1252); first %1 shown")
                    .arg(Megabytes(kTextShownBytes));
            return QStringLiteral("text (Windows-1252)");
        case ContentKind::Frm:
            preview.frm = ParseFrm(bytes);
            if (preview.frm) {
                preview.palette = archivePalette.value_or(GrayscalePalette());
                return DescribeFrm(*preview.frm, archivePalette.has_value());
            }
            preview.kind = ContentKind::Binary;
            return QStringLiteral("not a valid FRM; ") + DescribeBinary(bytes.size());
        case ContentKind::Palette:
            return QStringLiteral("palette, 256 colours");
        case ContentKind::Image:
            preview.image = ReadQtImage(bytes);
            if (!preview.image.isNull())
                return QStringLiteral("image, %1 x %2")
                    .arg(preview.image.width())
                    .arg(preview.image.height());
            preview.kind = ContentKind::Binary;
            return QStringLiteral("not a readable image; ") + DescribeBinary(bytes.size());
        case ContentKind::Binary:
            break;
    }
    return DescribeBinary(bytes.size());
}

}  // namespace

QString PackingName(const EntryFacts& facts) {
    const PackingKind kind = facts.format == ArchiveFormat::Dat2 ? PackingOfType(facts.type)
                                                                 : PackingOfAttributes(facts.type);
    return QString::fromStdString(tarvix::PackingName(kind, facts.type));
}

PreviewContent PreparePreview(const EntryFacts& facts, EntryContent content,
                              const std::optional<Palette>& archivePalette) {
    PreviewContent preview;
    const QString header = PackingName(facts) + QStringLiteral(" - ") + Sizes(facts);
    const bool usable = content.status == Status::Ok ||
                        (content.status == Status::Damaged && !content.bytes.empty());
    const QString problem =
        QString::fromStdString(DescribeContentStatus(content.status, facts.type));
    if (!usable) {
        preview.message = problem;
        preview.status = header + QStringLiteral(" - ") + problem;
        return preview;
    }
    preview.bytes = std::move(content.bytes);
    const QString recognised = Recognise(facts, archivePalette, preview);
    preview.status = header + QStringLiteral(" - ") + recognised;
    if (content.status == Status::Damaged) {
        preview.status += QStringLiteral(" - %1: showing the %2 before the damage")
                              .arg(problem, Bytes(preview.bytes.size()));
    }
    return preview;
}

}  // namespace tarvix
