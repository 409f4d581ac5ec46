// Reduced, upright decoding of JPEG, PNG, TIFF, BMP and GIF pictures.
//
// The libraries report fatal errors by longjmp (libjpeg, libpng): the functions that call them
// keep no object with a destructor alive between their setjmp and the library calls; everything
// that must be released is owned by the caller's frame.
#include "search/picture_decode.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>

#include <jerror.h>
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include "store/record_codec.h"

namespace {

// Sums source pixels into blocks of factorX x factorY pixels (the last ones may be smaller), in
// any order of rows (an interlaced PNG comes in seven passes). With at most kMaxPicturePixels
// pixels and a fitted side of at least the box's, a block holds far fewer than 2^32 / 255 pixels.
class ReducingCanvas {
public:
    ReducingCanvas(uint32_t width, uint32_t height, uint32_t factorX, uint32_t factorY)
        : width_((width + factorX - 1) / factorX), height_((height + factorY - 1) / factorY), factorX_(factorX),
          factorY_(factorY), sums_(static_cast<size_t>(width_) * height_ * 4), column_(width) {
        for (uint32_t x = 0; x < width; ++x) {
            column_[x] = x / factorX;
        }
    }

    // Adds `count` pixels of source row y, the k-th at column x0 + k * step; `rgb` holds 3 bytes a
    // pixel (R, G, B), or 4 with alpha, which is laid over white.
    void AddRow(uint32_t y, uint32_t x0, uint32_t step, const uint8_t *samples, uint32_t count, bool alpha) {
        uint32_t *row = sums_.data() + static_cast<size_t>(y / factorY_) * width_ * 4;
        const size_t channels = alpha ? 4 : 3;
        for (uint32_t k = 0, x = x0; k < count; ++k, x += step) {
            const uint8_t *p = samples + k * channels;
            uint32_t *cell = row + static_cast<size_t>(column_[x]) * 4;
            if (alpha) {
                const uint32_t a = p[3];
                const uint32_t white = 255 * (255 - a);
                cell[0] += (p[0] * a + white + 127) / 255;
                cell[1] += (p[1] * a + white + 127) / 255;
                cell[2] += (p[2] * a + white + 127) / 255;
            } else {
                cell[0] += p[0];
                cell[1] += p[1];
                cell[2] += p[2];
            }
            cell[3] += 1;
        }
    }

    // Adds white pixels at columns x0 .. x1 - 1 of rows y0 .. y1 - 1, a block at a time: what a
    // picture leaves uncovered costs nothing per pixel, however large it says it is.
    void AddWhite(uint32_t y0, uint32_t y1, uint32_t x0, uint32_t x1) {
        if (y0 >= y1 || x0 >= x1) {
            return;
        }
        for (uint32_t by = y0 / factorY_; by < height_ && static_cast<uint64_t>(by) * factorY_ < y1; ++by) {
            const uint64_t rows = std::min<uint64_t>(y1, (static_cast<uint64_t>(by) + 1) * factorY_) -
                                  std::max<uint64_t>(y0, static_cast<uint64_t>(by) * factorY_);
            uint32_t *row = sums_.data() + static_cast<size_t>(by) * width_ * 4;
            for (uint32_t bx = x0 / factorX_; bx < width_ && static_cast<uint64_t>(bx) * factorX_ < x1; ++bx) {
                const uint64_t columns = std::min<uint64_t>(x1, (static_cast<uint64_t>(bx) + 1) * factorX_) -
                                         std::max<uint64_t>(x0, static_cast<uint64_t>(bx) * factorX_);
                const auto count = static_cast<uint32_t>(rows * columns);
                uint32_t *cell = row + static_cast<size_t>(bx) * 4;
                cell[0] += 255 * count;
                cell[1] += 255 * count;
                cell[2] += 255 * count;
                cell[3] += count;
            }
        }
    }

