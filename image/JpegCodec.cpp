#include "JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "CodecSupport.h"
#include "ImageCodecs.h"

namespace vantorel {

using namespace codec;

namespace {

// A progressive JPEG can be made of endless tiny scans that take minutes to decode.
constexpr int kMaxJpegScans = 1000;
// Every scan passes over the blocks of its components, however little data it has: an
// arithmetic-coded scan, or a Huffman-coded one of long end-of-band runs, covers a large picture
// in a few bytes. The blocks of all scans together are bounded instead: a sound progressive
// picture at the largest size the memory bound lets through needs well under half of this.
constexpr std::uint64_t kMaxJpegBlockVisits = std::uint64_t(64) << 20;

struct TJpegError {
    jpeg_error_mgr Base; // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info)
{
    auto *error = reinterpret_cast<TJpegError *>(info->err);
    // libjpeg's words for its memory limit name its internals, not the cause.
    if (info->err->msg_code == JERR_NO_BACKING_STORE)
        std::snprintf(error->Message, sizeof error->Message, "the picture needs too much memory to decode");
    else if (info->err->msg_code == JERR_OUT_OF_MEMORY)
        std::snprintf(error->Message, sizeof error->Message, "%s", kNotEnoughMemory);
    else
        (*info->err->format_message)(info, error->Message);
    std::longjmp(error->Jump, 1);
}

// Warnings stay quiet, except that the data ended early: libjpeg would fill the rest of the
// picture with grey and call it a success.
void JpegEmitMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        JpegErrorExit(info);
    if (level < 0)
        ++info->err->num_warnings;
}

struct TJpegProgress {
    jpeg_progress_mgr Base; // first, so libjpeg's pointer to it is a pointer to the whole
    int Scan = 0;
    std::uint64_t BlockVisits = 0;
};

// Called before each piece of input is decoded, so a scan is counted before its blocks are.
void JpegProgress(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
    auto *progress = reinterpret_cast<TJpegProgress *>(info->progress);
    if (decompress->input_scan_number != progress->Scan) {
        progress->Scan = decompress->input_scan_number;
        for (int c = 0; c < decompress->comps_in_scan; ++c)
            progress->BlockVisits += std::uint64_t(decompress->cur_comp_info[c]->width_in_blocks) *
                                     decompress->cur_comp_info[c]->height_in_blocks;
    }
    if (decompress->input_scan_number > kMaxJpegScans || progress->BlockVisits > kMaxJpegBlockVisits) {
        auto *error = reinterpret_cast<TJpegError *>(info->err);
        std::snprintf(error->Message, sizeof error->Message, "too many scans");
        std::longjmp(error->Jump, 1);
    }
}

void InitJpegError(TJpegError &error)
{
    jpeg_std_error(&error.Base);
    error.Base.error_exit = JpegErrorExit;
    error.Base.emit_message = JpegEmitMessage;
    error.Message[0] = '\0';
}

struct TJpegDecoder {
    jpeg_decompress_struct Info{};
    TJpegError Error{};
    TJpegProgress Progress{};

