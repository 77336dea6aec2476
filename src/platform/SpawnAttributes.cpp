#include "platform/SpawnAttributes.h"

#include <signal.h>

namespace tavo::platform {

CleanSpawnAttributes::CleanSpawnAttributes()
{
    posix_spawnattr_init(&attributes_);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes_, &none);
    sigset_t defaults;
    sigfillset(&defaults);
    posix_spawnattr_setsigdefault(&attributes_, &defaults);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

CleanSpawnAttributes::~CleanSpawnAttributes()
{
    posix_spawnattr_destroy(&attributes_);
}

} // namespace tavo::platform
