#include "imaging/JpegSession.h"

#include <algorithm>

#include <jerror.h>

namespace tavo::jpeg {

namespace {
// The source hands libjpeg the file in windows of this size.
constexpr std::size_t kWindowSize = 4096;
// What a truncated file is made to end with, so that it decodes to its end.
const JOCTET kFakeEndOfImage[2] = {0xFF, JPEG_EOI};
} // namespace

Session::Session(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

Session::~Session()
{
    if (created_)
        jpeg_destroy_decompress(&cinfo_);
}

bool Session::create()
{
    cinfo_.err = jpeg_std_error(&errorManager_);
    errorManager_.error_exit = errorExit;
    errorManager_.emit_message = dropMessage;
    errorManager_.output_message = dropOutput;
    cinfo_.client_data = this;
    // Destroying is safe even when creation failed half-way: it frees what exists.
    created_ = true;
    if (!guarded([this] { jpeg_create_decompress(&cinfo_); }))
        return false;
    source_.init_source = initSource;
    source_.fill_input_buffer = fillInputBuffer;
    source_.skip_input_data = skipInputData;
    source_.resync_to_restart = jpeg_resync_to_restart;
    source_.term_source = termSource;
    source_.next_input_byte = nullptr;
    source_.bytes_in_buffer = 0;
    cinfo_.src = &source_;
    return true;
}

void Session::errorExit(j_common_ptr cinfo)
{
    Session& session = of(cinfo);
    session.errorCode_ = cinfo->err->msg_code;
    std::longjmp(session.jump_, 1);
}

// Warnings and trace messages are neither shown nor counted.
void Session::dropMessage(j_common_ptr, int) {}
void Session::dropOutput(j_common_ptr) {}

void Session::initSource(j_decompress_ptr) {}
void Session::termSource(j_decompress_ptr) {}

boolean Session::fillInputBuffer(j_decompress_ptr cinfo)
{
    Session& session = of(reinterpret_cast<j_common_ptr>(cinfo));
    if (session.delivered_ < session.size_) {
        const std::size_t count = std::min(kWindowSize, session.size_ - session.delivered_);
        session.source_.next_input_byte = session.data_ + session.delivered_;
        session.source_.bytes_in_buffer = count;
        session.delivered_ += count;
        return TRUE;
    }
    if (session.delivered_ == 0)
        ERREXIT(cinfo, JERR_INPUT_EMPTY);
    session.source_.next_input_byte = kFakeEndOfImage;
    session.source_.bytes_in_buffer = sizeof kFakeEndOfImage;
    return TRUE;
}

void Session::skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr& source = *cinfo->src;
    while (static_cast<std::size_t>(count) > source.bytes_in_buffer) {
        count -= static_cast<long>(source.bytes_in_buffer);
        fillInputBuffer(cinfo);
    }
    source.next_input_byte += count;
    source.bytes_in_buffer -= static_cast<std::size_t>(count);
}

} // namespace tavo::jpeg
