// The boundary to libjpeg. libjpeg reports a fatal error through error_exit,
// which must not return. Unwinding a C++ exception through libjpeg's C frames
// is undefined, so error_exit jumps back (longjmp) into guarded(), which runs a
// body whose frames hold only trivially destructible locals; guarded() then
// reports the failure by its result and the C++ caller throws after cleanup.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace tavo::jpeg {

// One decompressor over a block of memory. The memory must outlive it.
class Session {
public:
    Session(const std::uint8_t* data, std::size_t size);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Creates the decompressor; false when libjpeg failed (see errorCode()).
    bool create();
    jpeg_decompress_struct& info() { return cinfo_; }
    // libjpeg's message code of the last fatal error.
    int errorCode() const { return errorCode_; }

    // Runs body (libjpeg calls only, no locals with destructors); false when a
    // fatal libjpeg error ended it.
    template <class Body>
    bool guarded(Body body)
    {
        if (setjmp(jump_))
            return false;
        body();
        return true;
    }

private:
    static void errorExit(j_common_ptr cinfo);
    static void dropMessage(j_common_ptr cinfo, int level);
    static void dropOutput(j_common_ptr cinfo);
    static void initSource(j_decompress_ptr cinfo);
    static boolean fillInputBuffer(j_decompress_ptr cinfo);
    static void skipInputData(j_decompress_ptr cinfo, long count);
    static void termSource(j_decompress_ptr cinfo);
    static Session& of(j_common_ptr cinfo) { return *static_cast<Session*>(cinfo->client_data); }

    jpeg_decompress_struct cinfo_{};
    jpeg_error_mgr errorManager_{};
    jpeg_source_mgr source_{};
    std::jmp_buf jump_{};
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t delivered_ = 0;
    int errorCode_ = 0;
    bool created_ = false;
};

} // namespace tavo::jpeg
