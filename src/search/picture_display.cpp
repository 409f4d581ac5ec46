// The picture display: GDI+ decoding into screen bitmaps, the picture box, the cache file.
#include "search/picture_display.h"

#include "state/app_state.h"
#include "resources/resource_ids.h"
#include "search/cache_name.h"
#include "search/image_header.h"
#include "search/picture_fit.h"
#include "search/stored_picture.h"
#include "ui/picture_box.h"
#include "ui/text.h"

#include <gdiplus.h>

namespace {

namespace Flat = Gdiplus::DllExports;

// The bitmap shown last in the picture box; each display replaces (and deletes) it.
BitmapHolder displayedPicture;

class GdiplusImage {
public:
    GdiplusImage() = default;
    ~GdiplusImage() {
        if (image != nullptr) {
            Flat::GdipDisposeImage(image);
        }
    }
    GdiplusImage(const GdiplusImage &) = delete;
    GdiplusImage &operator=(const GdiplusImage &) = delete;
    Gdiplus::GpImage *image = nullptr;
};

class GdiplusGraphics {
public:
    GdiplusGraphics() = default;
    ~GdiplusGraphics() {
        if (graphics != nullptr) {
            Flat::GdipDeleteGraphics(graphics);
        }
    }
    GdiplusGraphics(const GdiplusGraphics &) = delete;
    GdiplusGraphics &operator=(const GdiplusGraphics &) = delete;
    Gdiplus::GpGraphics *graphics = nullptr;
};

// A memory device context compatible with the screen, with a bitmap selected into it for its
// lifetime (the bitmap stays the caller's).
class MemoryDc {
public:
    explicit MemoryDc(HBITMAP bitmap) {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        if (dc_ != nullptr) {
            previous_ = SelectObject(dc_, bitmap);
        }
    }
    ~MemoryDc() {
        if (dc_ != nullptr) {
            SelectObject(dc_, previous_);
            DeleteDC(dc_);
        }
    }
    MemoryDc(const MemoryDc &) = delete;
    MemoryDc &operator=(const MemoryDc &) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (IsOpen()) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

void ShowLoaderMessage(const std::wstring &text) {
    // No owner and no caption of its own (the system's default one).
    MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

// Reads the image's header from the file. Unreadable files give an unrecognised header with
// `readable` false.
ImageHeader ReadHeaderOf(const std::wstring &path, bool &readable) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    readable = file.IsOpen();
    if (!readable) {
        return {};
    }
    return ReadImageHeader([&file](uint64_t offset, uint8_t *buffer, size_t count) -> size_t {
        size_t done = 0;
        while (done < count) {
            OVERLAPPED at = {};
            const uint64_t position = offset + done;
            at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            const DWORD want = static_cast<DWORD>(count - done < (1u << 30) ? count - done : (1u << 30));
            DWORD got = 0;
            if (!ReadFile(file.Get(), buffer + done, want, &got, &at) || got == 0) {
                break;
            }
            done += got;
        }
        return done;
    });
}

// Sets a file's attributes to normal and deletes it, ignoring failures (usually there is none).
void RemoveCacheFile(const std::wstring &path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

// Creates the cache file with exactly the stored picture bytes, streamed from the store. A
// picture that cannot be read whole leaves the file empty, so that the load reports it.
void WriteCacheFile(const std::wstring &path, const StoredPicture &picture) {
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return; // the load then reports a missing file
    }
    bool written = true;
    const FileStatus status = StreamStoredPicture(picture, [&](const uint8_t *bytes, size_t count) {
        while (count > 0) {
            const DWORD want = static_cast<DWORD>(count < (1u << 30) ? count : (1u << 30));
            DWORD done = 0;
            if (!WriteFile(file.Get(), bytes, want, &done, nullptr) || done == 0) {
                written = false;
                return false;
            }
            bytes += done;
            count -= done;
        }
        return true;
    });
    if (status != FileStatus::Ok || !written) {
        LARGE_INTEGER start = {};
        SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN);
        SetEndOfFile(file.Get());
    }
}

} // namespace

std::wstring MissingPictureMessage(const std::wstring &path) {
    return L"[GraphicLoadImageFileToBitmap] called on <" + path + L"> Missing file";
}

