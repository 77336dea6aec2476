#include "platform/FolderError.h"

#include <cerrno>

namespace tavo {

namespace {
// The mapped codes 2, 3 and 5 have their own texts; any other error shows its
// errno value, which is what a user can look up on this system.
std::string messageFor(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT: return "ﾌｧｲﾙが見つかりません";
    case ENOTDIR:
    case ENAMETOOLONG: return "不正なﾌｧｲﾙ名です";
    case EACCES:
    case EPERM: return "ﾌｧｲﾙへのｱｸｾｽが拒否されました";
    default: return formatMessage("I/O ｴﾗｰ (%d)", std::to_string(errnoValue));
    }
}
} // namespace

int EInOutError::errorCodeFor(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG: return 3;
    case EACCES:
    case EPERM: return 5;
    default: return errnoValue;
    }
}

EInOutError::EInOutError(int errnoValue)
    : Exception(messageFor(errnoValue)), errnoValue_(errnoValue),
      errorCode_(errorCodeFor(errnoValue))
{
}

} // namespace tavo