    // The blocks' mean colours, turned upright by `orientation` (image_header.h).
    void Finish(int orientation, ReducedPicture &out) const {
        const bool swap = OrientationSwapsSides(orientation);
        out.width = swap ? height_ : width_;
        out.height = swap ? width_ : height_;
        out.pixels.assign(static_cast<size_t>(width_) * height_, 0xFFFFFFFFu);
        const uint32_t w = width_;
        const uint32_t h = height_;
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t *cell = sums_.data() + (static_cast<size_t>(y) * w + x) * 4;
                if (cell[3] == 0) {
                    continue; // rows a damaged file never delivered stay white
                }
                const uint32_t half = cell[3] / 2;
                const uint32_t r = (cell[0] + half) / cell[3];
                const uint32_t g = (cell[1] + half) / cell[3];
                const uint32_t b = (cell[2] + half) / cell[3];
                uint32_t u = x;
                uint32_t v = y;
                switch (orientation) {
                case 2:
                    u = w - 1 - x;
                    break;
                case 3:
                    u = w - 1 - x;
                    v = h - 1 - y;
                    break;
                case 4:
                    v = h - 1 - y;
                    break;
                case 5:
                    u = y;
                    v = x;
                    break;
                case 6:
                    u = h - 1 - y;
                    v = x;
                    break;
                case 7:
                    u = h - 1 - y;
                    v = w - 1 - x;
                    break;
                case 8:
                    u = y;
                    v = w - 1 - x;
                    break;
                default:
                    break;
                }
                out.pixels[static_cast<size_t>(v) * out.width + u] = 0xFF000000u | (r << 16) | (g << 8) | b;
            }
        }
    }

private:
    uint32_t width_;
    uint32_t height_;
    uint32_t factorX_;
    uint32_t factorY_;
    std::vector<uint32_t> sums_;   // R, G, B, count per block
    std::vector<uint32_t> column_; // block column of each source column
};

// The stored-orientation target for an upright fitted size.
void StoredTarget(const ImageHeader &header, uint32_t fittedWidth, uint32_t fittedHeight, uint32_t &targetWidth,
                  uint32_t &targetHeight) {
    const bool swap = OrientationSwapsSides(header.orientation);
    targetWidth = swap ? fittedHeight : fittedWidth;
    targetHeight = swap ? fittedWidth : fittedHeight;
}

// ---- JPEG ----

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    DecodeStatus status;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    auto *error = reinterpret_cast<JpegError *>(cinfo->err);
    const int code = cinfo->err->msg_code;
    error->status =
        code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY ? DecodeStatus::TooLarge : DecodeStatus::Damaged;
    std::longjmp(error->jump, 1);
}

void JpegMessage(j_common_ptr cinfo, int level) {
    // A file cut short is damaged; other warnings (stray bytes before a marker) are shown as
    // other viewers show them.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        auto *error = reinterpret_cast<JpegError *>(cinfo->err);
        error->status = DecodeStatus::Damaged;
        std::longjmp(error->jump, 1);
    }
}

// A coefficient array of a progressive JPEG read at an eighth of its size, holding only the
// first coefficient (DC) of each block. The library keeps all 64 coefficients of every block
// until the whole file is read, 600 MB for 200 MP, where this keeps 2 bytes a block. Read at an
// eighth, a block of the brightness becomes one pixel, its mean, which only that coefficient
// gives. The library still reads the other coefficients from the file into a window of the rows
// it works on (they are not kept), and is handed blocks without them to draw from: the colour,
// stored at half resolution, is then drawn flat over each 2 x 2 pixels instead of from its first
// few coefficients (a difference that the fitting's averaging all but removes).
struct DcOnlyArray {
    JDIMENSION blocksPerRow = 0;
    JDIMENSION rows = 0;
    JDIMENSION maxAccess = 0;
    std::vector<JCOEF> dc;             // rows x blocksPerRow
    std::vector<JCOEF> window;         // maxAccess x blocksPerRow blocks of DCTSIZE2 coefficients
    std::vector<JBLOCKROW> windowRows; // into `window`
    JDIMENSION windowStart = 0;
    JDIMENSION windowCount = 0;
    bool windowWritable = false; // handed out to be written: its first coefficients may have changed
};

// Everything the JPEG decoding needs that outlives a longjmp.
struct JpegWork {
    jpeg_decompress_struct cinfo;
    JpegError error;
    std::vector<uint8_t> row;
    ReducingCanvas *canvas = nullptr;
    std::vector<std::unique_ptr<DcOnlyArray>> dcArrays;
    uint64_t dcBytes = 0;
};

