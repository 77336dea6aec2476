#include "plugins/PluginHosts.h"

#include "plugins/NativeHost.h"
#include "plugins/SPIErrors.h"
#include "plugins/WineHost.h"

#include <cstring>

namespace tavo {

namespace {

// Readable zeros behind the data, so that IsSupported's 2048-byte block and
// short data never reach past the region.
constexpr std::uint64_t kPadding = TAVO_HOST_MIN_SUPPORTED_BLOCK;

} // namespace

PluginHosts& PluginHosts::instance()
{
    static PluginHosts* hosts = new PluginHosts; // never destroyed: plug-in objects may outlive statics
    return *hosts;
}

PluginHosts::PluginHosts()
{
    kinds_.push_back(std::make_unique<NativeHostKind>());
    // Windows libraries go to a bridge under Wine, one for each width.
    addKind(std::make_unique<WineHostKind>(64));
    addKind(std::make_unique<WineHostKind>(32));
}

void PluginHosts::addKind(std::unique_ptr<HostKind> kind)
{
    kinds_.insert(kinds_.begin(), std::move(kind));
}

const HostKind* PluginHosts::kindFor(const std::string& path) const
{
    for (const auto& kind : kinds_) {
        if (kind->accepts(path))
            return kind.get();
    }
    return nullptr;
}

bool PluginHosts::startsSlowly(const std::string& path)
{
    const HostKind* kind = kindFor(path);
    if (kind == nullptr)
        return false;
    const auto running = running_.find(kind);
    if (running != running_.end() && running->second && running->second->alive())
        return false;
    return !kind->remembered(path) && !kind->prepare();
}

bool PluginHosts::prepare(const std::string& path)
{
    const HostKind* kind = kindFor(path);
    return kind == nullptr || kind->prepare();
}

PluginHost& PluginHosts::host(const HostKind& kind)
{
    std::unique_ptr<PluginHost>& slot = running_[&kind];
    if (slot && slot->alive())
        return *slot;
    slot.reset();
    std::unique_ptr<HostProcess> process = kind.start();
    if (!process)
        throw HostLost(kCannotStartReason, 0);
    slot = std::make_unique<PluginHost>(std::move(process), nextSerial_++);
    return *slot;
}

PluginHost* PluginHosts::runningHost(const HostKind& kind, std::uint64_t serial)
{
    const auto it = running_.find(&kind);
    if (it == running_.end() || !it->second || !it->second->alive() || it->second->serial() != serial)
        return nullptr;
    return it->second.get();
}

void PluginHosts::markFaulted(const std::string& path)
{
    faulted_.insert(path);
}

bool PluginHosts::faulted(const std::string& path) const
{
    return faulted_.count(path) != 0;
}

OutgoingRegion PluginHosts::dataRegion(PluginHost& host, const void* address, std::uint64_t length,
                                       std::uint64_t minimum, std::unique_ptr<OutgoingBlock>* temporary)
{
    const auto* at = static_cast<const std::uint8_t*>(address);
    if (load_ != nullptr && at >= load_->data_.data() && at <= load_->data_.data() + load_->data_.size()) {
        const std::uint64_t offset = static_cast<std::uint64_t>(at - load_->data_.data());
        const std::uint64_t available = load_->data_.size() - offset + kPadding;
        if (length <= available && minimum <= available) {
            std::unique_ptr<OutgoingBlock>& block = load_->blocks_[host.serial()];
            if (!block) {
                const std::size_t size = load_->data_.size() + kPadding;
                // The spare block of this host when it is large enough and not
                // far larger; a new one leaves room for a somewhat larger file
                // next time.
                const auto spare = spareData_.find(host.serial());
                if (spare != spareData_.end() && spare->second->bytes().size() >= size &&
                    spare->second->bytes().size() / 2 <= size)
                    block = std::move(spare->second);
                else
                    block = host.channel().createBlock(size + size / 4);
                if (spare != spareData_.end())
                    spareData_.erase(spare);
                if (!block)
                    throw EOutOfMemory();
                if (!load_->data_.empty())
                    std::memcpy(block->bytes().data(), load_->data_.data(), load_->data_.size());
                std::memset(block->bytes().data() + load_->data_.size(), 0, kPadding);
            }
            return {block.get(), offset, available};
        }
    }
    // Bytes from elsewhere: a copy of the length asked for (at least minimum).
    const std::uint64_t copied = std::max(length, minimum);
    *temporary = host.channel().createBlock(static_cast<std::size_t>(copied + kPadding));
    if (!*temporary)
        throw EOutOfMemory();
    if (copied != 0 && address != nullptr)
        std::memcpy((*temporary)->bytes().data(), address, static_cast<std::size_t>(copied));
    return {temporary->get(), 0, copied + kPadding};
}

PluginHosts::LoadScope::LoadScope(std::span<const std::uint8_t> data) : data_(data)
{
    PluginHosts& hosts = instance();
    outer_ = hosts.load_;
    hosts.load_ = this;
}

PluginHosts::LoadScope::~LoadScope()
{
    PluginHosts& hosts = instance();
    hosts.load_ = outer_;
    // The blocks of running hosts are kept; a host that is gone reads nothing
    // more. (A load inside another takes fresh blocks, so a kept one is never
    // in use.)
    auto running = [&hosts](std::uint64_t serial) {
        for (const auto& [kind, host] : hosts.running_) {
            if (host && host->alive() && host->serial() == serial)
                return true;
        }
        return false;
    };
    for (auto& [serial, block] : blocks_) {
        if (running(serial))
            hosts.spareData_[serial] = std::move(block);
    }
    std::erase_if(hosts.spareData_, [&](const auto& entry) { return !running(entry.first); });
}

} // namespace tavo
