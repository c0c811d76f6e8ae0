#include "util/settings/media_type_table.h"

namespace {

constexpr std::size_t kOrderOffset = 0;
constexpr std::size_t kMediaIdOffset = 4;
constexpr std::size_t kFileIdOffset = 8;
constexpr std::size_t kResolutionOffset = 12;
constexpr std::size_t kMwOffset = 44;

constexpr uint32_t kLow16Bits = 0xFFFF;
constexpr uint32_t kAllBits = 0xFFFFFFFF;

}  // namespace

std::optional<int32_t> MediaTypeTable::Find(uint32_t driverMediaId, uint32_t mask) const {
    const uint32_t wanted = driverMediaId & mask;
    for (int32_t i = 0; i < records_.Count(); ++i) {
        if (records_.UInt32At(i, kMediaIdOffset) == wanted) {
            return i;
        }
    }
    return std::nullopt;
}

int32_t MediaTypeTable::OrderOf(uint32_t driverMediaId) const {
    const auto index = Find(driverMediaId, kLow16Bits);
    return index ? records_.Int32At(*index, kOrderOffset) : -1;
}

int32_t MediaTypeTable::FileIdOf(uint32_t driverMediaId) const {
    const auto index = Find(driverMediaId, kAllBits);
    return index ? records_.Int32At(*index, kFileIdOffset) : -1;
}

std::optional<ResolutionsByMode> MediaTypeTable::ResolutionsOf(uint32_t driverMediaId) const {
    const auto index = Find(driverMediaId, kAllBits);
    if (!index) {
        return std::nullopt;
    }
    ResolutionsByMode resolutions;
    for (std::size_t mode = 0; mode < kPrintModeCount; ++mode) {
        const std::size_t pair = kResolutionOffset + mode * 8;
        resolutions[mode] = {records_.Int32At(*index, pair), records_.Int32At(*index, pair + 4)};
    }
    return resolutions;
}

std::optional<MwByMode> MediaTypeTable::MwOf(uint32_t driverMediaId) const {
    const auto index = Find(driverMediaId, kAllBits);
    if (!index) {
        return std::nullopt;
    }
    MwByMode mw;
    for (std::size_t mode = 0; mode < kPrintModeCount; ++mode) {
        mw[mode] = records_.Int32At(*index, kMwOffset + mode * 4);
    }
    return mw;
}

void UtilDataFile::Load(const std::string& path) {
    std::ifstream in = OpenDataFile(path);
    ReadTextTable(in);
    mediaTypes_ = MediaTypeTable(ReadTable(in, MediaTypeTable::kRecordSize));
    NoteLoaded(in, mediaTypes_.Count() > 0);
}
