// Time and peak memory of the picture display's decoding, natively, for photo-like pictures of
// the sizes phones and cameras write: JPEGs of 12, 50, 108 and 200 MP, a 100 MP PNG and a 100 MP
// TIFF (smooth gradients with noise, so that they compress like photos), progressive JPEGs of 24
// and 200 MP, a 200 MP BMP and a 200 MP GIF. Each picture is written
// once into FOLDER, then decoded for the picture box (header, fitting, reduced decoding) in a child
// process of its own, cold (the file evicted from the page cache: fsync + POSIX_FADV_DONTNEED) and
// warm, next to one sequential read of the same file in the same state. Peak memory is the child's
// peak resident size above its resident size before decoding. Prints a Markdown table.
//
//   picture_decode_time FOLDER
#include "search/image_header.h"
#include "search/picture_decode.h"
#include "search/picture_fit.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

// A photo-like colour for a pixel: gradients with some noise.
struct Photo {
    uint32_t seed = 12345;
    void Pixel(uint32_t x, uint32_t y, uint32_t width, uint32_t height, uint8_t *rgb) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>((seed >> 16) & 15) - 8;
        auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
        rgb[0] = clamp(static_cast<int>(x * 200ull / width) + 30 + noise);
        rgb[1] = clamp(static_cast<int>(y * 180ull / height) + 40 + noise);
        rgb[2] = clamp(static_cast<int>((x + y) * 120ull / (width + height)) + 60 - noise);
    }
};