// What the library's coefficient arrays of a progressive JPEG take: every block of every
// component, its rows and columns rounded up to whole MCUs, 64 coefficients of 2 bytes.
uint64_t ProgressiveCoefficientBytes(const jpeg_decompress_struct &cinfo) {
    uint64_t bytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info &component = cinfo.comp_info[c];
        const uint64_t h = static_cast<uint64_t>(component.h_samp_factor);
        const uint64_t v = static_cast<uint64_t>(component.v_samp_factor);
        bytes += (component.width_in_blocks + h - 1) / h * h * ((component.height_in_blocks + v - 1) / v * v) *
                 sizeof(JBLOCK);
    }
    return bytes;
}

jvirt_barray_ptr RequestDcOnlyArray(j_common_ptr cinfo, int, boolean, JDIMENSION blocksPerRow, JDIMENSION rows,
                                    JDIMENSION maxAccess) {
    auto *work = static_cast<JpegWork *>(cinfo->client_data);
    work->dcBytes +=
        (static_cast<uint64_t>(blocksPerRow) * rows + uint64_t{blocksPerRow} * maxAccess * DCTSIZE2) * sizeof(JCOEF);
    if (work->dcBytes > kDecoderMemoryLimit || maxAccess == 0) {
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    DcOnlyArray *array = nullptr;
    bool allocated = true;
    try {
        work->dcArrays.push_back(std::make_unique<DcOnlyArray>());
        array = work->dcArrays.back().get();
        array->dc.assign(static_cast<size_t>(blocksPerRow) * rows, 0);
        array->window.assign(static_cast<size_t>(blocksPerRow) * maxAccess * DCTSIZE2, 0);
        array->windowRows.resize(maxAccess);
    } catch (const std::bad_alloc &) {
        allocated = false;
    }
    if (!allocated) {
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    array->blocksPerRow = blocksPerRow;
    array->rows = rows;
    array->maxAccess = maxAccess;
    for (JDIMENSION r = 0; r < maxAccess; ++r) {
        array->windowRows[r] =
            reinterpret_cast<JBLOCKROW>(array->window.data() + static_cast<size_t>(r) * blocksPerRow * DCTSIZE2);
    }
    return reinterpret_cast<jvirt_barray_ptr>(array);
}

// Hands the library rows [start, start + count) of an array: the first coefficients of the rows
// handed out before to be written are kept, and the window then carries those of the rows asked
// for; to be drawn (not `writable`), with the other coefficients 0.
JBLOCKARRAY AccessDcOnlyArray(j_common_ptr cinfo, jvirt_barray_ptr handle, JDIMENSION start, JDIMENSION count,
                              boolean writable) {
    auto *array = reinterpret_cast<DcOnlyArray *>(handle);
    if (count > array->maxAccess || start > array->rows || count > array->rows - start) {
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    }
    const size_t perRow = array->blocksPerRow;
    for (JDIMENSION r = 0; array->windowWritable && r < array->windowCount; ++r) {
        JCOEF *dc = array->dc.data() + (array->windowStart + r) * perRow;
        const JBLOCK *blocks = array->windowRows[r];
        for (size_t b = 0; b < perRow; ++b) {
            dc[b] = blocks[b][0];
        }
    }
    for (JDIMENSION r = 0; r < count; ++r) {
        const JCOEF *dc = array->dc.data() + (start + r) * perRow;
        JBLOCK *blocks = array->windowRows[r];
        if (!writable) {
            std::memset(blocks, 0, perRow * sizeof(JBLOCK));
        }
        for (size_t b = 0; b < perRow; ++b) {
            blocks[b][0] = dc[b];
        }
    }
    array->windowStart = start;
    array->windowCount = count;
    array->windowWritable = writable != FALSE;
    return array->windowRows.data();
}

DecodeStatus DecodeJpeg(std::FILE *file, uint32_t targetWidth, uint32_t targetHeight, JpegWork &work,
                        std::vector<ReducingCanvas> &canvasHolder) {
    jpeg_decompress_struct &cinfo = work.cinfo;
    cinfo.err = jpeg_std_error(&work.error.manager);
    work.error.manager.error_exit = JpegErrorExit;
    work.error.manager.emit_message = JpegMessage;
    work.error.status = DecodeStatus::Ok;
    if (setjmp(work.error.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return work.error.status;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = static_cast<long>(kDecoderMemoryLimit);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (!ImageHeaderAcceptable({ImageFormat::Jpeg, true, cinfo.image_width, cinfo.image_height})) {
        jpeg_destroy_decompress(&cinfo);
        return DecodeStatus::TooLarge; // the frame header disagrees with the first one read
    }
    const uint32_t fx = ReductionFactor(cinfo.image_width, targetWidth);
    const uint32_t fy = ReductionFactor(cinfo.image_height, targetHeight);
    const uint32_t both = fx < fy ? fx : fy;
    cinfo.scale_num = 1;
    cinfo.scale_denom = both >= 8 ? 8 : both >= 4 ? 4 : both >= 2 ? 2 : 1;
    if (cinfo.progressive_mode && cinfo.scale_denom == 8 && ProgressiveCoefficientBytes(cinfo) > kDecoderMemoryLimit) {
        // Its coefficient arrays keep only what an eighth needs. Block smoothing, which guesses
        // the coefficients of scans not yet read from the neighbouring blocks, is for pictures
        // shown while they load, not once read whole.
        cinfo.client_data = &work;
        cinfo.mem->request_virt_barray = RequestDcOnlyArray;
        cinfo.mem->access_virt_barray = AccessDcOnlyArray;
        cinfo.do_block_smoothing = FALSE;
    } else if (cinfo.progressive_mode) {
        if (static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > kWholePictureLimit) {
            jpeg_destroy_decompress(&cinfo);
            return DecodeStatus::TooLarge;
        }
        cinfo.mem->max_memory_to_use = static_cast<long>(kProgressiveJpegMemoryLimit);
    }
    cinfo.out_color_space = JCS_RGB; // grey and CMYK/YCCK pictures become RGB too
    cinfo.dct_method = JDCT_ISLOW;
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        cinfo.out_color_space = JCS_CMYK;
    }
    jpeg_calc_output_dimensions(&cinfo);
    canvasHolder.emplace_back(cinfo.output_width, cinfo.output_height, ReductionFactor(cinfo.output_width, targetWidth),
                              ReductionFactor(cinfo.output_height, targetHeight));
    work.canvas = &canvasHolder.back();
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    work.row.resize(static_cast<size_t>(cinfo.output_width) * (cmyk ? 4 : 3));
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        const uint32_t y = cinfo.output_scanline;
        JSAMPROW rows[1] = {work.row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        if (cmyk) {
            // Adobe's CMYK JPEGs store inverted ink: the colour is the product of the values.
            uint8_t *p = work.row.data();
            for (uint32_t x = 0; x < cinfo.output_width; ++x) {
                const uint32_t k = p[x * 4 + 3];
                p[x * 3 + 0] = static_cast<uint8_t>(p[x * 4 + 0] * k / 255);
                p[x * 3 + 1] = static_cast<uint8_t>(p[x * 4 + 1] * k / 255);
                p[x * 3 + 2] = static_cast<uint8_t>(p[x * 4 + 2] * k / 255);
            }
        }
        work.canvas->AddRow(y, 0, 1, work.row.data(), cinfo.output_width, false);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return DecodeStatus::Ok;
}

// ---- PNG ----

struct PngWork {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> row;
    std::vector<ReducingCanvas> canvas;
};

void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

DecodeStatus DecodePng(std::FILE *file, uint32_t targetWidth, uint32_t targetHeight, PngWork &work) {
    work.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (work.png == nullptr) {
        return DecodeStatus::TooLarge;
    }
    work.info = png_create_info_struct(work.png);
    if (work.info == nullptr) {
        return DecodeStatus::TooLarge;
    }
    if (setjmp(png_jmpbuf(work.png)) != 0) {
        return DecodeStatus::Damaged;
    }
    png_init_io(work.png, file);
    png_set_user_limits(work.png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(work.png, work.info);
    const png_uint_32 width = png_get_image_width(work.png, work.info);
    const png_uint_32 height = png_get_image_height(work.png, work.info);
    if (!ImageHeaderAcceptable({ImageFormat::Png, true, width, height})) {
        return DecodeStatus::TooLarge;
    }
    png_set_expand(work.png);
    png_set_strip_16(work.png);
    png_set_gray_to_rgb(work.png);
    png_read_update_info(work.png, work.info);
    const bool alpha = png_get_channels(work.png, work.info) == 4;
    work.row.resize(png_get_rowbytes(work.png, work.info));
    work.canvas.emplace_back(width, height, ReductionFactor(width, targetWidth), ReductionFactor(height, targetHeight));
    ReducingCanvas &canvas = work.canvas.back();
    if (png_get_interlace_type(work.png, work.info) == PNG_INTERLACE_ADAM7) {
        // Without interlace handling each pass comes as its own small picture, placed here.
        for (int pass = 0; pass < 7; ++pass) {
            const png_uint_32 columns = PNG_PASS_COLS(width, pass);
            const png_uint_32 rows = PNG_PASS_ROWS(height, pass);
            if (columns == 0 || rows == 0) {
                continue;
            }
            for (png_uint_32 r = 0; r < rows; ++r) {
                png_read_row(work.png, work.row.data(), nullptr);
                canvas.AddRow(PNG_ROW_FROM_PASS_ROW(r, pass), PNG_COL_FROM_PASS_COL(0, pass), PNG_PASS_COL_OFFSET(pass),
                              work.row.data(), columns, alpha);
            }
        }
    } else {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(work.png, work.row.data(), nullptr);
            canvas.AddRow(y, 0, 1, work.row.data(), width, alpha);
        }
    }
    png_read_end(work.png, nullptr);
    return DecodeStatus::Ok;
}

// ---- TIFF ----

tmsize_t TiffRead(thandle_t handle, void *buffer, tmsize_t size) {
    return static_cast<tmsize_t>(std::fread(buffer, 1, static_cast<size_t>(size), static_cast<std::FILE *>(handle)));
}

tmsize_t TiffWrite(thandle_t, void *, tmsize_t) {
    return 0;
}

int64_t Tell(std::FILE *file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

int Seek(std::FILE *file, int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file, offset, whence);
#else
    return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
    auto *file = static_cast<std::FILE *>(handle);
    if (Seek(file, static_cast<int64_t>(offset), whence) != 0) {
        return static_cast<toff_t>(-1);
    }
    return static_cast<toff_t>(Tell(file));
}

int TiffClose(thandle_t) {
    return 0;
}

toff_t TiffSize(thandle_t handle) {
    auto *file = static_cast<std::FILE *>(handle);
    const int64_t here = Tell(file);
    Seek(file, 0, SEEK_END);
    const int64_t end = Tell(file);
    Seek(file, here, SEEK_SET);
    return static_cast<toff_t>(end);
}

int TiffQuiet(TIFF *, void *, const char *, const char *, va_list) {
    return 1; // handled: nothing is printed
}

struct TiffCloser {
    void operator()(TIFF *tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

DecodeStatus DecodeTiff(std::FILE *file, uint32_t targetWidth, uint32_t targetHeight,
                        std::vector<ReducingCanvas> &canvasHolder) {
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kDecoderMemoryLimit));
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffQuiet, nullptr);
    TiffHandle tiff(TIFFClientOpenExt("picture", "rm", file, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                      nullptr, nullptr, options));
    TIFFOpenOptionsFree(options);
    if (tiff.get() == nullptr) {
        return DecodeStatus::Damaged;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t photometric = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) ||
        !TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric)) {
        return DecodeStatus::Damaged;
    }
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
    if (!ImageHeaderAcceptable({ImageFormat::Tiff, true, width, height})) {
        return DecodeStatus::TooLarge;
    }
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    const bool supported =
        bits == 8 && planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tiff.get()) &&
        ((photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4)) ||
         (grey && (samples == 1 || samples == 2)) || (photometric == PHOTOMETRIC_PALETTE && samples == 1));
    if (!supported) {
        return DecodeStatus::Unsupported;
    }
    uint16_t *red = nullptr;
    uint16_t *green = nullptr;
    uint16_t *blue = nullptr;
    if (photometric == PHOTOMETRIC_PALETTE && !TIFFGetField(tiff.get(), TIFFTAG_COLORMAP, &red, &green, &blue)) {
        return DecodeStatus::Damaged;
    }
    const bool alpha = samples == 4 || (grey && samples == 2);
    const tmsize_t lineBytes = TIFFScanlineSize(tiff.get());
    if (lineBytes < static_cast<tmsize_t>(width) * samples) {
        return DecodeStatus::Damaged;
    }
    std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 4);
    canvasHolder.emplace_back(width, height, ReductionFactor(width, targetWidth),
                              ReductionFactor(height, targetHeight));
    ReducingCanvas &canvas = canvasHolder.back();
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff.get(), line.data(), y, 0) < 0) {
            return DecodeStatus::Damaged;
        }
        const uint8_t *samplesOfRow = line.data();
        if (photometric != PHOTOMETRIC_RGB) {
            const size_t out = alpha ? 4 : 3;
            for (uint32_t x = 0; x < width; ++x) {
                uint8_t *p = rgb.data() + x * out;
                const uint8_t value = line[x * samples];
                if (photometric == PHOTOMETRIC_PALETTE) {
                    p[0] = static_cast<uint8_t>(red[value] >> 8);
                    p[1] = static_cast<uint8_t>(green[value] >> 8);
                    p[2] = static_cast<uint8_t>(blue[value] >> 8);
                } else {
                    const uint8_t level = photometric == PHOTOMETRIC_MINISWHITE ? 255 - value : value;
                    p[0] = p[1] = p[2] = level;
                    if (alpha) {
                        p[3] = line[x * samples + 1];
                    }
                }
            }
            samplesOfRow = rgb.data();
        }
        canvas.AddRow(y, 0, 1, samplesOfRow, width, alpha);
    }
    return DecodeStatus::Ok;
}

