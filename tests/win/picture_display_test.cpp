// The picture display with real image files written at test time: the fitted sizes in every
// format, the picture at the top-left of the main window's picture box on the background colour,
// transparency as white, the two loader messages, decoding bombs, the cache file of a saved
// recipe, and no GDI objects left behind.
#include "state/app_state.h"
#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "search/cache_name.h"
#include "search/image_header.h"
#include "search/picture_display.h"
#include "search/picture_fit.h"
#include "store/schema_table.h"
#include "store/store.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/picture_box.h"
#include "ui/text.h"
#include "../unit/handmade_jpeg.h"
#include "picture_test_support.h"
#include "win_test_support.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr uint32_t kArgbRed = 0xFFFF0000;
constexpr uint32_t kArgbBlue = 0xFF0000FF;

// Runs `checks` inside the real main window's modal run, then ends the window.
void WithMainWindow(const std::function<void(HWND)> &checks) {
    CallSoon([checks] {
        checks(MainWindow);
        EndDialogWindow(MainWindow);
    });
    BuildMainWindow(nullptr);
}

HWND PictureBox() {
    return GetDlgItem(MainWindow, IDC_PICTURE_BOX);
}

SIZE BoxSize() {
    RECT client = {};
    GetClientRect(PictureBox(), &client);
    return {client.right, client.bottom};
}

// Checks that the box shows `colour` over the rectangle (0, 0, width, height), as far as the box
// reaches, and the background colour to the right of it and below it. The picture's outermost
// `inset` pixels are not checked: when it is scaled, the image library blends its edges with the
// white fill (over about half a source pixel).
void ExpectPictureAtTopLeft(int width, int height, COLORREF colour, int tolerance = 24, int inset = 2) {
    const SIZE box = BoxSize();
    const int right = std::min<int>(width, box.cx) - 1 - inset;
    const int bottom = std::min<int>(height, box.cy) - 1 - inset;
    const POINT inside[] = {{inset, inset}, {right, inset}, {inset, bottom}, {right, bottom}, {right / 2, bottom / 2}};
    for (const POINT &p : inside) {
        EXPECT_TRUE(ColourNear(PictureBoxPixel(PictureBox(), p.x, p.y), colour, tolerance))
            << "inside at " << p.x << "," << p.y << ": " << std::hex << PictureBoxPixel(PictureBox(), p.x, p.y);
    }
    if (width < box.cx) {
        EXPECT_EQ(PictureBoxPixel(PictureBox(), width, 0), kBackgroundColour);
        EXPECT_EQ(PictureBoxPixel(PictureBox(), box.cx - 1, std::min<int>(height, box.cy) - 1), kBackgroundColour);
    }
    if (height < box.cy) {
        EXPECT_EQ(PictureBoxPixel(PictureBox(), 0, height), kBackgroundColour);
        EXPECT_EQ(PictureBoxPixel(PictureBox(), box.cx - 1, box.cy - 1), kBackgroundColour);
    }
}

// Every pixel of the box is the background colour (checked on a grid).
void ExpectBoxCleared() {
    const SIZE box = BoxSize();
    for (int y = 0; y < box.cy; y += 7) {
        for (int x = 0; x < box.cx; x += 7) {
            ASSERT_EQ(PictureBoxPixel(PictureBox(), x, y), kBackgroundColour) << x << "," << y;
        }
    }
}

class PictureDisplay : public testing::Test {
protected:
    PictureDisplay() : folder_(L"display") {}
    std::wstring File(const std::wstring &name) const { return folder_.Path() + name; }
    PictureTempFolder folder_;
};

TEST_F(PictureDisplay, FittedSizesOfTheTableInEveryFormat) {
    const struct {
        int iw, ih, w, h;
    } rows[] = {
        {800, 600, 327, 245}, {400, 1000, 142, 355}, {654, 710, 327, 355}, {330, 100, 327, 99}, {200, 100, 327, 355}};
    const wchar_t *formats[] = {kJpeg, kPng, kGif, kBmp, kTiff};
    const wchar_t *extensions[] = {L"jpg", L"png", L"gif", L"bmp", L"tif"};
    for (size_t f = 0; f < 5; ++f) {
        for (const auto &row : rows) {
            const std::wstring path =
                File(L"p" + std::to_wstring(row.iw) + L"x" + std::to_wstring(row.ih) + L"." + extensions[f]);
            SCOPED_TRACE(testing::Message() << row.iw << "x" << row.ih << " " << static_cast<int>(f));
            ASSERT_TRUE(SaveSolidImage(path, row.iw, row.ih, formats[f], kArgbRed));
            std::vector<CaughtMessageBox> boxes;
            BitmapHolder bitmap;
            boxes = RunCatchingMessageBoxes([&] { bitmap = LoadPictureBitmap(path); });
            EXPECT_TRUE(boxes.empty());
            const SIZE size = BitmapSizeOf(bitmap.Get());
            EXPECT_EQ(size.cx, row.w);
            EXPECT_EQ(size.cy, row.h);
            EXPECT_TRUE(ColourNear(BitmapPixel(bitmap.Get(), size.cx / 2, size.cy / 2), kRed));
        }
    }
}