    TJpegDecoder()
    {
        InitJpegError(Error);
        Info.err = &Error.Base;
        Progress.Base.progress_monitor = JpegProgress;
    }
    ~TJpegDecoder() { jpeg_destroy_decompress(&Info); } // safe on a zeroed, never created struct
    TJpegDecoder(const TJpegDecoder &) = delete;
    TJpegDecoder &operator=(const TJpegDecoder &) = delete;
};

bool JpegReadHeader(TJpegDecoder &decoder, std::FILE *file)
{
    if (setjmp(decoder.Error.Jump))
        return false;
    jpeg_create_decompress(&decoder.Info);
    decoder.Info.progress = &decoder.Progress.Base;
    jpeg_stdio_src(&decoder.Info, file);
    jpeg_read_header(&decoder.Info, TRUE);
    return true;
}

// Adobe's CMYK JPEGs store the inks inverted; others store them plainly.
void CmykRowToRgb(const std::uint8_t *cmyk, std::uint8_t *rgb, std::int32_t width, bool inverted)
{
    for (std::int32_t x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned ink = inverted ? cmyk[c] : 255u - cmyk[c];
            rgb[c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
        }
    }
}

bool JpegIsCmyk(const jpeg_decompress_struct &info)
{
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

bool JpegReadRow(TJpegDecoder &decoder, std::uint8_t *row)
{
    JSAMPROW target = row;
    if (jpeg_read_scanlines(&decoder.Info, &target, 1) == 1)
        return true;
    std::snprintf(decoder.Error.Message, sizeof decoder.Error.Message, "the picture data ends early");
    return false;
}

// Starts the decoder and decodes the first row into firstRow. A progressive picture is read
// whole here, so its damage shows before the caller allocates the bitmap.
bool JpegStart(TJpegDecoder &decoder, std::vector<std::uint8_t> &firstRow)
{
    if (setjmp(decoder.Error.Jump))
        return false;
    jpeg_decompress_struct &info = decoder.Info;
    const bool cmyk = JpegIsCmyk(info);
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != (cmyk ? 4 : 3) || info.output_width != info.image_width ||
        info.output_height != info.image_height) {
        std::snprintf(decoder.Error.Message, sizeof decoder.Error.Message, "unexpected decoder output");
        return false;
    }
    return JpegReadRow(decoder, firstRow.data());
}

bool JpegDecodeRest(TJpegDecoder &decoder, TBitmap &bitmap, std::vector<std::uint8_t> &cmykRow)
{
    if (setjmp(decoder.Error.Jump))
        return false;
    jpeg_decompress_struct &info = decoder.Info;
    const bool cmyk = JpegIsCmyk(info);
    while (info.output_scanline < info.output_height) {
        const auto y = static_cast<std::int32_t>(info.output_scanline);
        if (!JpegReadRow(decoder, cmyk ? cmykRow.data() : bitmap.Scanline(y)))
            return false;
        if (cmyk)
            CmykRowToRgb(cmykRow.data(), bitmap.Scanline(y), bitmap.Width(), info.saw_Adobe_marker);
    }
    // Everything is decoded; the rest of the file (normally just its end marker) is not read.
    return true;
}

// Every block of every component that a Huffman-coded file covers takes at least one bit, so a
// header whose smallest component needs more blocks than the file has bits is refused before
// anything is allocated. Arithmetic coding has no such floor: an encoder may leave out the zeros
// that end a scan, so a flat picture of any size fits in a few bytes. Such a file may still make
// a picture of up to this much bitmap; past it, a few bytes would cost the memory of a photo.
constexpr std::uint64_t kMaxJpegUnbackedBytes = std::uint64_t(64) << 20;

void CheckJpegFitsItsFile(const std::string &fileName, const jpeg_decompress_struct &info, std::FILE *file)
{
    if (info.num_components <= 0)
        return;
    std::uint64_t fewest = std::numeric_limits<std::uint64_t>::max();
    for (int c = 0; c < info.num_components; ++c)
        fewest =
            std::min(fewest, std::uint64_t(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks);
    if (fewest > FileBytes(file) * 8 &&
        (!info.arith_code || BitmapBytes(info.image_width, info.image_height) > kMaxJpegUnbackedBytes))
        FailLargerThanFile(fileName, info.image_width, info.image_height);
}

TPoint JpegOpenHeader(TJpegDecoder &decoder, std::FILE *file, const std::string &fileName)
{
    if (!JpegReadHeader(decoder, file))
        Fail(fileName, decoder.Error.Message);
    CheckPictureSize(fileName, decoder.Info.image_width, decoder.Info.image_height);
    CheckJpegFitsItsFile(fileName, decoder.Info, file);
    // A file of several scans keeps every coefficient (up to 6 bytes a pixel) until its last scan,
    // and the bitmap is allocated before the decoder lets go of them: the two share the picture
    // bound. Past it libjpeg refuses rather than allocating (it has no backing store to fall back
    // on); 0 would mean no bound at all.
    decoder.Info.mem->max_memory_to_use = static_cast<long>(std::max<std::uint64_t>(
        kMaxPictureBytes - BitmapBytes(decoder.Info.image_width, decoder.Info.image_height), 1));
    return {static_cast<std::int32_t>(decoder.Info.image_width), static_cast<std::int32_t>(decoder.Info.image_height)};
}

struct TJpegEncoder {
    jpeg_compress_struct Info{};
    TJpegError Error{};

    TJpegEncoder()
    {
        InitJpegError(Error);
        Info.err = &Error.Base;
    }
    ~TJpegEncoder() { jpeg_destroy_compress(&Info); }
    TJpegEncoder(const TJpegEncoder &) = delete;
    TJpegEncoder &operator=(const TJpegEncoder &) = delete;
};

bool JpegEncode(TJpegEncoder &encoder, std::FILE *file, const TBitmap &bitmap, int quality)
{
    if (setjmp(encoder.Error.Jump))
        return false;
    jpeg_compress_struct &info = encoder.Info;
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(bitmap.Width());
    info.image_height = static_cast<JDIMENSION>(bitmap.Height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg's row type is not const, but the encoder only reads the rows.
        JSAMPROW row = const_cast<std::uint8_t *>(bitmap.Scanline(static_cast<std::int32_t>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

} // namespace

TBitmap codec::ReadJpeg(const std::string &fileName)
{
    TFile file = OpenFile(fileName, "rb");
    TJpegDecoder decoder;
    const TPoint size = JpegOpenHeader(decoder, file.get(), fileName);
    const bool cmyk = JpegIsCmyk(decoder.Info);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(size.X) * (cmyk ? 4 : 3));
    if (!JpegStart(decoder, row))
        Fail(fileName, decoder.Error.Message);
    TBitmap bitmap = TBitmap::ForOverwrite(size.X, size.Y); // every row is decoded into
    if (cmyk)
        CmykRowToRgb(row.data(), bitmap.Scanline(0), size.X, decoder.Info.saw_Adobe_marker);
    else
        std::memcpy(bitmap.Scanline(0), row.data(), row.size());
    if (!JpegDecodeRest(decoder, bitmap, row))
        Fail(fileName, decoder.Error.Message);
    return bitmap;
}

void WriteJPEG(const TBitmap &bitmap, const std::string &fileName, int quality, TExisting existing)
{
    CheckWritable(bitmap, fileName);
    const std::unique_ptr<TAtomicFile> file = OpenOutputFile(fileName, existing);
    {
        TJpegEncoder encoder;
        if (!JpegEncode(encoder, file->Stream(), bitmap, quality))
            Fail(fileName, encoder.Error.Message);
    }
    CommitOutputFile(*file);
}

} // namespace vantorel