void WriteJpegOf(const std::string &path, uint32_t width, uint32_t height, bool progressive) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(width * 3);
    Photo photo;
    while (cinfo.next_scanline < height) {
        for (uint32_t x = 0; x < width; ++x) {
            photo.Pixel(x, cinfo.next_scanline, width, height, &row[x * 3]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

void WriteJpeg(const std::string &path, uint32_t width, uint32_t height) {
    WriteJpegOf(path, width, height, false);
}

void WriteProgressiveJpeg(const std::string &path, uint32_t width, uint32_t height) {
    WriteJpegOf(path, width, height, true);
}

// An uncompressed 24-bit bitmap, bottom-up.
void WriteBmp(const std::string &path, uint32_t width, uint32_t height) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    const uint32_t stride = (width * 3 + 3) / 4 * 4;
    uint8_t header[54] = {'B', 'M'};
    const auto put = [&header](size_t at, uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            header[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    put(2, 54 + static_cast<uint64_t>(stride) * height, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, height, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    std::fwrite(header, 1, sizeof header, file);
    std::vector<uint8_t> rgb(width * 3);
    std::vector<uint8_t> row(stride, 0);
    Photo photo;
    for (uint32_t i = 0; i < height; ++i) {
        for (uint32_t x = 0; x < width; ++x) {
            photo.Pixel(x, height - 1 - i, width, height, &rgb[x * 3]);
            row[x * 3] = rgb[x * 3 + 2];
            row[x * 3 + 1] = rgb[x * 3 + 1];
            row[x * 3 + 2] = rgb[x * 3];
        }
        std::fwrite(row.data(), 1, stride, file);
    }
    std::fclose(file);
}

// A GIF in the 216 colours of a 6 x 6 x 6 cube.
void WriteGif(const std::string &path, uint32_t width, uint32_t height) {
    std::vector<GifColorType> cube(256);
    for (int i = 0; i < 216; ++i) {
        cube[i] = {static_cast<GifByteType>(i / 36 * 51), static_cast<GifByteType>(i / 6 % 6 * 51),
                   static_cast<GifByteType>(i % 6 * 51)};
    }
    int error = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
    ColorMapObject *map = GifMakeMapObject(256, cube.data());
    EGifPutScreenDesc(gif, static_cast<int>(width), static_cast<int>(height), 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, static_cast<int>(width), static_cast<int>(height), false, nullptr);
    std::vector<uint8_t> rgb(3);
    std::vector<GifPixelType> line(width);
    Photo photo;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            photo.Pixel(x, y, width, height, rgb.data());
            line[x] = static_cast<GifPixelType>((rgb[0] + 25) / 51 * 36 + (rgb[1] + 25) / 51 * 6 + (rgb[2] + 25) / 51);
        }
        EGifPutLine(gif, line.data(), static_cast<int>(width));
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
}

void WritePng(const std::string &path, uint32_t width, uint32_t height) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(width * 3);
    Photo photo;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            photo.Pixel(x, y, width, height, &row[x * 3]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void WriteTiff(const std::string &path, uint32_t width, uint32_t height) {
    TIFF *tiff = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<uint8_t> row(width * 3);
    Photo photo;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            photo.Pixel(x, y, width, height, &row[x * 3]);
        }
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
}

long StatusKb(const char *field) {
    std::FILE *status = std::fopen("/proc/self/status", "r");
    char line[256];
    long value = -1;
    while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, field, std::strlen(field)) == 0) {
            value = std::strtol(line + std::strlen(field) + 1, nullptr, 10);
        }
    }
    if (status != nullptr) {
        std::fclose(status);
    }
    return value;
}

void Evict(const std::string &path) {
    const int fd = open(path.c_str(), O_RDONLY);
    fsync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double SequentialRead(const std::string &path) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = open(path.c_str(), O_RDONLY);
    std::vector<char> buffer(1 << 20);
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
    close(fd);
    return Seconds(start);
}

// In a child process: the display's decoding of `path`; prints "seconds cpuSeconds peakKb WxH".
std::string DecodeInChild(const std::string &path) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return "";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        const long before = StatusKb("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        std::FILE *file = std::fopen(path.c_str(), "rb");
        const ImageHeader header = ReadImageHeader([file](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
            fseeko(file, static_cast<off_t>(offset), SEEK_SET);
            return std::fread(buffer, 1, count, file);
        });
        const auto size = FitPicture(static_cast<double>(header.width), static_cast<double>(header.height),
                                     kPictureBoxWidth, kPictureBoxHeight, true);
        const ReducedPicture picture = DecodeReducedPicture(file, header, size->width, size->height);
        std::fclose(file);
        const double seconds = Seconds(start);
        const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        char out[128];
        const int n =
            std::snprintf(out, sizeof out, "%.3f %.3f %ld %ux%u%s", seconds, cpu, StatusKb("VmHWM:") - before,
                          picture.width, picture.height, picture.status == DecodeStatus::Ok ? "" : " (not shown)");
        (void)!write(pipeFds[1], out, static_cast<size_t>(n));
        _exit(0);
    }
    close(pipeFds[1]);
    char out[128] = {};
    (void)!read(pipeFds[0], out, sizeof out - 1);
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: picture_decode_time FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    struct Case {
        const char *name;
        const char *file;
        uint32_t width, height;
        void (*write)(const std::string &, uint32_t, uint32_t);
    };
    const Case cases[] = {
        {"JPEG 12 MP", "p12.jpg", 4000, 3000, WriteJpeg},
        {"JPEG 50 MP", "p50.jpg", 8160, 6120, WriteJpeg},
        {"JPEG 108 MP", "p108.jpg", 12000, 9000, WriteJpeg},
        {"JPEG 200 MP", "p200.jpg", 16320, 12240, WriteJpeg},
        {"PNG 100 MP", "p100.png", 11547, 8660, WritePng},
        {"TIFF 100 MP (LZW)", "p100.tif", 11547, 8660, WriteTiff},
        {"progressive JPEG 24 MP", "p24p.jpg", 6000, 4000, WriteProgressiveJpeg},
        {"progressive JPEG 200 MP", "p200p.jpg", 16320, 12240, WriteProgressiveJpeg},
        {"BMP 200 MP (24 bits)", "p200.bmp", 16320, 12240, WriteBmp},
        {"GIF 200 MP", "p200.gif", 16320, 12240, WriteGif},
    };
    std::printf("| picture | file MB | cache | decode s | decode CPU s | sequential read s | peak memory above start "
                "MB | reduced to |\n|---|---|---|---|---|---|---|---|\n");
    for (const Case &c : cases) {
        const std::string path = folder + "/" + c.file;
        if (access(path.c_str(), R_OK) != 0) {
            c.write(path, c.width, c.height);
        }
        const int fd = open(path.c_str(), O_RDONLY);
        const double megabytes = static_cast<double>(lseek(fd, 0, SEEK_END)) / 1e6;
        close(fd);
        for (const bool cold : {true, false}) {
            if (cold) {
                Evict(path);
            } else {
                SequentialRead(path); // warm it
            }
            const std::string decoded = DecodeInChild(path);
            if (cold) {
                Evict(path);
            }
            const double reference = SequentialRead(path);
            double seconds = 0;
            double cpu = 0;
            long peakKb = 0;
            char reduced[64] = {};
            std::sscanf(decoded.c_str(), "%lf %lf %ld %63[^\n]", &seconds, &cpu, &peakKb, reduced);
            std::printf("| %s | %.1f | %s | %.3f | %.3f | %.3f | %.1f | %s |\n", c.name, megabytes,
                        cold ? "cold" : "warm", seconds, cpu, reference, static_cast<double>(peakKb) / 1024.0, reduced);
            std::fflush(stdout);
        }
    }
    return 0;
}
