// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "base/Check.h"
#include "base/Trace.h"

namespace Application
{
namespace
{
// libjpeg reports a fatal error by calling error_exit, whose default ends
// the process: ours jumps back into Compress, which raises it as our error.
// A jump rather than an exception: the library is C and keeps no unwinding
// promises of its own.
struct ErrorManager
{
    jpeg_error_mgr Library;
    std::jmp_buf Return;
    char Message[JMSG_LENGTH_MAX];
};

void ExitOnError(j_common_ptr Info)
{
    auto* Manager = reinterpret_cast<ErrorManager*>(Info->err);
    Manager->Library.format_message(Info, Manager->Message);
    std::longjmp(Manager->Return, 1);
}

// Warnings go to the trace, never to standard error.
void TraceMessage(j_common_ptr Info)
{
    char Message[JMSG_LENGTH_MAX];
    Info->err->format_message(Info, Message);
    TRACE("libjpeg: %s\n", Message);
}

// What the compression works on, in memory that a jump back leaves valid.
struct Compression
{
    jpeg_compress_struct Info;
    ErrorManager Errors;
    unsigned char* Output = nullptr;
    unsigned long OutputSize = 0;
};

// false (the message in Errors) when the library failed. No object with a
// destructor lives in this frame: the jump would skip it.
bool Compress(Compression& Work, std::uint8_t const* Data, std::uint32_t Width, std::uint32_t Height, std::uint32_t Stride, int Quality)
{
    Work.Info.err = jpeg_std_error(&Work.Errors.Library);
    Work.Errors.Library.error_exit = ExitOnError;
    Work.Errors.Library.output_message = TraceMessage;
    if(setjmp(Work.Errors.Return) != 0)
        return false;
    jpeg_create_compress(&Work.Info);
    jpeg_mem_dest(&Work.Info, &Work.Output, &Work.OutputSize);
    Work.Info.image_width = Width;
    Work.Info.image_height = Height;
    Work.Info.input_components = 4;
    Work.Info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&Work.Info);
    jpeg_set_quality(&Work.Info, Quality, TRUE);
    Work.Info.optimize_coding = TRUE;
    jpeg_start_compress(&Work.Info, TRUE);
    while(Work.Info.next_scanline < Work.Info.image_height)
    {
        // libjpeg reads the rows without writing them.
        JSAMPROW Row = const_cast<JSAMPROW>(Data + static_cast<std::size_t>(Work.Info.next_scanline) * Stride);
        jpeg_write_scanlines(&Work.Info, &Row, 1);
    }
    jpeg_finish_compress(&Work.Info);
    return true;
}
} // namespace

std::vector<std::uint8_t> JpegEncoder::Encode(std::uint8_t const* Data, std::uint32_t Width, std::uint32_t Height, std::uint32_t Stride, int Quality)
{
    CHECK_POINTER(Data);
    CHECK_ARGUMENT(Width > 0 && Height > 0 && Width <= MaximalSide && Height <= MaximalSide);
    CHECK_ARGUMENT(Stride >= Width * 4);
    CHECK_ARGUMENT(Quality >= 1 && Quality <= 100);
    Compression Work{};
    bool const Done = Compress(Work, Data, Width, Height, Stride, Quality);
    jpeg_destroy_compress(&Work.Info);
    std::vector<std::uint8_t> Bytes;
    if(Done)
        Bytes.assign(Work.Output, Work.Output + Work.OutputSize);
    // The memory destination allocates with malloc; a failed run may have begun to.
    std::free(Work.Output);
    if(!Done)
        ThrowCheckFailure(E_FAIL, TRACE_CONTEXT(), "jpeg_finish_compress", std::string("JPEG compression failed: ") + Work.Errors.Message);
    return Bytes;
}
} // namespace Application
