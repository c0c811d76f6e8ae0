// Symbols of the platform library are hidden unless marked: the modules load each other with
// dlopen, and only what the platform offers them should be visible.
#pragma once

#define PLENWISE_API __attribute__((visibility("default")))
