// A freed module must leave the process: the hub frees a plug-in to end it, and only a fresh
// load makes a fresh host. A unique symbol in a module (as an unoptimised build of libstdc++'s
// templates makes) would keep it loaded for good.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/ui/application.h"

namespace {

struct Module {
    const char* name;
    bool required;  // built on every branch; the others are checked where they exist
};

TEST(ModuleUnloadTest, EveryModuleIsGoneOnceFreed) {
    const char* out = std::getenv("PLENWISE_OUT");
    ASSERT_NE(out, nullptr);
    int checked = 0;
    for (const Module& module :
         {Module{"selhub", true}, Module{"util", false}, Module{"altutil", false},
          Module{"fwload", true}, Module{"upkeep", true}}) {
        const std::string path = std::string(out) + "/" + module.name + ".so";
        if (!std::filesystem::exists(path)) {
            EXPECT_FALSE(module.required) << path << " was not built";
            continue;
        }
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        ASSERT_EQ(dlclose(handle), 0) << dlerror();
        void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_EQ(still, nullptr) << path << " stayed loaded after it was freed";
        if (still != nullptr) {
            dlclose(still);
        }
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

}  // namespace

int main(int argc, char** argv) {
    ui::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
