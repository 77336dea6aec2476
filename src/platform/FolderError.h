// The input/output error of the folder services. Its text follows the system's
// error code the way the original platform reports a failed folder change.
#pragma once

#include "platform/Errors.h"

namespace tavo {

class EInOutError : public Exception {
public:
    // errnoValue: the POSIX error that made the call fail.
    explicit EInOutError(int errnoValue);

    int errnoValue() const { return errnoValue_; }
    // The original platform's code: 2, 3 or 5 for the mapped errors, else the errno value.
    int errorCode() const { return errorCode_; }

    static int errorCodeFor(int errnoValue);

private:
    int errnoValue_;
    int errorCode_;
};

} // namespace tavo
