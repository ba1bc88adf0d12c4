#include "frm_writer.h"

namespace frmwriter {
namespace {

void PutU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v & 0xFF));
}
void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, static_cast<std::uint16_t>(v >> 16));
    PutU16(out, static_cast<std::uint16_t>(v & 0xFFFF));
}

}  // namespace

std::string BuildFrm(const Frm& frm) {
    std::string area;
    std::array<std::uint32_t, 6> starts{};
    for (std::size_t d = 0; d < frm.directions.size() && d < starts.size(); ++d) {
        area.append(frm.gapBeforeEachDirection, '\0');
        starts[d] = static_cast<std::uint32_t>(area.size());
        for (const Frame& f : frm.directions[d]) {
            PutU16(area, f.width);
            PutU16(area, f.height);
            PutU32(area, f.pixelCount.value_or(static_cast<std::uint32_t>(f.pixels.size())));
            PutU16(area, static_cast<std::uint16_t>(f.offsetX));
            PutU16(area, static_cast<std::uint16_t>(f.offsetY));
            area += f.pixels;
        }
    }
    if (frm.directions.size() == 1) starts.fill(starts[0]);
    std::string out;
    PutU32(out, frm.version);
    PutU16(out, frm.framesPerSecond);
    PutU16(out, frm.actionFrame);
    const auto frames = frm.directions.empty() ? 0 : frm.directions[0].size();
    PutU16(out, frm.framesPerDirection.value_or(static_cast<std::uint16_t>(frames)));
    for (auto v : frm.shiftX) PutU16(out, static_cast<std::uint16_t>(v));
    for (auto v : frm.shiftY) PutU16(out, static_cast<std::uint16_t>(v));
    for (auto v : frm.starts.value_or(starts)) PutU32(out, v);
    PutU32(out, frm.areaSize.value_or(static_cast<std::uint32_t>(area.size())));
    return out + area;
}

}  // namespace frmwriter
