// The plug-in hosts of the process: the kinds of host and which library goes
// to which, the one running host of each kind (started when first needed,
// started afresh after one was lost), the libraries that brought a host down,
// and the file bytes of the load in progress, shared with the hosts.
#pragma once

#include "plugins/PluginHost.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tavo {

class PluginHosts {
public:
    // The process's one instance; it never goes, so plug-in objects may
    // outlive anything else.
    static PluginHosts& instance();

    // Another kind of host; kinds added later are asked first. The native
    // kind is there from the start.
    void addKind(std::unique_ptr<HostKind> kind);
    // The kind that takes the library at path, or nullptr.
    const HostKind* kindFor(const std::string& path) const;

    // Whether reaching the host of the library at path would wait now: its
    // kind must prepare first (and has begun to), no host of it runs, and no
    // earlier run told what the library holds.
    bool startsSlowly(const std::string& path);
    // Prepares the host of the library at path without waiting; true when
    // starting it would not wait (or there is nothing to wait for).
    bool prepare(const std::string& path);

    // The running host of a kind, started when there is none; HostLost when it
    // cannot be started.
    PluginHost& host(const HostKind& kind);
    // The running host of a kind if it is the one with that serial, else nullptr.
    PluginHost* runningHost(const HostKind& kind, std::uint64_t serial);

    // Libraries that brought their host down in this run, by path.
    void markFaulted(const std::string& path);
    bool faulted(const std::string& path) const;

    // The region a host reads length bytes at address from (at least minimum
    // of them readable, zero after the data): the shared copy of the load in
    // progress when address lies in it, else a copy held by *temporary.
    OutgoingRegion dataRegion(PluginHost& host, const void* address, std::uint64_t length, std::uint64_t minimum,
                              std::unique_ptr<OutgoingBlock>* temporary);

    // The file bytes of one load, for its duration: copied once per host into
    // shared memory, so that every call of the load reads them in place. The
    // shared memory is kept for the next load of each host: a picture after
    // another writes into pages already touched rather than fresh ones.
    class LoadScope {
    public:
        explicit LoadScope(std::span<const std::uint8_t> data);
        ~LoadScope();
        LoadScope(const LoadScope&) = delete;
        LoadScope& operator=(const LoadScope&) = delete;

    private:
        friend class PluginHosts;
        std::span<const std::uint8_t> data_;
        std::map<std::uint64_t, std::unique_ptr<OutgoingBlock>> blocks_; // by host serial
        LoadScope* outer_;
    };

private:
    PluginHosts();

    std::vector<std::unique_ptr<HostKind>> kinds_;
    std::map<const HostKind*, std::unique_ptr<PluginHost>> running_;
    std::set<std::string> faulted_;
    std::uint64_t nextSerial_ = 1;
    LoadScope* load_ = nullptr;
    // Data blocks of ended loads, by host serial, for the next load.
    std::map<std::uint64_t, std::unique_ptr<OutgoingBlock>> spareData_;
};

} // namespace tavo