TEST_F(PictureDisplay, LargeAndTurnedPicturesShowFittedAndUpright) {
    // Above the size decoded whole: a phone's 200 MP photo, and PNG and TIFF pictures.
    const std::wstring photo = File(L"phone.jpg");
    WriteBytes(photo, UniformGreyJpeg(16320, 12240, 200));
    const std::wstring png = File(L"large.png");
    ASSERT_TRUE(SaveSolidImage(png, 2600, 1600, kPng, kArgbRed));
    const std::wstring tiff = File(L"large.tif");
    ASSERT_TRUE(SaveSolidImage(tiff, 1600, 2600, kTiff, kArgbBlue));
    const struct {
        std::wstring path;
        int w, h;
        COLORREF colour;
    } large[] = {{photo, 327, 245, RGB(200, 200, 200)}, {png, 327, 201, kRed}, {tiff, 218, 355, kBlue}};
    for (const auto &c : large) {
        SCOPED_TRACE(c.path);
        BitmapHolder bitmap;
        EXPECT_TRUE(RunCatchingMessageBoxes([&] { bitmap = LoadPictureBitmap(c.path); }).empty());
        const SIZE size = BitmapSizeOf(bitmap.Get());
        EXPECT_EQ(size.cx, c.w);
        EXPECT_EQ(size.cy, c.h);
        EXPECT_TRUE(ColourNear(BitmapPixel(bitmap.Get(), 1, 1), c.colour, 4));
        EXPECT_TRUE(ColourNear(BitmapPixel(bitmap.Get(), c.w - 2, c.h - 2), c.colour, 4));
    }
    // A portrait photo stored sideways (400 x 300, red top left, blue bottom left): with
    // orientation 6 it stands 300 x 400, fitted 266 x 355, its stored bottom left now top left.
    const PixelSource quarters = [](int x, int y) -> uint32_t {
        return y < 150 ? (x < 200 ? kArgbRed : 0xFF00FF00) : (x < 200 ? kArgbBlue : 0xFFFFFF00);
    };
    const std::wstring sideways = File(L"sideways.jpg");
    ASSERT_TRUE(SaveTestImage(sideways, 400, 300, kJpeg, quarters));
    const std::wstring turned = File(L"turned.jpg");
    WriteBytes(turned, WithExifOrientation(ReadBytes(sideways), 6));
    BitmapHolder asStored;
    BitmapHolder upright;
    EXPECT_TRUE(RunCatchingMessageBoxes([&] {
                    asStored = LoadPictureBitmap(sideways);
                    upright = LoadPictureBitmap(turned);
                }).empty());
    EXPECT_EQ(BitmapSizeOf(asStored.Get()).cx, 327);
    EXPECT_EQ(BitmapSizeOf(asStored.Get()).cy, 245);
    EXPECT_TRUE(ColourNear(BitmapPixel(asStored.Get(), 5, 5), kRed));
    ASSERT_EQ(BitmapSizeOf(upright.Get()).cx, 266);
    ASSERT_EQ(BitmapSizeOf(upright.Get()).cy, 355);
    EXPECT_TRUE(ColourNear(BitmapPixel(upright.Get(), 5, 5), kBlue));
    EXPECT_TRUE(ColourNear(BitmapPixel(upright.Get(), 260, 5), kRed));
    EXPECT_TRUE(ColourNear(BitmapPixel(upright.Get(), 5, 349), RGB(255, 255, 0)));
}

