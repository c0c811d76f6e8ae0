#include "launcher/plenwise_app.h"
#include "platform/ui/application.h"

int main(int argc, char** argv) {
    ui::Application application(argc, argv);
    static PlenwiseApp app;
    return application.Run([]() { app.InitInstance(); });
}