// ---- BMP ----

// Uncompressed Windows bitmaps of 1, 4, 8, 24 or 32 bits a pixel (32 bits: blue, green, red and
// an unused byte, as GDI+ shows them), bottom-up or top-down, read row by row. Compressed ones
// (run lengths, bit fields other than the plain layout, embedded JPEG or PNG) and the old OS/2
// headers are Unsupported.
DecodeStatus DecodeBmp(std::FILE *file, uint32_t targetWidth, uint32_t targetHeight,
                       std::vector<ReducingCanvas> &canvasHolder) {
    uint8_t header[54];
    if (std::fread(header, 1, sizeof header, file) != sizeof header) {
        return DecodeStatus::Damaged;
    }
    const uint32_t pixelsAt = GetU32LE(header + 10);
    const uint32_t infoSize = GetU32LE(header + 14);
    const int32_t width = static_cast<int32_t>(GetU32LE(header + 18));
    const int32_t storedHeight = static_cast<int32_t>(GetU32LE(header + 22));
    const uint32_t planes = header[26] | (header[27] << 8);
    const uint32_t bits = header[28] | (header[29] << 8);
    const uint32_t compression = GetU32LE(header + 30);
    const uint32_t coloursUsed = GetU32LE(header + 46);
    if (infoSize < 40 || planes != 1) {
        return DecodeStatus::Unsupported;
    }
    bool plainBitFields = false;
    if (compression == 3 && bits == 32 && infoSize >= 52) {
        uint8_t masks[12];
        if (std::fread(masks, 1, sizeof masks, file) != sizeof masks) {
            return DecodeStatus::Damaged;
        }
        plainBitFields =
            GetU32LE(masks) == 0x00FF0000u && GetU32LE(masks + 4) == 0x0000FF00u && GetU32LE(masks + 8) == 0x000000FFu;
    }
    const bool palette = bits == 1 || bits == 4 || bits == 8;
    if (!(compression == 0 || plainBitFields) || !(palette || bits == 24 || bits == 32)) {
        return DecodeStatus::Unsupported;
    }
    const uint32_t height =
        storedHeight < 0 ? 0u - static_cast<uint32_t>(storedHeight) : static_cast<uint32_t>(storedHeight);
    if (width <= 0 || height == 0 ||
        !ImageHeaderAcceptable({ImageFormat::Bmp, true, static_cast<uint32_t>(width), height})) {
        return width <= 0 || height == 0 ? DecodeStatus::Damaged : DecodeStatus::TooLarge;
    }
    const uint32_t w = static_cast<uint32_t>(width);
    // The colour table follows the information header: as many entries as it says, or all that
    // the depth can index; an index beyond the table is black.
    uint8_t table[256 * 4] = {};
    if (palette) {
        const uint32_t entries = coloursUsed == 0 || coloursUsed > (1u << bits) ? 1u << bits : coloursUsed;
        if (std::fseek(file, 14 + static_cast<long>(infoSize), SEEK_SET) != 0 ||
            std::fread(table, 4, entries, file) != entries) {
            return DecodeStatus::Damaged;
        }
    }
    const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
    std::vector<uint8_t> row(stride);
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3);
    if (std::fseek(file, static_cast<long>(pixelsAt), SEEK_SET) != 0) {
        return DecodeStatus::Damaged;
    }
    canvasHolder.emplace_back(w, height, ReductionFactor(w, targetWidth), ReductionFactor(height, targetHeight));
    ReducingCanvas &canvas = canvasHolder.back();
    for (uint32_t i = 0; i < height; ++i) {
        if (std::fread(row.data(), 1, stride, file) != stride) {
            return DecodeStatus::Damaged;
        }
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t *out = rgb.data() + static_cast<size_t>(x) * 3;
            const uint8_t *bgr = nullptr;
            if (palette) {
                const uint32_t perByte = 8 / bits;
                const uint32_t shift = 8 - bits * (x % perByte + 1);
                bgr = table + ((row[x / perByte] >> shift) & ((1u << bits) - 1)) * 4;
            } else {
                bgr = row.data() + static_cast<size_t>(x) * (bits / 8);
            }
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
        }
        canvas.AddRow(storedHeight < 0 ? i : height - 1 - i, 0, 1, rgb.data(), w, false);
    }
    return DecodeStatus::Ok;
}

