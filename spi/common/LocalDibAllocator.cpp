#include "PluginSupport.h"

namespace tavo::spi {

void* LocalDibAllocator::allocate(HLOCAL& handle, std::size_t bytes)
{
    if (handle != nullptr)
        return nullptr;
    handle = LocalAlloc(LMEM_MOVEABLE, bytes);
    if (handle == nullptr)
        return nullptr;
    return LocalLock(handle);
}

void LocalDibAllocator::handOver(HLOCAL* pHBInfo, HLOCAL* pHBm)
{
    LocalUnlock(info_);
    LocalUnlock(bits_);
    *pHBInfo = info_;
    *pHBm = bits_;
    info_ = bits_ = nullptr;
}

LocalDibAllocator::~LocalDibAllocator()
{
    for (HLOCAL handle : {info_, bits_}) {
        if (handle != nullptr) {
            LocalUnlock(handle);
            LocalFree(handle);
        }
    }
}

} // namespace tavo::spi
