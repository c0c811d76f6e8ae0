// ARSET32.so: the settings library of the simulated printer driver. A handle stands for one
// print queue; its settings live in the machine folder, one profile file per queue
// (<driver directory>/ARSET32/<queue>.ini), read when the handle is opened and written at every
// change. The queue's model comes from the spooler (its driver name), its media from the
// driver's catalogue, so that the lists agree with the driver's media configuration files.
#include "sim/arset32/arset32.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/gdi/devmode.h"
#include "platform/profile/profile.h"
#include "platform/registry/driver_registration.h"
#include "platform/spooler/spooler.h"
#include "sim/driver/media_catalog.h"

namespace {

using namespace arset32;
using simdriver::Media;
using simdriver::Model;

// Item blocks as the driver defines them.
struct PaperRange {
    int16_t largest;
    int16_t smallest;
    int16_t reserved;
    int16_t source;
    void* workArea;
};
struct PaperSetting {
    int16_t width;
    int16_t source;
    int16_t kind;
    int16_t reserved;
};
struct MediaList {
    int16_t count;
    int16_t entrySize;
    void* buffer;
};
struct ModeSelection {
    uint16_t form;
    uint16_t level;
    uint16_t mediaId;
    uint16_t kind;
};
struct Flags {
    int32_t form;
    int32_t size;
    int32_t flags;
};
struct NameQuery {
    int32_t form;
    int32_t size;
    int32_t capacity;
    int32_t kind;
    int32_t mediaId;
    char* text;
};
struct QualitySelection {
    int32_t form;
    int32_t size;
    int32_t kind;
    int32_t mediaId;
    int32_t code;
};
struct InkSetBlock {
    int32_t values[11];
};
struct ValuesBlock {
    int32_t form;
    int32_t size;
    uint8_t data[12];
};

// The driver's part of the device mode, after the public one.
struct DriverPart {
    char signature[8];
    uint16_t mediaId;
    uint16_t modeLevel;
    uint16_t modeCode;
    uint16_t hasMediaValues;
    int32_t outputMode;
    int32_t outputFlags;
    uint8_t mediaValues[12];
};
constexpr char kSignature[8] = "ARSET32";
constexpr uint16_t kDriverVersion = 0x0100;
constexpr std::size_t kDevModeSize = sizeof(gdi::DevMode) + sizeof(DriverPart);
// No device mode this driver accepts is larger.
constexpr std::size_t kMaxDevModeSize = 64 * 1024;

constexpr int16_t kSmallestWidth = 2540;  // 10 inches
constexpr int16_t kRollPaper = 1;
constexpr int16_t kWidthKind = 256;
constexpr int32_t kDefaultPaperLength = 2970;
constexpr int32_t kDefaultOutputMode = 256;
constexpr const char* kRollPaperName = "Roll Paper";
constexpr const char* kSection = "Settings";

// One queue's settings.
struct Settings {
    int inkSet = 1;
    int32_t outputMode = kDefaultOutputMode;
    int32_t outputFlags = 0;
    int32_t paperWidth = 0;
    int32_t paperLength = kDefaultPaperLength;
    uint16_t mediaId = 0;
    uint16_t modeLevel = 1;
    uint16_t modeCode = 0;
    std::optional<std::array<uint8_t, 12>> mediaValues;
};

struct Session {
    std::string queue;
    const Model* model = nullptr;
    Settings settings;
};

struct DeviceContext {
    std::vector<uint8_t> devMode;
};

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
std::map<int32_t, Session>& Sessions() {
    static std::map<int32_t, Session> sessions;
    return sessions;
}
std::set<DeviceContext*>& DeviceContexts() {
    static std::set<DeviceContext*> contexts;
    return contexts;
}
int32_t nextHandle = 1;

// Queue names become file names.
bool IsQueueName(const char* name) {
    const std::size_t length = name ? strnlen(name, 256) : 0;
    return length > 0 && length < 256 && name[0] != '.' && std::strchr(name, '/') == nullptr;
}

std::string SettingsPath(const std::string& queue) {
    return machine::DriverDirectory() + "/ARSET32/" + queue + ".ini";
}

std::optional<std::string> DriverNameOf(const std::string& queue) {
    std::vector<spooler::PrinterInfo2> printers;
    if (!spooler::Current().EnumPrinters(spooler::kEnumLocal | spooler::kEnumConnections,
                                         printers)) {
        return std::nullopt;
    }
    for (const auto& printer : printers) {
        if (printer.printerName == queue) {
            return printer.driverName;
        }
    }
    return std::nullopt;
}

bool Lists(const Model& model, const Settings& settings, uint16_t mediaId) {
    for (const Media* media : simdriver::MediaOf(model, settings.inkSet)) {
        if (media->id == mediaId) {
            return true;
        }
    }
    return false;
}

// The media, when the queue's list has it and it has records for the mode.
const Media* MediaWithMode(const Model& model, const Settings& settings, uint16_t mediaId,
                           uint8_t modeFlag) {
    const Media* media = simdriver::FindMedia(mediaId);
    return media && Lists(model, settings, mediaId) && (media->modes & modeFlag) != 0 ? media
                                                                                      : nullptr;
}

uint8_t ModeFlagOf(const Settings& settings) {
    if (settings.modeCode == 6) {
        return simdriver::kModeQuality;
    }
    if (settings.modeCode == 15) {
        return simdriver::kModeBest;
    }
    return settings.modeLevel == 2 ? simdriver::kModeFine : simdriver::kModeStandard;
}

std::string HexOf(const std::array<uint8_t, 12>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

std::optional<std::array<uint8_t, 12>> BytesOf(const std::string& hex) {
    std::array<uint8_t, 12> bytes{};
    if (hex.size() != 2 * bytes.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char* first = hex.data() + 2 * i;
        auto [end, error] = std::from_chars(first, first + 2, bytes[i], 16);
        if (error != std::errc() || end != first + 2) {
            return std::nullopt;
        }
    }
    return bytes;
}

// Reads the queue's settings; anything missing or out of range takes the model's default.
Settings LoadSettings(const std::string& queue, const Model& model) {
    profile::ProfileFile file;
    file.Load(SettingsPath(queue));
    Settings settings;
    const int32_t inkSet = file.IntValue(kSection, "InkSet", 1);
    const std::span<const int> inkSets = simdriver::InkSetsOf(model);
    settings.inkSet =
        std::find(inkSets.begin(), inkSets.end(), inkSet) != inkSets.end() ? inkSet : 1;
    settings.outputMode = file.IntValue(kSection, "OutputMode", kDefaultOutputMode);
    settings.outputFlags = file.IntValue(kSection, "OutputFlags", 0);
    settings.paperWidth = file.IntValue(kSection, "PaperWidth", model.largestWidth);
    if (settings.paperWidth < kSmallestWidth || settings.paperWidth > model.largestWidth) {
        settings.paperWidth = model.largestWidth;
    }
    settings.paperLength = file.IntValue(kSection, "PaperLength", kDefaultPaperLength);
    if (settings.paperLength <= 0) {
        settings.paperLength = kDefaultPaperLength;
    }
    const int32_t mediaId = file.IntValue(kSection, "MediaId", -1);
    const int32_t level = file.IntValue(kSection, "ModeLevel", 1);
    const int32_t code = file.IntValue(kSection, "ModeCode", 0);
    settings.mediaId = simdriver::MediaOf(model, settings.inkSet).front()->id;
    if (mediaId >= 0 && mediaId <= 0xFFFF) {
        Settings wanted = settings;
        wanted.mediaId = static_cast<uint16_t>(mediaId);
        wanted.modeLevel = level == 2 ? 2 : (code == 6 || code == 15 ? 0 : 1);
        wanted.modeCode = code == 6 || code == 15 ? static_cast<uint16_t>(code) : 0;
        if (MediaWithMode(model, wanted, wanted.mediaId, ModeFlagOf(wanted))) {
            settings = wanted;
        }
    }
    if (auto hex = file.Value(kSection, "MediaValues")) {
        settings.mediaValues = BytesOf(*hex);
    }
    return settings;
}

bool SaveSettings(const Session& session) {
    const std::string path = SettingsPath(session.queue);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    profile::ProfileFile file;
    if (!file.Load(path)) {
        return false;
    }
    const Settings& s = session.settings;
    bool stored = file.Set(kSection, "InkSet", std::to_string(s.inkSet)) &&
                  file.Set(kSection, "OutputMode", std::to_string(s.outputMode)) &&
                  file.Set(kSection, "OutputFlags", std::to_string(s.outputFlags)) &&
                  file.Set(kSection, "PaperWidth", std::to_string(s.paperWidth)) &&
                  file.Set(kSection, "PaperLength", std::to_string(s.paperLength)) &&
                  file.Set(kSection, "MediaId", std::to_string(s.mediaId)) &&
                  file.Set(kSection, "ModeLevel", std::to_string(s.modeLevel)) &&
                  file.Set(kSection, "ModeCode", std::to_string(s.modeCode));
    if (s.mediaValues) {
        stored = stored && file.Set(kSection, "MediaValues", HexOf(*s.mediaValues));
    }
    return stored && file.Save(path);
}

Session* Find(int32_t handle) {
    auto found = Sessions().find(handle);
    return found == Sessions().end() ? nullptr : &found->second;
}

// Applies a change to the session's settings and keeps it in the queue's file.
int32_t Commit(Session& session, const Settings& changed) {
    session.settings = changed;
    return SaveSettings(session) ? kOk : kNotSaved;
}

std::vector<uint8_t> CurrentDevMode(const Session& session) {
    const Settings& s = session.settings;
    gdi::DevMode mode;
    std::snprintf(mode.deviceName, sizeof mode.deviceName, "%s", session.queue.c_str());
    mode.driverVersion = kDriverVersion;
    mode.driverExtra = sizeof(DriverPart);
    mode.fields = gdi::kDevModeOrientation | gdi::kDevModePaperLength | gdi::kDevModePaperWidth |
                  gdi::kDevModeCopies | gdi::kDevModePrintQuality | gdi::kDevModeYResolution;
    mode.paperWidth = s.paperWidth;
    mode.paperLength = s.paperLength;
    simdriver::Resolution resolution{360, 360};
    if (const Media* media = simdriver::FindMedia(s.mediaId)) {
        resolution = media->resolutions[simdriver::ModeIndexOfFlag(ModeFlagOf(s))];
    }
    mode.printQuality = resolution.horizontal;
    mode.yResolution = resolution.vertical;

    DriverPart part{};
    std::memcpy(part.signature, kSignature, sizeof kSignature);
    part.mediaId = s.mediaId;
    part.modeLevel = s.modeLevel;
    part.modeCode = s.modeCode;
    part.hasMediaValues = s.mediaValues ? 1 : 0;
    part.outputMode = s.outputMode;
    part.outputFlags = s.outputFlags;
    if (s.mediaValues) {
        std::memcpy(part.mediaValues, s.mediaValues->data(), sizeof part.mediaValues);
    }
    std::vector<uint8_t> bytes(kDevModeSize);
    std::memcpy(bytes.data(), &mode, sizeof mode);
    std::memcpy(bytes.data() + sizeof mode, &part, sizeof part);
    return bytes;
}

// A caller's device mode, when it is one.
std::optional<std::vector<uint8_t>> CopyDevMode(const void* devMode) {
    gdi::DevMode head;
    std::memcpy(&head, devMode, sizeof head);
    if (head.specVersion != gdi::kDevModeSpecVersion || head.size < sizeof head ||
        head.TotalSize() > kMaxDevModeSize || !gdi::ReadDevMode(devMode, head.TotalSize(), head)) {
        return std::nullopt;
    }
    const auto* bytes = static_cast<const uint8_t*>(devMode);
    return std::vector<uint8_t>(bytes, bytes + head.TotalSize());
}

int32_t GetPaperRange(const Session& session, PaperRange& range) {
    range.largest = session.model->largestWidth;
    range.smallest = kSmallestWidth;
    range.reserved = 0;
    range.source = kRollPaper;
    if (range.workArea) {
        std::memcpy(range.workArea, kRollPaperName, std::strlen(kRollPaperName) + 1);
    }
    return kOk;
}

int32_t GetMediaList(const Session& session, MediaList& list) {
    const std::vector<const Media*> media =
        simdriver::MediaOf(*session.model, session.settings.inkSet);
    const auto count = static_cast<int16_t>(media.size());
    if (list.buffer == nullptr) {
        list.count = count;
        list.entrySize = sizeof(uint16_t);
        return kOk;
    }
    if (list.count < count || list.entrySize != static_cast<int16_t>(sizeof(uint16_t))) {
        return kBufferTooSmall;
    }
    auto* ids = static_cast<uint8_t*>(list.buffer);
    for (std::size_t i = 0; i < media.size(); ++i) {
        std::memcpy(ids + i * sizeof(uint16_t), &media[i]->id, sizeof(uint16_t));
    }
    list.count = count;
    return kOk;
}

// Item 217: the first family names its ink set by the seventh value (1 or 11), the second by
// the seventh value's code (0xA01, 0xA0B, 0xB0B) and ink set 4 by a 1 in the fourth.
void AnswerInkSet(const Session& session, InkSetBlock& block) {
    const int inkSet = session.settings.inkSet;
    if (session.model->family == simdriver::Family::First) {
        block.values[6] = inkSet == 2 ? 11 : 1;
        return;
    }
    static constexpr int32_t kSecondFamilyCodes[] = {0xA01, 0xA0B, 0xB0B, 0xA01};
    block.values[3] = inkSet == 4 ? 1 : 0;
    block.values[6] = kSecondFamilyCodes[inkSet - 1];
}

int32_t GetMediaName(NameQuery& query) {
    if (query.form != 1 || query.size != 24 || query.kind != 3 || query.capacity <= 0 ||
        query.text == nullptr) {
        return kBadBlock;
    }
    if (query.mediaId < 0 || query.mediaId > 0xFFFF) {
        return kOutOfRange;
    }
    const Media* media = simdriver::FindMedia(static_cast<uint16_t>(query.mediaId));
    if (!media) {
        return kOutOfRange;
    }
    const std::size_t length =
        std::min(media->name.size(), static_cast<std::size_t>(query.capacity) - 1);
    std::memcpy(query.text, media->name.data(), length);
    query.text[length] = '\0';
    return kOk;
}

int32_t SetPaperWidth(Session& session, const PaperSetting& setting) {
    if (setting.kind != kWidthKind || setting.reserved != 0 || setting.source != kRollPaper) {
        return kBadBlock;
    }
    if (setting.width < kSmallestWidth || setting.width > session.model->largestWidth) {
        return kOutOfRange;
    }
    Settings changed = session.settings;
    changed.paperWidth = setting.width;
    return Commit(session, changed);
}

int32_t SetOutputMode(Session& session, intptr_t value) {
    static constexpr intptr_t kAccepted[] = {1, 4, 7, 256, 258};
    if (std::find(std::begin(kAccepted), std::end(kAccepted), value) == std::end(kAccepted)) {
        return kOutOfRange;
    }
    Settings changed = session.settings;
    changed.outputMode = static_cast<int32_t>(value);
    return Commit(session, changed);
}

int32_t SelectMedia(Session& session, uint16_t mediaId, uint16_t level, uint16_t code) {
    Settings changed = session.settings;
    changed.mediaId = mediaId;
    changed.modeLevel = level;
    changed.modeCode = code;
    if (!MediaWithMode(*session.model, changed, mediaId, ModeFlagOf(changed))) {
        return kOutOfRange;
    }
    return Commit(session, changed);
}

int32_t SetMediaMode(Session& session, const ModeSelection& selection) {
    if (selection.form != 1 || selection.kind != 2) {
        return kBadBlock;
    }
    if (selection.level != 1 && selection.level != 2) {
        return kOutOfRange;
    }
    return SelectMedia(session, selection.mediaId, selection.level, 0);
}

int32_t SetQualityMode(Session& session, const QualitySelection& selection) {
    if (selection.form != 1 || selection.size != 20 || selection.kind != 2) {
        return kBadBlock;
    }
    if ((selection.code != 6 && selection.code != 15) || selection.mediaId < 0 ||
        selection.mediaId > 0xFFFF) {
        return kOutOfRange;
    }
    return SelectMedia(session, static_cast<uint16_t>(selection.mediaId), 0,
                       static_cast<uint16_t>(selection.code));
}

int32_t SetFlags(Session& session, const Flags& flags) {
    if (flags.form != 1 || flags.size != 12) {
        return kBadBlock;
    }
    Settings changed = session.settings;
    changed.outputFlags = flags.flags;
    return Commit(session, changed);
}

int32_t SetMediaValues(Session& session, const ValuesBlock& values) {
    if (values.form != 1 || values.size != 20) {
        return kBadBlock;
    }
    Settings changed = session.settings;
    changed.mediaValues.emplace();
    std::memcpy(changed.mediaValues->data(), values.data, sizeof values.data);
    return Commit(session, changed);
}

}  // namespace

ARSET32_EXPORT int32_t ARDM_Open(const char* printerName, const char* portName, int32_t reserved1,
                                 int32_t reserved2, int32_t* handle) {
    (void)portName;
    if (handle == nullptr || reserved1 != 0 || reserved2 != 0 || !IsQueueName(printerName)) {
        return kBadArgument;
    }
    Session session;
    session.queue = printerName;
    const std::optional<std::string> driver = DriverNameOf(session.queue);
    if (!driver) {
        return kUnknownPrinter;
    }
    session.model = simdriver::FindModel(*driver);
    if (session.model == nullptr) {
        return kUnsupportedModel;
    }
    session.settings = LoadSettings(session.queue, *session.model);
    std::lock_guard guard(Lock());
    if (nextHandle <= 0) {
        nextHandle = 1;
    }
    *handle = nextHandle++;
    Sessions()[*handle] = std::move(session);
    return kOk;
}

ARSET32_EXPORT int32_t ARDM_GetDriverInfo(int32_t handle, char* buffer, int32_t size) {
    std::lock_guard guard(Lock());
    const Session* session = Find(handle);
    if (!session) {
        return kBadHandle;
    }
    if (buffer == nullptr || size <= 0) {
        return kBadArgument;
    }
    std::snprintf(buffer, static_cast<std::size_t>(size), "ARSET32 %d.%02d %.*s",
                  kDriverVersion >> 8, kDriverVersion & 0xFF,
                  static_cast<int>(session->model->driverName.size()),
                  session->model->driverName.data());
    return kOk;
}

ARSET32_EXPORT int32_t ARDM_GetCommandLevel(int32_t handle, int32_t* level) {
    std::lock_guard guard(Lock());
    const Session* session = Find(handle);
    if (!session) {
        return kBadHandle;
    }
    if (level == nullptr) {
        return kBadArgument;
    }
    *level = session->model->commandLevel;
    return kOk;
}

ARSET32_EXPORT int32_t ARDM_GetRange(int32_t handle, int32_t item, void* block) {
    std::lock_guard guard(Lock());
    const Session* session = Find(handle);
    if (!session) {
        return kBadHandle;
    }
    if (block == nullptr) {
        return kBadArgument;
    }
    switch (item) {
        case 30:
            return GetPaperRange(*session, *static_cast<PaperRange*>(block));
        case 60:
            return GetMediaList(*session, *static_cast<MediaList*>(block));
        default:
            return kUnknownItem;
    }
}

ARSET32_EXPORT int32_t ARDM_GetData(int32_t handle, int32_t item, void* block) {
    std::lock_guard guard(Lock());
    const Session* session = Find(handle);
    if (!session) {
        return kBadHandle;
    }
    if (block == nullptr) {
        return kBadArgument;
    }
    const Settings& s = session->settings;
    switch (item) {
        case 30:
            *static_cast<PaperSetting*>(block) = {static_cast<int16_t>(s.paperWidth), kRollPaper,
                                                  kWidthKind, 0};
            return kOk;
        case 40:
            *static_cast<int16_t*>(block) = static_cast<int16_t>(s.outputMode);
            return kOk;
        case 70:
            *static_cast<ModeSelection*>(block) = {1, s.modeLevel, s.mediaId, 2};
            return kOk;
        case 205: {
            auto* flags = static_cast<Flags*>(block);
            if (flags->form != 1 || flags->size != 12) {
                return kBadBlock;
            }
            flags->flags = s.outputFlags;
            return kOk;
        }
        case 213:
            return GetMediaName(*static_cast<NameQuery*>(block));
        case 214:
            *static_cast<QualitySelection*>(block) = {1, 20, 2, s.mediaId, s.modeCode};
            return kOk;
        case 217: {
            auto* ink = static_cast<InkSetBlock*>(block);
            if (ink->values[0] != 1) {
                return kBadBlock;
            }
            AnswerInkSet(*session, *ink);
            return kOk;
        }
        case 219: {
            auto* values = static_cast<ValuesBlock*>(block);
            values->form = 1;
            values->size = 20;
            std::memset(values->data, 0, sizeof values->data);
            if (s.mediaValues) {
                std::memcpy(values->data, s.mediaValues->data(), sizeof values->data);
            }
            return kOk;
        }
        default:
            return kUnknownItem;
    }
}

ARSET32_EXPORT int32_t ARDM_SetData(int32_t handle, int32_t item, intptr_t data) {
    std::lock_guard guard(Lock());
    Session* session = Find(handle);
    if (!session) {
        return kBadHandle;
    }
    if (item == 40) {
        return SetOutputMode(*session, data);
    }
    const void* block = reinterpret_cast<const void*>(data);
    if (block == nullptr) {
        return kBadArgument;
    }
    switch (item) {
        case 30:
            return SetPaperWidth(*session, *static_cast<const PaperSetting*>(block));
        case 70:
            return SetMediaMode(*session, *static_cast<const ModeSelection*>(block));
        case 205:
            return SetFlags(*session, *static_cast<const Flags*>(block));
        case 214:
            return SetQualityMode(*session, *static_cast<const QualitySelection*>(block));
        case 219:
            return SetMediaValues(*session, *static_cast<const ValuesBlock*>(block));
        default:
            return kUnknownItem;
    }
}

ARSET32_EXPORT int32_t ARDM_CreateDC(int32_t handle, const void* devMode, void** dc) {
    std::lock_guard guard(Lock());
    const Session* session = Find(handle);
    if (!session) {
        return kBadHandle;
    }
    if (dc == nullptr) {
        return kBadArgument;
    }
    std::optional<std::vector<uint8_t>> mode =
        devMode ? CopyDevMode(devMode) : CurrentDevMode(*session);
    if (!mode) {
        return kBadBlock;
    }
    auto* context = new DeviceContext{std::move(*mode)};
    DeviceContexts().insert(context);
    *dc = context;
    return kOk;
}

ARSET32_EXPORT int32_t ARDM_ResetDC(int32_t handle, void* dc, const void* devMode) {
    std::lock_guard guard(Lock());
    auto* context = static_cast<DeviceContext*>(dc);
    if (!Find(handle)) {
        return kBadHandle;
    }
    if (!DeviceContexts().contains(context) || devMode == nullptr) {
        return kBadArgument;
    }
    std::optional<std::vector<uint8_t>> mode = CopyDevMode(devMode);
    if (!mode) {
        return kBadBlock;
    }
    context->devMode = std::move(*mode);
    return kOk;
}

ARSET32_EXPORT int32_t ARDM_DeleteDC(int32_t handle, void* dc) {
    std::lock_guard guard(Lock());
    auto* context = static_cast<DeviceContext*>(dc);
    if (!Find(handle)) {
        return kBadHandle;
    }
    if (DeviceContexts().erase(context) == 0) {
        return kBadArgument;
    }
    delete context;
    return kOk;
}

ARSET32_EXPORT int32_t ARDM_GetDevMode(int32_t handle, void* buffer) {
    std::lock_guard guard(Lock());
    const Session* session = Find(handle);
    if (!session) {
        return 0;
    }
    if (buffer == nullptr) {
        return static_cast<int32_t>(kDevModeSize);
    }
    const std::vector<uint8_t> mode = CurrentDevMode(*session);
    std::memcpy(buffer, mode.data(), mode.size());
    return 1;
}

ARSET32_EXPORT int32_t ARDM_Close(int32_t handle) {
    std::lock_guard guard(Lock());
    return Sessions().erase(handle) == 1 ? kOk : kBadHandle;
}
