#include "ui/jpegimage.h"

#include "errors/ltexception.h"
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

// libjpeg's default error_exit ends the process. Ours jumps back to the one
// setjmp in decodeInto, whose frame holds only trivially destructible
// objects, and keeps the message for the exception thrown outside it.
struct JumpingErrorManager {
    jpeg_error_mgr base; // first, so that libjpeg's pointer is ours
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpBack(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JumpingErrorManager*>(info->err);
    errors->base.format_message(info, errors->message);
    std::longjmp(errors->back, 1);
}

// A warning means damaged data (a cut-off file decodes into grey): refuse it.
void warningsAreErrors(j_common_ptr info, int level)
{
    if (level < 0)
        jumpBack(info);
}

// Owns the decompressor, which is destroyed however decoding ends.
class Decompressor {
public:
    Decompressor()
    {
        // Creation fails only without memory, which libjpeg's own handler
        // reports; the jump is armed only for decoding.
        info.err = jpeg_std_error(&errors.base);
        jpeg_create_decompress(&info);
        errors.base.error_exit = jumpBack;
        errors.base.emit_message = warningsAreErrors;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct info{};
    JumpingErrorManager errors{};
};

// Far beyond any splash picture, well within what QImage can hold.
constexpr JDIMENSION maxSide = 8192;

// Between setjmp and the libjpeg calls only pointers and integers live here,
// so the jump skips no destructor. False with the message in the manager.
bool decodeInto(jpeg_decompress_struct* info, JumpingErrorManager* errors, const unsigned char* bytes,
                unsigned long size, QImage* out)
{
    if (setjmp(errors->back))
        return false;
    jpeg_mem_src(info, bytes, size);
    jpeg_read_header(info, TRUE);
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    if (info->output_width > maxSide || info->output_height > maxSide) {
        std::snprintf(errors->message, sizeof errors->message, "a %u x %u picture is too large",
                      info->output_width, info->output_height);
        return false;
    }
    *out = QImage(static_cast<int>(info->output_width), static_cast<int>(info->output_height), QImage::Format_RGB888);
    if (out->isNull()) {
        std::snprintf(errors->message, sizeof errors->message, "no memory for a %u x %u picture",
                      info->output_width, info->output_height);
        return false;
    }
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = out->scanLine(static_cast<int>(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

QImage decodeJpeg(const unsigned char* bytes, std::size_t size, const std::string& what)
{
    Decompressor decompressor;
    QImage image;
    if (!decodeInto(&decompressor.info, &decompressor.errors, bytes, static_cast<unsigned long>(size), &image))
        throw LTException(what + " is not a valid JPEG: " + decompressor.errors.message);
    return image;
}
