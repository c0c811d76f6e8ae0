#include "selhub/select_dlg.h"

#include <utility>
#include <vector>

#include "common/page_frame.h"
#include "common/plugin_entry.h"
#include "common/served_queues.h"
#include "platform/system/file.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_box.h"
#include "resources/selhub/templates.h"
#include "selhub/loading_dlg.h"

namespace selhub {

namespace {

constexpr int kPrinterList = 1003;
constexpr int kFunctionList = 1004;
constexpr int kPrinterLabel = 1005;
constexpr int kFunctionLabel = 1006;
constexpr int kMessagePane = 1007;

}  // namespace

SelectDlg::SelectDlg(ui::Dialog& mainWindow, std::string modulePath, SelectionMemory& memory)
    : ui::Dialog(SelectTemplate()),
      mainWindow_(mainWindow),
      memory_(memory),
      modulePath_(std::move(modulePath)) {
    Bind(kNextButton, ui::Notify::Clicked, [this]() { OnNext(); });
    Bind(kExitButton, ui::Notify::Clicked, [this]() { OnExit(); });
    Bind(kPrinterList, ui::Notify::SelectionChanged, [this]() { BuildFunctionList(); });
}

SelectDlg::~SelectDlg() {
    DestroyWindow();
    FreePlugin();
}

bool SelectDlg::OnInitDialog() {
    // The notify message number is known once the main window has set it, just before creation.
    BindMessage(notifyMessage_, [this](uintptr_t, intptr_t lParam) { OnNotify(lParam); });
    std::string dataFile = LocalizedDataFilePath(modulePath_);
    basePath_ = dataFile.substr(0, dataFile.size() - 4);  // without ".dat"
    tables_.Load(dataFile);
    if (!tables_.Complete()) {
        // Without its tables the hub would list nothing and show empty texts.
        ui::AppMessageBox(kNotInstalledText, ui::kMbIconStop);
        ui::PostMessage(mainWindow_.Handle(), notifyMessage_, 0, kNotifyEndProgram);
        DestroyWindow();
        return true;
    }

    int pageWidth = 0;
    int pageHeight = 0;
    ClientSize(pageWidth, pageHeight);
    mainWindow_.SetClientSize(pageWidth, pageHeight);
    ui::CenterWindow(mainWindow_.Handle(), nullptr);

    SetItemText(kExitButton, tables_.GetText(102));
    SetItemText(kNextButton, tables_.GetText(100));
    SetItemText(kBackButton, tables_.GetText(101));
    SetItemText(kPrinterLabel, tables_.GetText(150));
    SetItemText(kFunctionLabel, tables_.GetText(151));

    const bool noScheduler = FillPrinterList(memory_.RememberedPrinter());
    ui::ComboBox printers(Item(kPrinterList));
    if (printers.Count() <= 0) {
        // "Nothing to service" would send the operator after drivers and queues when the print
        // system itself is away.
        ui::AppMessageBox(tables_.GetText(noScheduler ? kNoPrintSystemText : kNoPrinterText),
                          ui::kMbIconStop);
        ui::PostMessage(mainWindow_.Handle(), notifyMessage_, 0, kNotifyEndProgram);
        DestroyWindow();
        return true;
    }
    BuildFunctionList();

    std::string pane;
    for (int32_t number = 500; number <= 504; ++number) {
        pane += tables_.GetText(number);
    }
    SetItemText(kMessagePane, ToCrLf(pane));
    return true;
}

bool SelectDlg::FillPrinterList(const std::string& rememberedPrinter) {
    ui::ComboBox printers(Item(kPrinterList));
    int noted = -1;
    bool noScheduler = false;
    for (const ServedQueue& served : ServedQueues(tables_, &noScheduler)) {
        int index = printers.AddString(served.queue.printerName);
        printers.SetItemData(index, served.modelKey);
        if (served.queue.printerName == rememberedPrinter) {
            noted = index;
        }
    }
    printers.SetCurSel(noted >= 0 ? noted : 0);
    return noScheduler;
}

std::string SelectDlg::PluginPath(uint32_t functionKey) const {
    // Plug-ins are loaded from the hub's own folder only: a bare name would let the loader's
    // search find a library of the same name elsewhere.
    if (basePath_.empty() || basePath_.front() != '/') {
        return {};
    }
    return basePath_.substr(0, basePath_.rfind('/') + 1) + tables_.FileOfKey(functionKey);
}

void SelectDlg::BuildFunctionList() {
    ui::ComboBox printers(Item(kPrinterList));
    ui::ComboBox functions(Item(kFunctionList));
    auto printerKey = static_cast<uint32_t>(printers.GetItemData(printers.GetCurSel()));
    uint32_t remembered = memory_.RememberedFunction();
    functions.ResetContent();
    int select = 0;
    for (int32_t i = 0; i < tables_.FunctionCount(); ++i) {
        uint32_t key = tables_.FunctionKey(i);
        if (((key ^ printerKey) & kFamilyMask) != 0) {
            continue;
        }
        if (sys::GetFileAttributes(PluginPath(key)) == sys::kInvalidFileAttributes) {
            continue;
        }
        int index = functions.AddString(tables_.FunctionName(i));
        functions.SetItemData(index, key);
        if (remembered == (key & 0xFFFF)) {
            select = index;
        }
    }
    functions.SetCurSel(select);
}

void SelectDlg::OnNext() {
    // The pump below runs input too: a second click on Next must not start the plug-in again
    // on the host the first one is making.
    if (starting_) {
        return;
    }
    starting_ = true;
    StartChosenPlugin();
    starting_ = false;
}

void SelectDlg::StartChosenPlugin() {
    FreePlugin();
    ui::ComboBox printers(Item(kPrinterList));
    ui::ComboBox functions(Item(kFunctionList));
    std::string printerName = printers.GetText();
    memory_.RememberPrinter(printerName);
    int selected = functions.GetCurSel();
    if (selected < 0) {
        return;
    }
    auto functionKey = static_cast<uint32_t>(functions.GetItemData(selected));
    memory_.RememberFunction(functionKey & 0xFFFF);
    std::string path = PluginPath(functionKey);

    LoadingDlg notice(tables_.GetText(310));
    notice.Create(nullptr);
    ui::CenterWindow(notice.Handle(), mainWindow_.Handle());
    ui::ShowWindow(notice.Handle(), ui::kShow);
    ui::PumpWaitingMessages();

    plugin_ = sys::LoadLibrary(path);
    if (plugin_ != nullptr) {
        auto start =
            reinterpret_cast<PluginStartWizard>(sys::GetProcAddress(plugin_, "StartWizard"));
        if (start != nullptr) {
            ui::ShowWindow(Handle(), ui::kHide);
            pluginPage_ = start(printerName.c_str(), Handle(), notifyMessage_);
            // A plug-in that made no page would leave the main window empty; whatever it
            // posted still arrives and is handled as always.
            if (pluginPage_ == nullptr) {
                FreePlugin();
                ui::ShowWindow(Handle(), ui::kShowNoActivate);
            }
        }
    }
    notice.DestroyWindow();
}

void SelectDlg::OnExit() {
    ui::PostMessage(mainWindow_.Handle(), notifyMessage_, 0, kNotifyEndProgram);
    DestroyWindow();
}

void SelectDlg::OnNotify(intptr_t lParam) {
    FreePlugin();
    if (lParam == kNotifyBackToSelection) {
        ui::ShowWindow(Handle(), ui::kShowNoActivate);
        return;
    }
    ui::PostMessage(mainWindow_.Handle(), notifyMessage_, 0, kNotifyEndProgram);
    DestroyWindow();
}

void SelectDlg::OnDestroy() {
    ui::DestroyWindow(pluginPage_);
    pluginPage_ = nullptr;
    ui::PumpWaitingMessages();
    FreePlugin();
}

void SelectDlg::FreePlugin() {
    if (plugin_ != nullptr) {
        sys::FreeLibrary(plugin_);
        plugin_ = nullptr;
    }
}

bool SelectDlg::PreTranslateKey(const ui::KeyInput& key) {
    // Keys typed on the selection page get the dialog's own navigation: Enter presses the focused
    // button or else Next, Escape presses Exit.
    return NavigateDialog(key);
}

}  // namespace selhub
