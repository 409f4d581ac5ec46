// The picture display: GDI+ decoding into screen bitmaps, the picture box, the cache file.
#include "search/picture_display.h"

#include "state/app_state.h"
#include "resources/resource_ids.h"
#include "search/cache_name.h"
#include "search/image_header.h"
#include "search/picture_decode.h"
#include "search/picture_fit.h"
#include "search/stored_picture.h"
#include "ui/picture_box.h"
#include "state/save_recipe.h"
#include "ui/text.h"

#include <gdiplus.h>

#include <cstdio>

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

// The messages about pictures that were read but cannot be shown, as the program's others.
void ShowRefusalMessage(const std::wstring &text) {
    MessageBoxW(nullptr, text.c_str(), kMessageCaption, MB_OK);
}

// Pictures of up to this many pixels are decoded whole by GDI+, as they always were (a few
// megabytes); larger JPEG, PNG, TIFF, BMP and GIF pictures are read reduced (picture_decode.h).
constexpr uint64_t kWholeDecodingPixels = 4'000'000;
// Formats without a reduced decoder (icons, unusual TIFF and BMP layouts) are decoded whole by
// GDI+ up to this size.
constexpr uint64_t kWholeDecodingLimit = kWholePictureLimit;

bool HasReducedDecoder(ImageFormat format) {
    return format == ImageFormat::Jpeg || format == ImageFormat::Png || format == ImageFormat::Tiff ||
           format == ImageFormat::Bmp || format == ImageFormat::Gif;
}

// Draws an image (width x height pixels) over white into a new screen bitmap of `size`, with the
// same GDI+ call for every path, so that the scaling looks the same. Empty when that fails.
BitmapHolder DrawFitted(Gdiplus::GpImage *image, Gdiplus::REAL width, Gdiplus::REAL height, BitmapSize size) {
    HDC screen = GetDC(nullptr);
    BitmapHolder bitmap(CreateCompatibleBitmap(screen, size.width, size.height));
    ReleaseDC(nullptr, screen);
    if (bitmap.Get() == nullptr) {
        return {};
    }
    bool drawn = false;
    {
        MemoryDc dc(bitmap.Get());
        if (dc.Get() != nullptr) {
            RECT all = {0, 0, size.width, size.height};
            FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            GdiplusGraphics graphics;
            if (Flat::GdipCreateFromHDC(dc.Get(), &graphics.graphics) == Gdiplus::Ok) {
                drawn =
                    Flat::GdipDrawImageRectRect(graphics.graphics, image, 0, 0, static_cast<Gdiplus::REAL>(size.width),
                                                static_cast<Gdiplus::REAL>(size.height), 0, 0, width, height,
                                                Gdiplus::UnitPixel, nullptr, nullptr, nullptr) == Gdiplus::Ok;
            }
        }
    }
    if (!drawn) {
        return {};
    }
    return bitmap;
}

// The outcome of the reduced decoding: a bitmap, a refusal already shown, or a picture left to GDI+.
enum class ReducedOutcome { Shown, Refused, LeftToGdiplus };

ReducedOutcome LoadReduced(const std::wstring &path, const ImageHeader &header, int32_t width, int32_t height,
                           bool keepAspect, BitmapHolder &result) {
    const bool swap = OrientationSwapsSides(header.orientation);
    const double uprightWidth = static_cast<double>(swap ? header.height : header.width);
    const double uprightHeight = static_cast<double>(swap ? header.width : header.height);
    const std::optional<BitmapSize> size = FitPicture(uprightWidth, uprightHeight, width, height, keepAspect);
    if (!size) {
        return ReducedOutcome::Refused; // nothing to draw, without a message
    }
    std::FILE *file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        ShowLoaderMessage(UnreadablePictureMessage(path));
        return ReducedOutcome::Refused;
    }
    ReducedPicture picture =
        DecodeReducedPicture(file, header, static_cast<uint32_t>(size->width), static_cast<uint32_t>(size->height));
    std::fclose(file);
    switch (picture.status) {
    case DecodeStatus::Ok:
        break;
    case DecodeStatus::Unsupported:
        return ReducedOutcome::LeftToGdiplus;
    case DecodeStatus::TooLarge:
        ShowRefusalMessage(TooLargePictureMessage(path, header.width, header.height));
        return ReducedOutcome::Refused;
    case DecodeStatus::Damaged:
        ShowRefusalMessage(DamagedPictureMessage(path));
        return ReducedOutcome::Refused;
    }
    Gdiplus::GpBitmap *bitmap = nullptr;
    if (Flat::GdipCreateBitmapFromScan0(static_cast<INT>(picture.width), static_cast<INT>(picture.height),
                                        static_cast<INT>(picture.width * 4), PixelFormat32bppRGB,
                                        reinterpret_cast<BYTE *>(picture.pixels.data()), &bitmap) != Gdiplus::Ok) {
        return ReducedOutcome::Refused;
    }
    GdiplusImage image;
    image.image = bitmap;
    result = DrawFitted(image.image, static_cast<Gdiplus::REAL>(picture.width),
                        static_cast<Gdiplus::REAL>(picture.height), *size);
    return ReducedOutcome::Shown;
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

std::wstring TooLargePictureMessage(const std::wstring &path, uint64_t width, uint64_t height) {
    return L"No se puede mostrar la imagen <" + path + L">: es demasiado grande (" + std::to_wstring(width) + L" x " +
           std::to_wstring(height) + L" p\u00EDxeles).";
}

std::wstring DamagedPictureMessage(const std::wstring &path) {
    return L"No se puede mostrar la imagen <" + path + L">: el fichero est\u00E1 da\u00F1ado o incompleto.";
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
    // The header says what the file is and how large; enormous pictures are refused before any
    // decoder sees them.
    bool readable = false;
    const ImageHeader header = ReadHeaderOf(path, readable);
    if (!readable || (header.format != ImageFormat::Unknown && !header.sizeKnown)) {
        ShowLoaderMessage(UnreadablePictureMessage(path));
        return {};
    }
    if (!ImageHeaderAcceptable(header)) {
        ShowRefusalMessage(TooLargePictureMessage(path, header.width, header.height));
        return {};
    }
    const uint64_t pixels = header.width * header.height;
    if (HasReducedDecoder(header.format) && (pixels > kWholeDecodingPixels || header.orientation != 1)) {
        BitmapHolder reduced;
        if (LoadReduced(path, header, width, height, keepAspect, reduced) != ReducedOutcome::LeftToGdiplus) {
            return reduced;
        }
    }
    if (pixels > kWholeDecodingLimit) {
        ShowRefusalMessage(TooLargePictureMessage(path, header.width, header.height));
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
    if (!size || static_cast<uint64_t>(size->width) * static_cast<uint64_t>(size->height) > kWholeDecodingLimit) {
        return {};
    }
    return DrawFitted(image.image, imageWidth, imageHeight, *size);
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
    if (!picture.hasPicture) {
        // A recipe saved without a picture: an empty box, nothing written, nothing to say.
        HWND box = MainWindow != nullptr ? GetDlgItem(MainWindow, IDC_PICTURE_BOX) : nullptr;
        PictureBoxClear(box, kBackgroundColour);
        displayedPicture = BitmapHolder();
        PictureBoxRedraw(box);
        return;
    }
    const std::wstring path = PictureCacheFilePath(picture.key, picture.extension);
    RemoveCacheFile(path);
    WriteCacheFile(path, picture);
    ShowPictureFile(path);
    RemoveCacheFile(path);
}

HBITMAP DisplayedPictureBitmap() {
    return displayedPicture.Get();
}