// ---- GIF ----

int GifRead(GifFileType *gif, GifByteType *bytes, int count) {
    return static_cast<int>(std::fread(bytes, 1, static_cast<size_t>(count), static_cast<std::FILE *>(gif->UserData)));
}

struct GifCloser {
    void operator()(GifFileType *gif) const { DGifCloseFile(gif, nullptr); }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// The first image of a GIF (as GDI+ shows it), read row by row in any interlacing, placed on its
// screen; what the image leaves uncovered, and its transparent colour, show white.
DecodeStatus DecodeGif(std::FILE *file, uint32_t targetWidth, uint32_t targetHeight,
                       std::vector<ReducingCanvas> &canvasHolder) {
    int error = 0;
    GifHandle gif(DGifOpen(file, GifRead, &error));
    if (gif.get() == nullptr) {
        return DecodeStatus::Damaged;
    }
    int transparent = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK || record == TERMINATE_RECORD_TYPE) {
            return DecodeStatus::Damaged; // no image
        }
        if (record == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        if (record != EXTENSION_RECORD_TYPE) {
            continue;
        }
        int code = 0;
        GifByteType *block = nullptr;
        if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) {
            return DecodeStatus::Damaged;
        }
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4 && (block[1] & 0x01) != 0) {
            transparent = block[4];
        }
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) {
                return DecodeStatus::Damaged;
            }
        }
    }
    if (DGifGetImageDesc(gif.get()) != GIF_OK) {
        return DecodeStatus::Damaged;
    }
    const GifImageDesc &image = gif.get()->Image;
    const ColorMapObject *colours = image.ColorMap != nullptr ? image.ColorMap : gif.get()->SColorMap;
    const uint32_t left = static_cast<uint32_t>(image.Left);
    const uint32_t top = static_cast<uint32_t>(image.Top);
    const uint32_t frameWidth = static_cast<uint32_t>(image.Width);
    const uint32_t frameHeight = static_cast<uint32_t>(image.Height);
    const uint32_t width = std::max<uint32_t>(static_cast<uint32_t>(gif.get()->SWidth), left + frameWidth);
    const uint32_t height = std::max<uint32_t>(static_cast<uint32_t>(gif.get()->SHeight), top + frameHeight);
    if (width == 0 || height == 0 || frameWidth == 0 || frameHeight == 0) {
        return DecodeStatus::Damaged;
    }
    if (!ImageHeaderAcceptable({ImageFormat::Gif, true, width, height})) {
        return DecodeStatus::TooLarge;
    }
    canvasHolder.emplace_back(width, height, ReductionFactor(width, targetWidth),
                              ReductionFactor(height, targetHeight));
    ReducingCanvas &canvas = canvasHolder.back();
    std::vector<GifPixelType> line(frameWidth);
    std::vector<uint8_t> rgb(static_cast<size_t>(frameWidth) * 3);
    const auto addFrameRow = [&](uint32_t y) {
        for (uint32_t x = 0; x < frameWidth; ++x) {
            uint8_t *p = rgb.data() + static_cast<size_t>(x) * 3;
            const int index = line[x];
            if (index == transparent) {
                p[0] = p[1] = p[2] = 255;
            } else if (colours != nullptr && index < colours->ColorCount) {
                p[0] = colours->Colors[index].Red;
                p[1] = colours->Colors[index].Green;
                p[2] = colours->Colors[index].Blue;
            } else {
                p[0] = p[1] = p[2] = 0;
            }
        }
        canvas.AddRow(top + y, left, 1, rgb.data(), frameWidth, false);
        canvas.AddWhite(top + y, top + y + 1, 0, left);
        canvas.AddWhite(top + y, top + y + 1, left + frameWidth, width);
    };
    // An interlaced image comes in four passes: every 8th row from 0, every 8th from 4, every
    // 4th from 2, every 2nd from 1.
    const uint32_t starts[4] = {0, 4, 2, 1};
    const uint32_t steps[4] = {8, 8, 4, 2};
    const int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const uint32_t start = image.Interlace ? starts[pass] : 0;
        const uint32_t step = image.Interlace ? steps[pass] : 1;
        for (uint32_t y = start; y < frameHeight; y += step) {
            if (DGifGetLine(gif.get(), line.data(), static_cast<int>(frameWidth)) != GIF_OK) {
                return DecodeStatus::Damaged;
            }
            addFrameRow(y);
        }
    }
    canvas.AddWhite(0, top, 0, width);
    canvas.AddWhite(top + frameHeight, height, 0, width);
    return DecodeStatus::Ok;
}

} // namespace

