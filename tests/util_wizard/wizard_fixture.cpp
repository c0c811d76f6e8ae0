#include "tests/util_wizard/wizard_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry/machine_folder.h"
#include "sim/driver/media_catalog.h"

namespace wizardtest {

namespace {

ui::DialogTemplate Template(int id, ui::DialogKind kind) {
    return {id, kind, 360, 260, {}};
}

template <typename Fn>
Fn Export(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

std::string ModulePath(const std::string& module = "util.so") {
    const char* out = std::getenv("PLENWISE_OUT");
    return std::string(out != nullptr ? out : ".") + "/" + module;
}

}  // namespace

FakeHub::FakeHub()
    : main(Template(102, ui::DialogKind::Main)), selection(Template(1000, ui::DialogKind::Child)) {
    main.Create(nullptr);
    selection.Create(main.Handle());
    selection.BindMessage(kNotifyMessage,
                          [this](uintptr_t, intptr_t lParam) { handBacks.push_back(lParam); });
    ui::ShowWindow(main.Handle(), ui::kShow);
}

WizardFixture::WizardFixture() {
    InstallLibrary();
    // The driver's media configuration for both ink sets and letters, as its installer leaves it.
    for (int inkSet : {1, 2}) {
        for (char letter : {'J', 'E'}) {
            const std::vector<uint8_t> cfg = simdriver::BuildMediaConfiguration(inkSet, letter);
            std::ofstream(driverDirectory_ + "/" + simdriver::ConfigurationFileName(inkSet, letter),
                          std::ios::binary)
                .write(reinterpret_cast<const char*>(cfg.data()),
                       static_cast<std::streamsize>(cfg.size()));
        }
    }
    ui::SetResponder(&responder_);
    abapi_ = dlopen(TEST_ABAPI, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(abapi_, nullptr) << dlerror();
    if (abapi_ != nullptr) {
        Export<void (*)()>(abapi_, "StageReset")();
        Export<void (*)(uint32_t, uint32_t)>(abapi_, "StageChannel")(0x10010003, 1);
    }
}

WizardFixture::~WizardFixture() {
    host_.reset();
    ui::PumpWaitingMessages();
    ui::SetResponder(nullptr);
    if (abapi_ != nullptr) {
        dlclose(abapi_);
    }
}

void WizardFixture::AddPrinter(const std::string& queue, const std::string& driver) {
    AddQueue(queue, driver);
    // The driver's installation makes the folder of its user configuration.
    std::filesystem::create_directories(std::filesystem::path(UserFilePath(driver)).parent_path());
    StageDeviceId("MFG:ARVEN;DES:" + driver + ";");
    StageStatuses({kReadyStatus});
}

std::string WizardFixture::UserFilePath(const std::string& driver) const {
    const char letter = driver == "ARVEN WL-4000" ? 'J' : 'E';
    return scratch_ / "machine/Program Files/ARVEN/" + driver + "/A_DD148" + letter + ".UCF";
}

void WizardFixture::WriteUserFile(const std::string& driver,
                                  const std::vector<UserMediaRecord>& records) {
    std::string bytes("\x00\x05", 2);
    for (size_t slot = 0; slot < simdriver::kUserSlots; ++slot) {
        bytes += slot < records.size()
                     ? std::string(records[slot].bytes.begin(), records[slot].bytes.end())
                     : std::string(UserMediaRecord::kSize, '\0');
    }
    bytes += std::string(size_t{simdriver::kExtraRecords} * 84, '\0');
    std::filesystem::create_directories(std::filesystem::path(UserFilePath(driver)).parent_path());
    std::ofstream(UserFilePath(driver), std::ios::binary) << bytes;
}

UserMediaRecord WizardFixture::UserEntry(const std::string& name, uint16_t mediaId,
                                         std::array<uint8_t, 6> values) {
    UserMediaRecord record;
    record.SetModeLevel(1);
    record.SetMediaId(mediaId);
    record.SetInUse(UserMediaRecord::kInUse);
    std::copy(values.begin(), values.end(), record.bytes.begin() + UserMediaRecord::kDensityOffset);
    record.SetEntryType(UserMediaRecord::kUserEntry);
    record.SetName(name);
    return record;
}

void WizardFixture::StageDeviceId(const std::string& text) {
    Export<void (*)(const char*)>(abapi_, "StageDeviceId")(text.c_str());
}

void WizardFixture::StageStatuses(const std::vector<std::string>& statuses) {
    Export<void (*)()>(abapi_, "StageClearStatuses")();
    for (const std::string& status : statuses) {
        Export<void (*)(const char*)>(abapi_, "StageStatus")(status.c_str());
    }
}

void WizardFixture::Start(const std::string& queue, const util::Variant& variant,
                          const std::string& module) {
    host_ = std::make_unique<util::WizardHost>(ModulePath(module), variant);
    started_ = host_->StartWizard(queue.c_str(), hub_.selection.Handle(), kNotifyMessage);
    ui::PumpWaitingMessages();
}

ui::Dialog* WizardFixture::Page(size_t slot) const {
    return host_ ? host_->Frame().Page(slot) : nullptr;
}

ui::Dialog* WizardFixture::Shown() const {
    for (size_t slot = 1; host_ && slot < util::kPageSlots; ++slot) {
        ui::Dialog* page = Page(slot);
        if (page != nullptr && ui::IsWindowVisible(page->Handle())) {
            return page;
        }
    }
    return nullptr;
}

int WizardFixture::ShownTemplate() const {
    ui::Dialog* page = Shown();
    return page != nullptr ? page->TemplateId() : 0;
}

namespace {
ui::WindowHandle ControlOf(ui::Dialog* page, int control) {
    EXPECT_NE(page, nullptr) << "no page is shown";
    return page != nullptr ? page->Item(control) : nullptr;
}
}  // namespace

void WizardFixture::Click(int control) {
    std::string error;
    EXPECT_EQ(ui::input::Click(ControlOf(Shown(), control), error), ui::input::Result::Done)
        << control << ": " << error;
    ui::PumpWaitingMessages();
}

void WizardFixture::Type(int control, const std::string& text) {
    std::string error;
    EXPECT_EQ(ui::input::Type(ControlOf(Shown(), control), text, error), ui::input::Result::Done)
        << control << ": " << error;
}

void WizardFixture::Leave(int control) {
    std::string error;
    ui::input::Focus(ControlOf(Shown(), control), error);
    EXPECT_EQ(ui::input::Leave(ControlOf(Shown(), control), error), ui::input::Result::Done)
        << control << ": " << error;
}

void WizardFixture::Check(int control, bool ticked) {
    ui::WindowHandle box = ControlOf(Shown(), control);
    if (ui::Button(box).IsChecked() != ticked) {
        Click(control);
    }
}

void WizardFixture::Select(int list, const std::string& text) {
    std::string error;
    EXPECT_EQ(ui::input::SelectText(ControlOf(Shown(), list), text, error), ui::input::Result::Done)
        << list << ": " << error;
    ui::PumpWaitingMessages();
}

void WizardFixture::Slide(int trackbar, int position) {
    std::string error;
    EXPECT_EQ(ui::input::Slide(ControlOf(Shown(), trackbar), position, error),
              ui::input::Result::Done)
        << trackbar << ": " << error;
}

int WizardFixture::SliderPosition(int trackbar) const {
    return ui::Trackbar(ControlOf(Shown(), trackbar)).GetPos();
}

void WizardFixture::Mouse(ui::MouseAction action, ui::Point point) {
    ui::Dialog* page = Shown();
    std::string error;
    EXPECT_EQ(ui::input::Mouse(page != nullptr ? page->Handle() : nullptr, action, point, error),
              ui::input::Result::Done)
        << error;
}

std::string WizardFixture::Text(int control) const {
    return ui::GetWindowText(ControlOf(Shown(), control));
}

bool WizardFixture::Enabled(int control) const {
    return ui::IsWindowEnabled(ControlOf(Shown(), control));
}

const std::vector<intptr_t>& WizardFixture::HandBacks() {
    ui::PumpWaitingMessages();
    return hub_.handBacks;
}

std::vector<std::string> WizardFixture::Boxes() const {
    std::vector<std::string> boxes;
    for (const ui::MessageBoxRecord& box : responder_.Boxes()) {
        boxes.push_back(std::to_string(box.flags) + ":" + box.text);
    }
    return boxes;
}

std::vector<std::string> WizardFixture::RawJobs(const std::string& queue) const {
    std::vector<std::string> jobs;
    for (const auto& document : spool_->Documents()) {
        if (document.printer == queue) {
            jobs.push_back(document.bytes);
        }
    }
    return jobs;
}

std::pair<int, int> WizardFixture::PrintedResolution() {
    if (spool_->Documents().empty()) {
        return {0, 0};
    }
    const std::string pdf = scratch_.Write("printed.pdf", spool_->Documents().back().bytes);
    // pdfimages -list: two heading lines, then one line per image whose 13th and 14th columns
    // are its x-ppi and y-ppi.
    FILE* pipe = ::popen(("pdfimages -list '" + pdf + "' 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return {0, 0};
    }
    std::string listing;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
        listing += chunk;
    }
    EXPECT_EQ(::pclose(pipe), 0) << "pdfimages (Debian package poppler-utils) failed";
    std::istringstream lines(listing);
    std::string line;
    for (int number = 0; std::getline(lines, line) && number < 2; ++number) {
    }
    std::istringstream columns(line);
    std::string column;
    std::pair<int, int> resolution{0, 0};
    for (int index = 0; columns >> column && index < 14; ++index) {
        if (index == 12) {
            resolution.first = std::atoi(column.c_str());
        } else if (index == 13) {
            resolution.second = std::atoi(column.c_str());
        }
    }
    return resolution;
}

}  // namespace wizardtest
