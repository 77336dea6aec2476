// The session bus is kept from being autolaunched only where nothing else
// would reach one, and only for as long as the guard lives.
#include "platform/SessionBus.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

// Sets or unsets a variable for one test and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::optional<std::string> address()
{
    const char* value = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(SessionBus, AutolaunchIsBlockedOnlyWhenNoBusCanBeFound)
{
    std::string pattern = fs::temp_directory_path() / "tavo-bus-XXXXXX";
    const fs::path runtime = mkdtemp(pattern.data());
    const ScopedVariable runtimeVariable("XDG_RUNTIME_DIR", runtime.c_str());

    {
        // No address and no user bus: blocked while the guard lives, then as before.
        const ScopedVariable none("DBUS_SESSION_BUS_ADDRESS", nullptr);
        {
            const NoSessionBusAutolaunch guard;
            EXPECT_TRUE(guard.active());
            EXPECT_EQ(address(), "disabled:");
        }
        EXPECT_EQ(address(), std::nullopt);
    }
    {
        // An address of the session, even an empty one, is left alone.
        for (const char* value : {"unix:path=/run/user/1000/bus", ""}) {
            const ScopedVariable given("DBUS_SESSION_BUS_ADDRESS", value);
            const NoSessionBusAutolaunch guard;
            EXPECT_FALSE(guard.active());
            EXPECT_EQ(address(), value);
        }
    }
    {
        // The user bus socket in the runtime folder is libdbus's next choice.
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        const std::string bus = (runtime / "bus").string();
        ASSERT_LT(bus.size(), sizeof where.sun_path);
        std::memcpy(where.sun_path, bus.c_str(), bus.size() + 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
        const ScopedVariable none("DBUS_SESSION_BUS_ADDRESS", nullptr);
        {
            const NoSessionBusAutolaunch guard;
            EXPECT_FALSE(guard.active());
            EXPECT_EQ(address(), std::nullopt);
        }
        close(fd);
    }
    fs::remove_all(runtime);
}

} // namespace
} // namespace tavo::platform
