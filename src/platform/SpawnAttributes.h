// Spawn attributes that give a child a clean start: no blocked signals and
// every signal at its default action, whatever this process has set.
#pragma once

#include <spawn.h>

namespace tavo::platform {

class CleanSpawnAttributes {
public:
    CleanSpawnAttributes();
    ~CleanSpawnAttributes();
    CleanSpawnAttributes(const CleanSpawnAttributes&) = delete;
    CleanSpawnAttributes& operator=(const CleanSpawnAttributes&) = delete;

    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

} // namespace tavo::platform
