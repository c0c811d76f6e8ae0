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

    enum class Lock {
        Taken,     // this process holds the lock and listens for later starts
        Held,      // another running process holds it
        Unusable,  // it can be neither taken nor found held: Problem() says why
    };
    // Takes the lock when no other process holds it. A lock left behind by a process that died,
    // or one that cannot be read (empty or garbled) and is older than a second, is taken over.
    // The lock lives in $XDG_RUNTIME_DIR/plenwise, or without that variable in
    // <temporary folder>/plenwise-<uid>, which is made 0700 and used only when it is this
    // user's own folder that nobody else may write to.
    Lock Acquire();
    // Asks the process holding the lock to restore and raise its windows; waits a few seconds at
    // most for it to confirm. False, with Problem() set, when it could not be reached.
    bool AskFirstToRaise();
    // Why the lock is unusable or the first instance could not be asked; "" otherwise.
    std::string Problem() const;

  private:
    std::unique_ptr<SingleInstanceImpl> impl_;
};

// Restores (when minimised) and raises every top-level window that carries the property, then
// the pop-up it last activated, such as an open message box or the about box.
PLENWISE_API void RaiseWindowsWithProperty(const std::string& property);

}  // namespace ui
