// Image files, folders and message boxes for the picture tests.
#include "picture_test_support.h"

#include "win_test_support.h"

#include <gdiplus.h>

#include <algorithm>
#include <set>

namespace Flat = Gdiplus::DllExports;

const wchar_t kJpeg[] = L"image/jpeg";
const wchar_t kPng[] = L"image/png";
const wchar_t kGif[] = L"image/gif";
const wchar_t kBmp[] = L"image/bmp";
const wchar_t kTiff[] = L"image/tiff";

namespace {

bool EncoderFor(const wchar_t *mime, CLSID *clsid) {
    UINT count = 0;
    UINT size = 0;
    if (Flat::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) {
        return false;
    }
    std::vector<uint8_t> buffer(size);
    auto *codecs = reinterpret_cast<Gdiplus::ImageCodecInfo *>(buffer.data());
    if (Flat::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == mime) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// The GIF encoder of the image library this runs on may write no image data (Wine 8's writes
// none), so GIFs are written here: a 4-colour table and LZW data that never grows its 3-bit codes
// (a clear code before every two pixels), which every decoder reads.
bool SaveGif(const std::wstring &path, int width, int height, const PixelSource &pixels) {
    std::vector<uint32_t> colours;
    std::vector<uint8_t> indices;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t argb = pixels(x, y) | 0xFF000000u;
            auto found = std::find(colours.begin(), colours.end(), argb);
            if (found == colours.end()) {
                if (colours.size() == 4) {
                    return false;
                }
                found = colours.insert(colours.end(), argb);
            }
            indices.push_back(static_cast<uint8_t>(found - colours.begin()));
        }
    }
    colours.resize(4, 0xFF000000u);
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&gif](int value) {
        gif.push_back(static_cast<uint8_t>(value));
        gif.push_back(static_cast<uint8_t>(value >> 8));
    };
    put16(width);
    put16(height);
    gif.insert(gif.end(), {0x81, 0, 0}); // global table of 4 colours
    for (uint32_t c : colours) {
        gif.insert(gif.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
    }
    gif.push_back(0x2C);
    put16(0);
    put16(0);
    put16(width);
    put16(height);
    gif.push_back(0);
    gif.push_back(2); // minimum code size: codes of 3 bits, clear 4, end 5
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int bitCount = 0;
    auto code = [&](uint32_t value) {
        bits |= value << bitCount;
        bitCount += 3;
        while (bitCount >= 8) {
            data.push_back(static_cast<uint8_t>(bits));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0) {
            code(4);
        }
        code(indices[i]);
    }
    code(5);
    if (bitCount > 0) {
        data.push_back(static_cast<uint8_t>(bits));
    }
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t size = std::min<size_t>(255, data.size() - at);
        gif.push_back(static_cast<uint8_t>(size));
        gif.insert(gif.end(), data.begin() + static_cast<ptrdiff_t>(at),
                   data.begin() + static_cast<ptrdiff_t>(at + size));
    }
    gif.push_back(0);
    gif.push_back(0x3B);
    WriteBytes(path, gif);
    return FileExists(path);
}

} // namespace

bool SaveTestImage(const std::wstring &path, int width, int height, const wchar_t *mime, const PixelSource &pixels) {
    if (std::wstring(mime) == kGif) {
        return SaveGif(path, width, height, pixels);
    }
    CLSID encoder = {};
    if (!EncoderFor(mime, &encoder)) {
        return false;
    }
    std::vector<uint32_t> scan(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            scan[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pixels(x, y);
        }
    }
    Gdiplus::GpBitmap *bitmap = nullptr;
    if (Flat::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                        reinterpret_cast<BYTE *>(scan.data()), &bitmap) != Gdiplus::Ok) {
        return false;
    }
    const bool saved = Flat::GdipSaveImageToFile(bitmap, path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
    Flat::GdipDisposeImage(bitmap);
    return saved;
}

bool SaveSolidImage(const std::wstring &path, int width, int height, const wchar_t *mime, uint32_t argb) {
    return SaveTestImage(path, width, height, mime, [argb](int, int) { return argb; });
}

void WriteBytes(const std::wstring &path, const std::vector<uint8_t> &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::vector<uint8_t> ReadBytes(const std::wstring &path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::wstring &path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> BmpBomb(int32_t width, int32_t height) {
    std::vector<uint8_t> bytes;
    auto put = [&bytes](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    const uint32_t dataOffset = 14 + 40 + 256 * 4;
    const uint32_t dataSize = 2;
    bytes.push_back('B');
    bytes.push_back('M');
    put(dataOffset + dataSize, 4);
    put(0, 4);
    put(dataOffset, 4);
    put(40, 4); // BITMAPINFOHEADER
    put(static_cast<uint32_t>(width), 4);
    put(static_cast<uint32_t>(height), 4);
    put(1, 2); // planes
    put(8, 2); // bits per pixel
    put(1, 4); // BI_RLE8
    put(dataSize, 4);
    put(2835, 4);
    put(2835, 4);
    put(256, 4);
    put(0, 4);
    for (uint32_t i = 0; i < 256; ++i) {
        put(i * 0x010101u, 4); // grey palette
    }
    bytes.push_back(0x00); // end of bitmap
    bytes.push_back(0x01);
    return bytes;
}

PictureTempFolder::PictureTempFolder(const std::wstring &tag) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    for (unsigned n = GetTickCount();; ++n) {
        path_ = std::wstring(base) + L"guisla-" + tag + L"-" + std::to_wstring(n % 1000000) + L"\\";
        if (CreateDirectoryW(path_.c_str(), nullptr)) {
            return;
        }
    }
}

namespace {

void RemoveTree(const std::wstring &folder) {
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

std::vector<CaughtMessageBox> *caughtBoxes = nullptr;
std::set<HWND> *closedBoxes = nullptr;

void CALLBACK CatchBoxes(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM) -> BOOL {
            if (ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF) != nullptr &&
                closedBoxes->insert(hwnd).second) {
                const std::wstring caption = TextOf(hwnd);
                caughtBoxes->push_back({caption, ReadAndCloseMessageBox(hwnd)});
            }
            return TRUE;
        },
        0);
}

} // namespace

PictureTempFolder::~PictureTempFolder() {
    RemoveTree(path_);
}

std::vector<CaughtMessageBox> RunCatchingMessageBoxes(const std::function<void()> &action) {
    std::vector<CaughtMessageBox> boxes;
    std::set<HWND> closed;
    std::vector<CaughtMessageBox> *outerBoxes = caughtBoxes;
    std::set<HWND> *outerClosed = closedBoxes;
    caughtBoxes = &boxes;
    closedBoxes = &closed;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, CatchBoxes);
    action();
    KillTimer(nullptr, timer);
    caughtBoxes = outerBoxes;
    closedBoxes = outerClosed;
    return boxes;
}

size_t CaughtMessageBoxCount() {
    return caughtBoxes != nullptr ? caughtBoxes->size() : 0;
}

bool ColourNear(COLORREF actual, COLORREF expected, int tolerance) {
    if (actual == CLR_INVALID) {
        return false;
    }
    return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

SIZE BitmapSizeOf(HBITMAP bitmap) {
    BITMAP info = {};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0) {
        return {0, 0};
    }
    return {info.bmWidth, info.bmHeight};
}

COLORREF BitmapPixel(HBITMAP bitmap, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return colour;
}