std::wstring UnreadablePictureMessage(const std::wstring &path) {
    return L"[GraphicLoadImageFileToBitmap] [GdipLoadImagefromFile] read error on <" + path + L">";
}

bool PictureFileExists(const std::wstring &path) {
    if (path.empty() || path.find_first_of(L"?*") != std::wstring::npos || path.back() == L':') {
        return false;
    }
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

BitmapHolder GraphicLoadImageFileToBitmap(const std::wstring &path, int32_t width, int32_t height, bool keepAspect) {
    if (keepAspect && (width == 0 || height == 0)) {
        return {};
    }
    if (!PictureFileExists(path)) {
        ShowLoaderMessage(MissingPictureMessage(path));
        return {};
    }
    // Some decoders fill the whole image when it is loaded: refuse enormous ones beforehand.
    bool readable = false;
    if (!ImageHeaderAcceptable(ReadHeaderOf(path, readable)) || !readable) {
        ShowLoaderMessage(UnreadablePictureMessage(path));
        return {};
    }
    GdiplusImage image;
    if (Flat::GdipLoadImageFromFile(path.c_str(), &image.image) != Gdiplus::Ok || image.image == nullptr) {
        ShowLoaderMessage(UnreadablePictureMessage(path));
        return {};
    }
    Gdiplus::REAL imageWidth = 0;
    Gdiplus::REAL imageHeight = 0;
    if (Flat::GdipGetImageDimension(image.image, &imageWidth, &imageHeight) != Gdiplus::Ok) {
        return {};
    }
    const std::optional<BitmapSize> size = FitPicture(imageWidth, imageHeight, width, height, keepAspect);
    if (!size || static_cast<uint64_t>(size->width) * static_cast<uint64_t>(size->height) > kMaxPicturePixels) {
        return {};
    }
    HDC screen = GetDC(nullptr);
    BitmapHolder bitmap(CreateCompatibleBitmap(screen, size->width, size->height));
    ReleaseDC(nullptr, screen);
    if (bitmap.Get() == nullptr) {
        return {};
    }
    bool drawn = false;
    {
        MemoryDc dc(bitmap.Get());
        if (dc.Get() != nullptr) {
            RECT all = {0, 0, size->width, size->height};
            FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            GdiplusGraphics graphics;
            if (Flat::GdipCreateFromHDC(dc.Get(), &graphics.graphics) == Gdiplus::Ok) {
                drawn = Flat::GdipDrawImageRectRect(
                            graphics.graphics, image.image, 0, 0, static_cast<Gdiplus::REAL>(size->width),
                            static_cast<Gdiplus::REAL>(size->height), 0, 0, imageWidth, imageHeight, Gdiplus::UnitPixel,
                            nullptr, nullptr, nullptr) == Gdiplus::Ok;
            }
        }
    }
    if (!drawn) {
        return {};
    }
    return bitmap;
}

BitmapHolder LoadPictureBitmap(const std::wstring &path) {
    return GraphicLoadImageFileToBitmap(path, kPictureBoxWidth, kPictureBoxHeight, true);
}

void ShowPictureFile(const std::wstring &path) {
    HWND box = MainWindow != nullptr ? GetDlgItem(MainWindow, IDC_PICTURE_BOX) : nullptr;
    PictureBoxClear(box, kBackgroundColour);
    displayedPicture = LoadPictureBitmap(path);
    PictureBoxCopyBitmap(box, displayedPicture.Get());
    PictureBoxRedraw(box);
}

std::wstring PictureCacheFilePath(int64_t key, const std::string &safeExtension) {
    return AnsiToWide(PictureCacheFolder) + AnsiToWide(PictureCacheFileName(key, safeExtension));
}

void ShowRecipePicture(int64_t key) {
    ShowStoredPicture(LocateStoredPicture(key));
}

void ShowStoredPicture(const StoredPicture &picture) {
    const std::wstring path = PictureCacheFilePath(picture.key, picture.extension);
    RemoveCacheFile(path);
    WriteCacheFile(path, picture);
    ShowPictureFile(path);
    RemoveCacheFile(path);
}

HBITMAP DisplayedPictureBitmap() {
    return displayedPicture.Get();
}
