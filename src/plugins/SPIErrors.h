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

// A hardware fault inside a plug-in's entry point: the plug-in, the entry point,
// and what happened.
class ESPIFault : public Exception {
public:
    static constexpr const char* pattern = "%s:Susie Pluginの%sで異常が発生しました（%s）";
    ESPIFault(const std::string& fileName, const std::string& entry, int signal);
    int signal() const { return signal_; }

private:
    int signal_;
};

// A call into a plug-in that faulted earlier in this run: it is not called again.
class ESPIDisabledSPI : public Exception {
public:
    static constexpr const char* pattern = "%s:異常が発生したため使用を止めたSusie Pluginです";
    explicit ESPIDisabledSPI(const std::string& fileName) : Exception(formatMessage(pattern, fileName)) {}
};

} // namespace tavo
