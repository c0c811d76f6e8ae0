// util's data file: the texts, then the media type table that tells util which of the driver's
// media it knows and what the export file records for them (docs/data-files.md).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/ui_text_table.h"

// The print modes 0 to 3 of the wizard host's print mode index.
inline constexpr std::size_t kPrintModeCount = 4;

struct Resolution {
    int32_t horizontal = 0;
    int32_t vertical = 0;

    bool operator==(const Resolution&) const = default;
};

using ResolutionsByMode = std::array<Resolution, kPrintModeCount>;
using MwByMode = std::array<int32_t, kPrintModeCount>;

// The 60-byte media type records, in file order:
// order (int32), driver media ID (uint32), file ID (int32), four resolution pairs (int32 each),
// four "Mw" values (int32). Each lookup takes the first matching record.
class MediaTypeTable {
  public:
    static constexpr std::size_t kRecordSize = 60;

    MediaTypeTable() = default;
    explicit MediaTypeTable(RecordTable records) : records_(std::move(records)) {}

    int32_t Count() const { return records_.Count(); }

    // The order of the media whose driver media ID equals the low 16 bits of the argument;
    // -1 when none.
    int32_t OrderOf(uint32_t driverMediaId) const;
    // The remaining lookups compare all 32 bits.
    // The file ID, as the export file stores it; -1 when none.
    int32_t FileIdOf(uint32_t driverMediaId) const;
    std::optional<ResolutionsByMode> ResolutionsOf(uint32_t driverMediaId) const;
    std::optional<MwByMode> MwOf(uint32_t driverMediaId) const;

  private:
    std::optional<int32_t> Find(uint32_t driverMediaId, uint32_t mask) const;

    RecordTable records_;
};

// The texts and the media type table of util's data file. A file that cannot be read leaves both
// empty: every text is "" and every media lookup fails.
class UtilDataFile : public UiTextTable {
  public:
    void Load(const std::string& path) override;

    const MediaTypeTable& MediaTypes() const { return mediaTypes_; }

  private:
    MediaTypeTable mediaTypes_;
};
