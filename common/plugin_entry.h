// The entry points by which the launcher starts the hub and the hub starts a plug-in.
#pragma once

#include <cstdint>

#include "platform/ui/window.h"

// The hub's entry: runs the whole program; 1 when it ran, 0 when another instance was running
// and was raised, kHubCannotStart when it could neither run nor hand over to one (said why).
inline constexpr int kHubCannotStart = -1;
using HubStartWizard = int (*)();

// A plug-in's entry: the printer's queue name (valid during the call), the window to post the
// notify message to, and that message's number. Returns the plug-in's first page, or null.
using PluginStartWizard = ui::WindowHandle (*)(const char* printerName,
                                               ui::WindowHandle notifyWindow,
                                               uint32_t notifyMessage);

// The notify message: lParam 1 goes back to the selection, any other value ends the program.
inline constexpr uint32_t kNotifyMessage = 0x600;
inline constexpr intptr_t kNotifyBackToSelection = 1;
inline constexpr intptr_t kNotifyEndProgram = 0;

#define PLENWISE_EXPORT extern "C" __attribute__((visibility("default")))

// A plug-in module's host and entry, in one place for every plug-in: in namespace `ns`, the
// host object of class `HostClass` (made from the module's own path, and any further
// constructor arguments, when the library is loaded; deleted when it is freed) and its accessor
// `Host()`; and the exported StartWizard, which hands over to the host. Use once, in the
// module's entry file, which includes "platform/system/module.h" and <memory>.
#define PLENWISE_PLUGIN_ENTRY(ns, HostClass, ...)                                               \
    namespace ns {                                                                              \
    namespace {                                                                                 \
    int moduleAnchor;                                                                           \
    std::unique_ptr<HostClass> moduleHost =                                                     \
        std::make_unique<HostClass>(sys::ModulePath(&moduleAnchor) __VA_OPT__(, ) __VA_ARGS__); \
    }                                                                                           \
    HostClass& Host() {                                                                         \
        return *moduleHost;                                                                     \
    }                                                                                           \
    }                                                                                           \
    PLENWISE_EXPORT ui::WindowHandle StartWizard(                                               \
        const char* printerName, ui::WindowHandle notifyWindow, uint32_t notifyMessage) {       \
        return ns::Host().StartWizard(printerName, notifyWindow, notifyMessage);                \
    }
