// The errors of plug-in binding and discovery.
#pragma once

#include "platform/Errors.h"

#include <initializer_list>
#include <string>

namespace tavo {

// Replaces each "%s" of a pattern, left to right, by the next argument; an
// argument that itself holds "%s" is not formatted again.
std::string formatMessageArgs(const std::string& pattern, std::initializer_list<std::string> arguments);

// The library cannot be loaded; the path as given.
class ESPIFOpenErrorSPI : public Exception {
public:
    static constexpr const char* pattern = "%s:Susie Pluginがロードできませんでした";
    explicit ESPIFOpenErrorSPI(const std::string& path) : Exception(formatMessage(pattern, path)) {}
};

// The library lacks an entry point its class needs.
class ESPIInvalidSPI : public Exception {
public:
    static constexpr const char* pattern = "%s:認識できないSusie Pluginです";
    explicit ESPIInvalidSPI(const std::string& fileName) : Exception(formatMessage(pattern, fileName)) {}
};

// A wrapper was called whose entry point is not bound.
class ESPIInvalidAPI : public Exception {
public:
    static constexpr const char* pattern = "%sは[%s]では使えないSusie Plugin APIです";
    ESPIInvalidAPI(const std::string& entry, const std::string& fileName)
        : Exception(formatMessageArgs(pattern, {entry, fileName}))
    {
    }
};

// A second live registry.
TAVO_FIXED_ERROR(ESPIDupCreateSPIs, "TSPIs は複数生成できません")

// The plug-in host ended during a call into a plug-in (a fault, an exit, a
// hang, a broken reply): the plug-in, the entry point, and what happened.
class ESPIFault : public Exception {
public:
    static constexpr const char* pattern = "%s:Susie Pluginの%sで異常が発生しました（%s）";
    ESPIFault(const std::string& fileName, const std::string& entry, const std::string& reason, int signal = 0);
    // The text of one or more such errors, as the search reports them.
    explicit ESPIFault(const std::string& message) : Exception(message), signal_(0) {}
    // The signal that ended the host, 0 when none did.
    int signal() const { return signal_; }

private:
    int signal_;
};

// The entry-point part of ESPIFault's message while the library is loaded.
inline constexpr const char* kLoadEntry = "ロード";
// The reasons of ESPIFault besides a signal's name.
inline constexpr const char* kExitCodeReason = "終了コード %s";
inline constexpr const char* kNoResponseReason = "応答なし";
inline constexpr const char* kBadReplyReason = "不正な応答";
inline constexpr const char* kCannotStartReason = "ホストを起動できません";

// A signal's name as the reason of ESPIFault.
std::string describeSignal(int signal);

// A call into a plug-in that faulted earlier in this run: it is not called again.
class ESPIDisabledSPI : public Exception {
public:
    static constexpr const char* pattern = "%s:異常が発生したため使用を止めたSusie Pluginです";
    explicit ESPIDisabledSPI(const std::string& fileName) : Exception(formatMessage(pattern, fileName)) {}
};

} // namespace tavo