uint32_t ReductionFactor(uint64_t side, uint32_t target) {
    if (target == 0 || side <= target) {
        return 1;
    }
    const uint64_t factor = side / target;
    return factor > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(factor);
}

ReducedPicture DecodeReducedPicture(std::FILE *file, const ImageHeader &header, uint32_t fittedWidth,
                                    uint32_t fittedHeight) {
    ReducedPicture result;
    if (!header.sizeKnown) {
        result.status = header.format == ImageFormat::Unknown ? DecodeStatus::Unsupported : DecodeStatus::Damaged;
        return result;
    }
    if (!ImageHeaderAcceptable(header)) {
        result.status = DecodeStatus::TooLarge;
        return result;
    }
    uint32_t targetWidth = 0;
    uint32_t targetHeight = 0;
    StoredTarget(header, fittedWidth, fittedHeight, targetWidth, targetHeight);
    std::rewind(file);
    std::vector<ReducingCanvas> canvas; // zero or one, made once the decoder knows the size
    switch (header.format) {
    case ImageFormat::Jpeg: {
        JpegWork work;
        result.status = DecodeJpeg(file, targetWidth, targetHeight, work, canvas);
        break;
    }
    case ImageFormat::Png: {
        PngWork work;
        result.status = DecodePng(file, targetWidth, targetHeight, work);
        png_destroy_read_struct(&work.png, &work.info, nullptr);
        canvas = std::move(work.canvas);
        break;
    }
    case ImageFormat::Tiff:
        result.status = DecodeTiff(file, targetWidth, targetHeight, canvas);
        break;
    case ImageFormat::Bmp:
        result.status = DecodeBmp(file, targetWidth, targetHeight, canvas);
        break;
    case ImageFormat::Gif:
        result.status = DecodeGif(file, targetWidth, targetHeight, canvas);
        break;
    default:
        result.status = DecodeStatus::Unsupported;
        break;
    }
    if (result.status == DecodeStatus::Ok && !canvas.empty()) {
        canvas.back().Finish(header.orientation, result);
    } else if (result.status == DecodeStatus::Ok) {
        result.status = DecodeStatus::Damaged;
    }
    return result;
}
