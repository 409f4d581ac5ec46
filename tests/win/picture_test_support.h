// Helpers for the picture tests: image files written with the GDI+ encoders at test time,
// hand-made files (not images, decoding bombs), a temporary folder, and message boxes caught
// from inside the modal runs that show them.
#ifndef GUISLA_TESTS_WIN_PICTURE_SUPPORT_H
#define GUISLA_TESTS_WIN_PICTURE_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The encoders' MIME types.
extern const wchar_t kJpeg[];
extern const wchar_t kPng[];
extern const wchar_t kGif[];
extern const wchar_t kBmp[];
extern const wchar_t kTiff[];

// An ARGB colour (0xAARRGGBB) for each pixel.
using PixelSource = std::function<uint32_t(int x, int y)>;

// Writes a width x height picture with the GDI+ encoder of `mime`; false when that fails.
bool SaveTestImage(const std::wstring &path, int width, int height, const wchar_t *mime, const PixelSource &pixels);

// A solid picture of one colour.
bool SaveSolidImage(const std::wstring &path, int width, int height, const wchar_t *mime, uint32_t argb);

void WriteBytes(const std::wstring &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> ReadBytes(const std::wstring &path);
bool FileExists(const std::wstring &path);

// An RLE-compressed 8-bit BMP of width x height pixels in about a kilobyte: its bitmap data ends
// at once, but a decoder must still make room for every pixel.
std::vector<uint8_t> BmpBomb(int32_t width, int32_t height);

// A fresh empty folder (its path ends in "\"), deleted with its content at the end.
class PictureTempFolder {
public:
    explicit PictureTempFolder(const std::wstring &tag);
    ~PictureTempFolder();
    PictureTempFolder(const PictureTempFolder &) = delete;
    PictureTempFolder &operator=(const PictureTempFolder &) = delete;
    const std::wstring &Path() const { return path_; }

private:
    std::wstring path_;
};

struct CaughtMessageBox {
    std::wstring caption;
    std::wstring text;
};

// Runs `action`; every message box (class "#32770" with a static text 0xFFFF) of this thread
// that shows meanwhile is read and closed with OK. Returns them in order.
std::vector<CaughtMessageBox> RunCatchingMessageBoxes(const std::function<void()> &action);

// How many boxes the innermost RunCatchingMessageBoxes has caught so far (0 outside one).
size_t CaughtMessageBoxCount();

// Whether two colours are within `tolerance` on each channel (lossy formats).
bool ColourNear(COLORREF actual, COLORREF expected, int tolerance = 24);

// Size of a bitmap in pixels; {0, 0} for no bitmap.
SIZE BitmapSizeOf(HBITMAP bitmap);

// The colour of one pixel of a bitmap.
COLORREF BitmapPixel(HBITMAP bitmap, int x, int y);

#endif
