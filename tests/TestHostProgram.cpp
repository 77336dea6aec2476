// Every test program decodes through the plug-in host of this build: the
// tests live in tests/, not beside the host in bin/. Set before main, so that
// no host is started without it; a value from outside is kept.
#include <cstdlib>

namespace {

const int hostNamed = setenv("TAVO_SPI_HOST", TAVO_BINARY_DIR "/bin/tavotavo-spi-host", 0);

} // namespace
