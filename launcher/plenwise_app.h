// The program the operator starts: it loads the selection hub from its own directory and runs it.
#pragma once

#include <string>

#include "platform/system/module.h"

class PlenwiseApp {
  public:
    // Loads the hub beside the executable and calls its entry; the whole run happens inside.
    // Returns false in every case: there is no message loop of the program's own to enter.
    bool InitInstance();

    // Problems no caller can report (a service log that cannot be written, told once per
    // session; a damaged hive set aside) are told in a message box with the exclamation icon.
    static void TellNoticesInMessageBoxes();

    // Where the hub is looked for: the executable's directory (with its trailing '/') followed
    // by the hub's file name; "" (nothing is loaded) when the path is not absolute.
    static std::string HubPath(const std::string& executablePath);

    // The program's exit status: 1 when the hub could not start (and said why), else 0.
    int ExitStatus() const { return failed_ ? 1 : 0; }

  private:
    bool failed_ = false;
    sys::LibraryHandle hub_ = nullptr;  // kept loaded for the life of the process
};
