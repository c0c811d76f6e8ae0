// One running instance of the program: a named lock held by the first instance, and a local
// channel through which a later start asks that instance to bring its windows forward.
#pragma once

#include <memory>
#include <string>

#include "platform/export.h"

namespace ui {

class SingleInstanceImpl;

class PLENWISE_API SingleInstance {
  public:
    explicit SingleInstance(const std::string& name);
    ~SingleInstance();  // releases the lock and closes the channel
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other process holds the lock: this one now holds it and listens for later
    // starts. A lock left behind by a process that died is taken over.
    bool Acquire();
    // Asks the process holding the lock to restore and raise its windows; waits a few seconds at
    // most for it to confirm. False when it could not be reached.
    bool AskFirstToRaise();

  private:
    std::unique_ptr<SingleInstanceImpl> impl_;
};

// Restores (when minimised) and raises every top-level window that carries the property, then
// the pop-up it last activated, such as an open message box or the about box.
PLENWISE_API void RaiseWindowsWithProperty(const std::string& property);

}  // namespace ui