TEST_F(PictureDisplay, HeaderSizesAgreeWithTheImageLibrary) {
    // The header reader that guards against decoding bombs reads the same sizes as GDI+.
    const wchar_t *formats[] = {kJpeg, kPng, kGif, kBmp, kTiff};
    const ImageFormat expected[] = {ImageFormat::Jpeg, ImageFormat::Png, ImageFormat::Gif, ImageFormat::Bmp,
                                    ImageFormat::Tiff};
    const SIZE sizes[] = {{1, 1}, {17, 300}, {1024, 3}};
    for (size_t f = 0; f < 5; ++f) {
        for (const SIZE &size : sizes) {
            const std::wstring path = File(L"h" + std::to_wstring(f) + L"_" + std::to_wstring(size.cx));
            ASSERT_TRUE(SaveSolidImage(path, size.cx, size.cy, formats[f], kArgbBlue));
            const std::vector<uint8_t> bytes = ReadBytes(path);
            const ImageHeader header = ReadImageHeader([&](uint64_t offset, uint8_t *buffer, size_t count) {
                const size_t n = offset < bytes.size() ? std::min<uint64_t>(count, bytes.size() - offset) : 0;
                std::copy_n(bytes.data() + offset, n, buffer);
                return n;
            });
            Gdiplus::GpImage *image = nullptr;
            ASSERT_EQ(Gdiplus::DllExports::GdipLoadImageFromFile(path.c_str(), &image), Gdiplus::Ok);
            Gdiplus::REAL width = 0;
            Gdiplus::REAL height = 0;
            Gdiplus::DllExports::GdipGetImageDimension(image, &width, &height);
            Gdiplus::DllExports::GdipDisposeImage(image);
            EXPECT_EQ(header.format, expected[f]);
            EXPECT_TRUE(header.sizeKnown);
            EXPECT_EQ(static_cast<double>(header.width), width);
            EXPECT_EQ(static_cast<double>(header.height), height);
        }
    }
}

TEST_F(PictureDisplay, PictureAtTheTopLeftOnTheBackgroundColour) {
    const std::wstring wide = File(L"wide.jpg");
    const std::wstring tall = File(L"tall.png");
    ASSERT_TRUE(SaveSolidImage(wide, 800, 600, kJpeg, kArgbRed));
    ASSERT_TRUE(SaveSolidImage(tall, 400, 1000, kPng, kArgbBlue));
    WithMainWindow([&](HWND) {
        const SIZE box = BoxSize();
        ASSERT_GT(box.cx, kPictureBoxWidth);
        EXPECT_TRUE(RunCatchingMessageBoxes([&] { ShowPictureFile(wide); }).empty());
        EXPECT_EQ(BitmapSizeOf(DisplayedPictureBitmap()).cx, 327);
        EXPECT_EQ(BitmapSizeOf(DisplayedPictureBitmap()).cy, 245);
        ExpectPictureAtTopLeft(327, 245, kRed);
        // The next picture replaces the first entirely: where only the first was, the background.
        EXPECT_TRUE(RunCatchingMessageBoxes([&] { ShowPictureFile(tall); }).empty());
        ExpectPictureAtTopLeft(142, std::min<int>(355, box.cy), kBlue, 0);
        EXPECT_EQ(PictureBoxPixel(PictureBox(), 300, 100), kBackgroundColour);
    });
}

TEST_F(PictureDisplay, TransparentAreasShowWhite) {
    // 100 x 100: the left half fully transparent, the right half blue; stretched to 327 x 355.
    const std::wstring path = File(L"half.png");
    ASSERT_TRUE(SaveTestImage(path, 100, 100, kPng, [](int x, int) { return x < 50 ? 0x00FF0000u : kArgbBlue; }));
    WithMainWindow([&](HWND) {
        ShowPictureFile(path);
        EXPECT_EQ(PictureBoxPixel(PictureBox(), 5, 5), kWhite);
        EXPECT_EQ(PictureBoxPixel(PictureBox(), 100, 200), kWhite);
        EXPECT_EQ(PictureBoxPixel(PictureBox(), 320, 200), kBlue);
        if (BoxSize().cx > 327) {
            EXPECT_EQ(PictureBoxPixel(PictureBox(), 327, 5), kBackgroundColour);
        }
    });
}

TEST_F(PictureDisplay, MissingFilesGiveTheMissingFileMessage) {
    const std::wstring existing = File(L"there.png");
    ASSERT_TRUE(SaveSolidImage(existing, 10, 10, kPng, kArgbRed));
    const std::wstring missing[] = {
        File(L"*.png"),
        File(L"the?e.png"),
        File(L"absent.png"),
        folder_.Path(),
        folder_.Path().substr(0, folder_.Path().size() - 1), // the folder itself, without separator
        L"C:",
        L"Z:\\tmp\\x:",
        L"",
    };
    WithMainWindow([&](HWND) {
        ShowPictureFile(existing);
        for (const std::wstring &path : missing) {
            SCOPED_TRACE(path);
            const auto boxes = RunCatchingMessageBoxes([&] { ShowPictureFile(path); });
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, L"[GraphicLoadImageFileToBitmap] called on <" + path + L"> Missing file");
            EXPECT_NE(boxes[0].caption, L"Programador");
            EXPECT_EQ(DisplayedPictureBitmap(), nullptr);
            ExpectBoxCleared();
        }
    });
}

