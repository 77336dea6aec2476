#include "PluginTestSupport.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

namespace tavo::test {

namespace {

// The test plug-ins run in the plug-in host and keep the record of their
// calls in files of this folder, one per library, which the tests map too.
// It is named before any host starts, so that every host inherits it.
const std::filesystem::path& stateFolder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavo-plugin-state-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        setenv("TAVO_TEST_PLUGIN_STATE", pattern.c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::getenv("TAVO_TEST_PLUGIN_STATE"), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

const bool stateFolderNamed = !stateFolder().empty();

} // namespace

std::string pluginPath(const std::string& name)
{
    return std::string(TAVO_TEST_PLUGIN_DIR) + "/" + name + ".spi";
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tavo-plugins-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::addPlugin(const std::string& plugin, const std::string& asName)
{
    const auto target = path_ / asName;
    std::filesystem::copy_file(pluginPath(plugin), target, std::filesystem::copy_options::overwrite_existing);
    return target.string();
}

std::string TempFolder::addFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const auto target = path_ / name;
    std::ofstream out(target, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return target.string();
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name)
{
    if (const char* old = std::getenv(name))
        old_ = old;
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedCurrentDir::ScopedCurrentDir(const std::filesystem::path& path) : old_(std::filesystem::current_path())
{
    std::filesystem::current_path(path);
}

ScopedCurrentDir::~ScopedCurrentDir()
{
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
}

TestPluginState& pluginState(const TSPI& spi)
{
    (void)stateFolderNamed;
    static std::map<std::string, TestPluginState*> mapped;
    char path[4096];
    testPluginStateFile(stateFolder().c_str(), spi.FileName().c_str(), path, sizeof path);
    TestPluginState*& state = mapped[path];
    if (state == nullptr) {
        const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ftruncate(fd, sizeof(TestPluginState)) != 0)
            throw std::runtime_error(std::string("no record of the test plug-in: ") + path);
        void* p = mmap(nullptr, sizeof(TestPluginState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        if (p == MAP_FAILED)
            throw std::runtime_error(std::string("cannot map ") + path);
        state = static_cast<TestPluginState*>(p);
    }
    return *state;
}

std::vector<uint8_t> makeTestPicture(const TestPicture& picture)
{
    std::vector<uint8_t> bytes(std::max<std::size_t>(picture.size, TPIC_HEADER_SIZE), 0xEE);
    auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    std::memcpy(bytes.data(), "TPIC", 4);
    put32(TPIC_FLAGS, picture.flags);
    put32(TPIC_WIDTH, static_cast<uint32_t>(picture.width));
    put32(TPIC_HEIGHT, static_cast<uint32_t>(picture.height));
    bytes[TPIC_BITCOUNT] = static_cast<uint8_t>(picture.bitCount);
    bytes[TPIC_BITCOUNT + 1] = static_cast<uint8_t>(picture.bitCount >> 8);
    bytes[TPIC_BITCOUNT + 2] = 0;
    bytes[TPIC_BITCOUNT + 3] = 0;
    put32(TPIC_CLRUSED, picture.clrUsed);
    put32(TPIC_PIXELBYTES, picture.pixelBytes);
    bytes[TPIC_FILL] = picture.fill;
    bytes[TPIC_FILL + 1] = bytes[TPIC_FILL + 2] = bytes[TPIC_FILL + 3] = 0;
    return bytes;
}

} // namespace tavo::test
