#include "plugins/SPIErrors.h"

#include <csignal>

namespace tavo {

std::string describeSignal(int signal)
{
    switch (signal) {
    case SIGSEGV: return "メモリ保護違反";
    case SIGBUS: return "バスエラー";
    case SIGFPE: return "演算例外";
    case SIGILL: return "不正な命令";
    case SIGABRT: return "強制終了";
    default: return "シグナル " + std::to_string(signal);
    }
}

std::string formatMessageArgs(const std::string& pattern, std::initializer_list<std::string> arguments)
{
    std::string result;
    auto next = arguments.begin();
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = pattern.find("%s", from);
        if (at == std::string::npos || next == arguments.end())
            break;
        result.append(pattern, from, at - from);
        result += *next++;
        from = at + 2;
    }
    result.append(pattern, from, std::string::npos);
    return result;
}

ESPIFault::ESPIFault(const std::string& fileName, const std::string& entry, const std::string& reason, int signal)
    : Exception(formatMessageArgs(pattern, {fileName, entry, reason}))
    , signal_(signal)
{
}

} // namespace tavo
