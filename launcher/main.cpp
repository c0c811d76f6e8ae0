#include "launcher/command_line.h"
#include "launcher/plenwise_app.h"
#include "platform/ui/application.h"

int main(int argc, char** argv) {
    // Help, version and mistakes are answered before any window system is needed.
    if (const std::optional<int> answered = launcher::AnswerCommandLine(argc, argv)) {
        return *answered;
    }
    ui::Application application(argc, argv);
    static PlenwiseApp app;
    const int status = application.Run([]() { app.InitInstance(); });
    return status != 0 ? status : app.ExitStatus();
}