TEST_F(PictureDisplay, UndecodableDamagedAndTooLargeFilesSaySo) {
    struct Case {
        std::wstring name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> truncatedPng;
    {
        const std::wstring whole = File(L"whole.png");
        ASSERT_TRUE(SaveSolidImage(whole, 64, 64, kPng, kArgbRed));
        truncatedPng = ReadBytes(whole);
        truncatedPng.resize(40);
    }
    std::vector<uint8_t> hugePng = truncatedPng;
    hugePng[16] = 0x00; // IHDR width 0x00C35000 and height 0x00C35000 (12800000 x 12800000)
    hugePng[17] = 0xC3;
    hugePng[18] = 0x50;
    hugePng[19] = 0x00;
    std::copy_n(hugePng.begin() + 16, 4, hugePng.begin() + 20);
    const std::string text = "Tortilla de patatas: huevos, patatas, aceite y sal.";
    // A large photo cut short in its picture data.
    std::vector<uint8_t> cutJpeg = UniformGreyJpeg(4000, 3000, 200);
    cutJpeg.resize(cutJpeg.size() / 2);
    const Case cases[] = {
        {L"recipe.jpg", std::vector<uint8_t>(text.begin(), text.end())},
        {L"empty.png", {}},
        {L"cut.png", truncatedPng},
        {L"bomb.bmp", BmpBomb(20000, 20000)},
        {L"bomb.png", hugePng},
        {L"bomb.jpg", UniformGreyJpeg(60000, 60000, 128, false)},
        {L"cut.jpg", cutJpeg},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = File(c.name);
        WriteBytes(path, c.bytes);
        BitmapHolder bitmap;
        const auto boxes =
            RunCatchingMessageBoxes([&] { bitmap = GraphicLoadImageFileToBitmap(path, 327, 355, true); });
        EXPECT_EQ(bitmap.Get(), nullptr);
        ASSERT_EQ(boxes.size(), 1u);
        if (c.name.rfind(L"bomb", 0) == 0) {
            const std::wstring size = c.name == L"bomb.bmp"   ? L"20000 x 20000"
                                      : c.name == L"bomb.png" ? L"12800000 x 12800000"
                                                              : L"60000 x 60000";
            EXPECT_EQ(boxes[0].text, L"No se puede mostrar la imagen <" + path + L">: es demasiado grande (" + size +
                                         L" p\u00EDxeles).");
            EXPECT_EQ(boxes[0].caption, L"Programador");
        } else if (c.name == L"cut.jpg") {
            EXPECT_EQ(boxes[0].text,
                      L"No se puede mostrar la imagen <" + path + L">: el fichero est\u00E1 da\u00F1ado o incompleto.");
            EXPECT_EQ(boxes[0].caption, L"Programador");
        } else {
            EXPECT_EQ(boxes[0].text,
                      L"[GraphicLoadImageFileToBitmap] [GdipLoadImagefromFile] read error on <" + path + L">");
            EXPECT_NE(boxes[0].caption, L"Programador");
        }
    }
    // keepAspect with a box side of 0 returns nothing, without a message, before looking at the file.
    const auto boxes = RunCatchingMessageBoxes([&] {
        EXPECT_EQ(GraphicLoadImageFileToBitmap(File(L"absent"), 0, 355, true).Get(), nullptr);
        EXPECT_EQ(GraphicLoadImageFileToBitmap(File(L"absent"), 327, 0, true).Get(), nullptr);
    });
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PictureDisplay, PathsOutsideTheAnsiCodePageStillShow) {
    const std::wstring path = File(L"\u03C4\u03BF\u03C1\u03C4\u03B1 \u86CB\u7CD5.png"); // Greek and CJK
    ASSERT_TRUE(SaveSolidImage(path, 50, 50, kPng, kArgbBlue));
    WithMainWindow([&](HWND) {
        EXPECT_TRUE(RunCatchingMessageBoxes([&] { ShowPictureFile(path); }).empty());
        EXPECT_EQ(PictureBoxPixel(PictureBox(), 10, 10), kBlue);
    });
}

TEST_F(PictureDisplay, NoGdiObjectLeftBehindAcrossAThousandDisplays) {
    const std::wstring path = File(L"small.png");
    ASSERT_TRUE(SaveSolidImage(path, 40, 30, kPng, kArgbRed));
    WithMainWindow([&](HWND) {
        auto gdiObjects = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
        // Where the system cannot count them (Wine), the highest slot of the handle table in use
        // stands in: a batch of new objects fills the freed slots and then takes slots above every
        // live object, so each object left behind moves the batch's highest slot up by one.
        auto highestSlot = [] {
            std::vector<HBRUSH> probes;
            unsigned highest = 0;
            for (int i = 0; i < 3000; ++i) {
                probes.push_back(CreateSolidBrush(RGB(1, 2, 3)));
                highest = std::max<unsigned>(highest, LOWORD(reinterpret_cast<ULONG_PTR>(probes.back())));
            }
            for (HBRUSH probe : probes) {
                DeleteObject(probe);
            }
            return highest;
        };
        auto showMany = [&path](int count) {
            HBITMAP previous = DisplayedPictureBitmap();
            for (int i = 0; i < count; ++i) {
                ShowPictureFile(path);
                ASSERT_NE(DisplayedPictureBitmap(), nullptr);
                ASSERT_EQ(GetObjectType(previous), 0u) << "the bitmap shown before was not released, display " << i;
                previous = DisplayedPictureBitmap();
            }
        };
        showMany(50); // the system's own caches settle
        const DWORD objectsBefore = gdiObjects();
        const unsigned slotBefore = highestSlot();
        showMany(1000);
        const unsigned slotAfterFirst = highestSlot();
        showMany(1000);
        const unsigned slotAfterSecond = highestSlot();
        EXPECT_LE(gdiObjects(), objectsBefore + 2);
        // One object left per display would move it up by a thousand each time.
        EXPECT_LE(slotAfterFirst, slotBefore + 100);
        EXPECT_LE(slotAfterSecond, slotAfterFirst + 100);
        ExpectPictureAtTopLeft(327, 355, kRed, 0, 8);
    });
}

// A store with recipes whose pictures are the bytes of files, in a temporary folder, and the
// picture cache folder beside it.
class RecipePicture : public PictureDisplay {
protected:
    RecipePicture() {
        CreateDirectoryW((folder_.Path() + L"store").c_str(), nullptr);
        PointAtTestStore();
        cacheFolder_ = folder_.Path() + L"quelmo cache\\";
        CreateDirectoryW(cacheFolder_.c_str(), nullptr);
    }
    void Add(int64_t key, const std::string &picture, const std::string &extension) {
        const std::vector<FieldDescriptor> &schema = SchemaTable();
        auto append = [&](int field, const std::string &value) {
            for (size_t i = 0; i < value.size(); ++i) {
                ASSERT_EQ(AppendDataRecord(static_cast<uint8_t>(value[i]), schema[static_cast<size_t>(field) - 1], key,
                                           i + 1 == value.size()),
                          FileStatus::Ok);
            }
        };
        append(kFieldDishName, "Plato " + std::to_string(key));
        append(kFieldPicture, picture);
        append(kFieldCategory, "Arroz");
        append(kFieldExtension, extension);
    }
    void PointAtTestStore() { SetStoreLocation(folder_.Path() + L"store", "guisla"); }
    // Points the program's store and cache folder here (the main window's start-up set its own)
    // for the run of `checks` in the main window.
    void WithCache(const std::function<void()> &checks) {
        WithMainWindow([&](HWND) {
            PointAtTestStore();
            PictureCacheFolder = WideToAnsi(cacheFolder_);
            checks();
        });
    }
    std::vector<std::wstring> CacheFiles() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((cacheFolder_ + L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..") {
                    names.push_back(found.cFileName);
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        return names;
    }
    std::wstring cacheFolder_;
};

std::string AsString(const std::vector<uint8_t> &bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(RecipePicture, StoredPictureIsShownAndTheCacheFileDeleted) {
    const std::wstring source = File(L"source.jpg");
    ASSERT_TRUE(SaveSolidImage(source, 800, 600, kJpeg, kArgbRed));
    const std::wstring second = File(L"second.gif");
    ASSERT_TRUE(SaveSolidImage(second, 50, 50, kGif, kArgbBlue));
    Add(1, AsString(ReadBytes(source)), "jpg");
    Add(2, AsString(ReadBytes(second)), "gif");
    WithCache([&] {
        EXPECT_TRUE(RunCatchingMessageBoxes([] { ShowRecipePicture(1); }).empty());
        ExpectPictureAtTopLeft(327, 245, kRed);
        EXPECT_TRUE(CacheFiles().empty());
        // A read-only file of the cache file's name is replaced, and gone afterwards.
        const std::wstring leftover = cacheFolder_ + L"image_2.gif";
        WriteBytes(leftover, {'o', 'l', 'd'});
        ASSERT_TRUE(SetFileAttributesW(leftover.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        EXPECT_TRUE(RunCatchingMessageBoxes([] { ShowRecipePicture(2); }).empty());
        ExpectPictureAtTopLeft(327, 355, kBlue, 0, 8);
        EXPECT_TRUE(CacheFiles().empty());
    });
}

TEST_F(RecipePicture, RecipeWithoutPictureClearsTheBoxSilently) {
    const std::wstring source = File(L"source.png");
    ASSERT_TRUE(SaveSolidImage(source, 80, 60, kPng, kArgbRed));
    Add(1, AsString(ReadBytes(source)), "png");
    Add(2, "", ""); // no picture: neither value is stored
    WithCache([&] {
        EXPECT_TRUE(RunCatchingMessageBoxes([] { ShowRecipePicture(1); }).empty());
        ASSERT_NE(DisplayedPictureBitmap(), nullptr);
        // Watch the folder while the second recipe is shown: no file appears in it, not even briefly.
        HANDLE watch = FindFirstChangeNotificationW(cacheFolder_.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
        ASSERT_NE(watch, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(RunCatchingMessageBoxes([] { ShowRecipePicture(2); }).empty());
        EXPECT_EQ(WaitForSingleObject(watch, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        FindCloseChangeNotification(watch);
        EXPECT_EQ(DisplayedPictureBitmap(), nullptr);
        ExpectBoxCleared();
    });
}

TEST_F(RecipePicture, HostileExtensionsNeverLeaveTheCacheFolder) {
    // Not an image, so the read-error message names the path the cache file was written to.
    const std::string notAnImage = "not a picture";
    const std::string hostile[] = {
        "..\\..\\escaped", "..\\escaped.txt",           "x:stream", "\\\\server\\share\\x", "C:\\Windows\\x", "CON",
        "a/../../b",       std::string(300, '.') + "ok"};
    int64_t key = 1;
    for (const std::string &extension : hostile) {
        Add(key++, notAnImage, extension);
    }
    const std::vector<std::wstring> parentBefore = [&] {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((folder_.Path() + L"*").c_str(), &found);
        do {
            names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }();
    WithCache([&] {
        for (int64_t k = 1; k < key; ++k) {
            SCOPED_TRACE(k);
            const auto boxes = RunCatchingMessageBoxes([k] { ShowRecipePicture(k); });
            ASSERT_EQ(boxes.size(), 1u);
            const std::string name = PictureCacheFileName(k, hostile[k - 1]);
            EXPECT_EQ(boxes[0].text, L"[GraphicLoadImageFileToBitmap] [GdipLoadImagefromFile] read error on <" +
                                         cacheFolder_ + std::wstring(name.begin(), name.end()) + L">");
            EXPECT_EQ(name.find_first_of("\\/:"), std::string::npos);
            EXPECT_TRUE(CacheFiles().empty());
        }
    });
    EXPECT_FALSE(FileExists(folder_.Path() + L"escaped"));
    EXPECT_FALSE(FileExists(folder_.Path() + L"escaped.txt"));
    std::vector<std::wstring> parentAfter;
    {
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((folder_.Path() + L"*").c_str(), &found);
        do {
            parentAfter.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(parentAfter, parentBefore);
}

TEST_F(RecipePicture, MissingCacheFolderGivesTheMissingFileMessage) {
    const std::wstring source = File(L"source.png");
    ASSERT_TRUE(SaveSolidImage(source, 20, 20, kPng, kArgbRed));
    Add(4, AsString(ReadBytes(source)), "png");
    RemoveDirectoryW(cacheFolder_.c_str());
    WithCache([&] {
        const auto boxes = RunCatchingMessageBoxes([] { ShowRecipePicture(4); });
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  L"[GraphicLoadImageFileToBitmap] called on <" + cacheFolder_ + L"image_4.png> Missing file");
    });
}

} // namespace
