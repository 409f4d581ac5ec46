// Checks the program's own resources as they are linked into the executable: every bitmap's size
// and depth read from its raw header, the icons' directories, loading them the way the windows do,
// and the manifest that selects common controls 6.
#include "resources/resource_ids.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <string>
#include <vector>

namespace {

// The raw bytes of a resource of this executable; empty when it is missing.
struct Bytes {
    const unsigned char *data = nullptr;
    size_t size = 0;
};

Bytes RawResource(int id, const wchar_t *type) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (info == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, info);
    const void *locked = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (locked == nullptr) {
        return {};
    }
    return {static_cast<const unsigned char *>(locked), SizeofResource(module, info)};
}

// Little-endian reads that fail, rather than read past the end, on short data.
bool GetU8(Bytes b, size_t at, uint32_t &out) {
    if (at + 1 > b.size) {
        return false;
    }
    out = b.data[at];
    return true;
}

bool GetU16(Bytes b, size_t at, uint32_t &out) {
    if (at + 2 > b.size) {
        return false;
    }
    out = b.data[at] | (b.data[at + 1] << 8);
    return true;
}

bool GetU32(Bytes b, size_t at, uint32_t &out) {
    if (at + 4 > b.size) {
        return false;
    }
    out = uint32_t(b.data[at]) | (uint32_t(b.data[at + 1]) << 8) | (uint32_t(b.data[at + 2]) << 16) |
          (uint32_t(b.data[at + 3]) << 24);
    return true;
}

// The fields of a BITMAPINFOHEADER that the checks need.
struct DibHeader {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t planes = 0;
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
};

bool ParseDibHeader(Bytes b, DibHeader &h) {
    uint32_t width = 0;
    uint32_t height = 0;
    bool ok = GetU32(b, 0, h.headerSize) && GetU32(b, 4, width) && GetU32(b, 8, height) && GetU16(b, 12, h.planes) &&
              GetU16(b, 14, h.bitCount) && GetU32(b, 16, h.compression) && GetU32(b, 32, h.coloursUsed);
    h.width = static_cast<int32_t>(width);
    h.height = static_cast<int32_t>(height);
    return ok && h.headerSize >= 40;
}

// Pixel (x, y), counted from the top, of a bottom-up BI_RGB bitmap of 24 or 32 bits with a
// 40-byte header and no colour table, as 0xAARRGGBB (alpha 0xFF for 24 bits).
bool PixelAt(Bytes b, const DibHeader &h, int x, int y, uint32_t &argb) {
    const size_t bytesPerPixel = h.bitCount / 8;
    const size_t stride = (h.width * bytesPerPixel + 3) / 4 * 4;
    const size_t at = h.headerSize + size_t(h.height - 1 - y) * stride + size_t(x) * bytesPerPixel;
    if (at + bytesPerPixel > b.size) {
        return false;
    }
    const uint32_t alpha = bytesPerPixel == 4 ? b.data[at + 3] : 0xFF;
    argb = (alpha << 24) | (uint32_t(b.data[at + 2]) << 16) | (uint32_t(b.data[at + 1]) << 8) | b.data[at];
    return true;
}

// One entry of an RT_GROUP_ICON directory.
struct GroupEntry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t colourCount = 0;
    uint32_t planes = 0;
    uint32_t bitCount = 0;
    uint32_t iconId = 0;
};

bool ParseIconGroup(Bytes b, std::vector<GroupEntry> &entries) {
    uint32_t reserved = 0;
    uint32_t type = 0;
    uint32_t count = 0;
    if (!GetU16(b, 0, reserved) || !GetU16(b, 2, type) || !GetU16(b, 4, count) || reserved != 0 || type != 1) {
        return false;
    }
    entries.clear();
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = 6 + size_t(i) * 14;
        GroupEntry e;
        if (!GetU8(b, at, e.width) || !GetU8(b, at + 1, e.height) || !GetU8(b, at + 2, e.colourCount) ||
            !GetU16(b, at + 4, e.planes) || !GetU16(b, at + 6, e.bitCount) || !GetU16(b, at + 12, e.iconId)) {
            return false;
        }
        entries.push_back(e);
    }
    return true;
}

struct PictureSize {
    int id;
    int width;
    int height;
};

const PictureSize kCataloguePictures[] = {
    {IDB_APERITIVOS, 38, 39},
    {IDB_COLD_DISHES, 37, 38},
    {IDB_FRIED, 39, 38},
    {IDB_SAUCES, 38, 38},
    {IDB_STEWS, 39, 39},
    {IDB_GENERAL, 38, 39},
    {IDB_PASTA, 37, 39},
    {IDB_FISH, 36, 39},
    {IDB_POULTRY, 37, 40},
    {IDB_PASTRY, 37, 35},
    {IDB_COCKTAILS, 36, 37},
    {IDB_BUNS, 37, 39},
    {IDB_INGREDIENTS_EMBLEM, 38, 38},
    {IDB_SOUPS, 39, 38},
};

const int kMenuPictures[] = {IDB_MENU_NEW,         IDB_MENU_SAVE,        IDB_MENU_SEARCH,
                             IDB_MENU_AUTHOR,      IDB_MENU_EXIT,        IDB_MENU_DISH_CATEGORY,
                             IDB_MENU_INGREDIENTS, IDB_MENU_ELABORATION, IDB_MENU_PICTURE};

constexpr uint32_t kWindowColour = 0xFFE8DE99; // RGB 232, 222, 153, opaque

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0) {
        return {0, 0};
    }
    return {info.bmWidth, info.bmHeight};
}

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return {0, 0};
    }
    SIZE size = BitmapSize(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask);
    if (info.hbmColor == nullptr) {
        size.cy /= 2; // a monochrome icon keeps its AND and XOR halves in one bitmap
    }
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != nullptr) {
        DeleteObject(info.hbmMask);
    }
    return size;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t &c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

} // namespace

TEST(ResourcesBitmaps, CataloguePicturesAreOpaque32BitBitmapsOfTheirSizes) {
    for (const PictureSize &picture : kCataloguePictures) {
        SCOPED_TRACE(picture.id);
        const Bytes raw = RawResource(picture.id, RT_BITMAP);
        ASSERT_NE(raw.data, nullptr);
        DibHeader h;
        ASSERT_TRUE(ParseDibHeader(raw, h));
        EXPECT_EQ(h.headerSize, 40u);
        EXPECT_EQ(h.width, picture.width);
        EXPECT_EQ(h.height, picture.height); // positive: bottom-up
        EXPECT_EQ(h.planes, 1u);
        EXPECT_EQ(h.bitCount, 32u);
        EXPECT_EQ(h.compression, uint32_t(BI_RGB));
        ASSERT_GE(raw.size, 40u + size_t(picture.width) * picture.height * 4);

        // The image list and SS_BITMAP statics draw the pixels as they are: any pixel that is
        // not fully opaque would show as a dark speck on real Windows.
        int notOpaque = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                uint32_t argb = 0;
                ASSERT_TRUE(PixelAt(raw, h, x, y, argb));
                notOpaque += (argb >> 24) != 0xFF;
            }
        }
        EXPECT_EQ(notOpaque, 0);

        HBITMAP loaded = static_cast<HBITMAP>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(picture.id), IMAGE_BITMAP, 0, 0, 0));
        const SIZE size = BitmapSize(loaded);
        EXPECT_EQ(size.cx, picture.width);
        EXPECT_EQ(size.cy, picture.height);
        if (loaded != nullptr) {
            DeleteObject(loaded);
        }
    }
}

TEST(ResourcesBitmaps, CataloguePicturesFitTheCategoryListCell) {
    // The category lists keep each picture in a 36 x 37 image list cell copied from the bitmap's
    // top-left corner; anything drawn further right or lower would be cut off there.
    constexpr int kCellWidth = 36;
    constexpr int kCellHeight = 37;
    for (const PictureSize &picture : kCataloguePictures) {
        SCOPED_TRACE(picture.id);
        const Bytes raw = RawResource(picture.id, RT_BITMAP);
        DibHeader h;
        ASSERT_TRUE(ParseDibHeader(raw, h));
        int outside = 0;
        int inside = 0;
        for (int y = 0; y < h.height; ++y) {
            for (int x = 0; x < h.width; ++x) {
                uint32_t argb = 0;
                ASSERT_TRUE(PixelAt(raw, h, x, y, argb));
                if (argb != kWindowColour) {
                    (x < kCellWidth && y < kCellHeight ? inside : outside) += 1;
                }
            }
        }
        EXPECT_EQ(outside, 0);
        EXPECT_GT(inside, kCellWidth * kCellHeight / 3); // a real drawing, not a blank tile
    }
}

TEST(ResourcesBitmaps, EmblemsBlendIntoTheWindowBackground) {
    // The two headings' emblems sit straight on the main window: their corners are its colour.
    for (int id : {IDB_SAUCES, IDB_INGREDIENTS_EMBLEM}) {
        SCOPED_TRACE(id);
        const Bytes raw = RawResource(id, RT_BITMAP);
        DibHeader h;
        ASSERT_TRUE(ParseDibHeader(raw, h));
        for (POINT corner :
             {POINT{0, 0}, POINT{h.width - 1, 0}, POINT{0, h.height - 1}, POINT{h.width - 1, h.height - 1}}) {
            uint32_t argb = 0;
            ASSERT_TRUE(PixelAt(raw, h, corner.x, corner.y, argb));
            EXPECT_EQ(argb, kWindowColour) << corner.x << "," << corner.y;
        }
    }
}

TEST(ResourcesBitmaps, MenuPicturesAre24BitAndVisibleInTheCheckMarkSquare) {
    // The menu shows only a check-mark-sized square from the top-left corner of each picture
    // (11 x 11 pixels under Wine): the drawing must be there, not just in the rest of the 16 x 16.
    const int shown = std::min(16, GetSystemMetrics(SM_CXMENUCHECK));
    for (int id : kMenuPictures) {
        SCOPED_TRACE(id);
        const Bytes raw = RawResource(id, RT_BITMAP);
        ASSERT_NE(raw.data, nullptr);
        DibHeader h;
        ASSERT_TRUE(ParseDibHeader(raw, h));
        EXPECT_EQ(h.headerSize, 40u);
        EXPECT_EQ(h.width, 16);
        EXPECT_EQ(h.height, 16);
        EXPECT_EQ(h.bitCount, 24u);
        EXPECT_EQ(h.compression, uint32_t(BI_RGB));
        ASSERT_GE(raw.size, 40u + 16u * 16u * 3u);

        uint32_t background = 0;
        ASSERT_TRUE(PixelAt(raw, h, 15, 15, background));
        int drawn = 0;
        for (int y = 0; y < shown; ++y) {
            for (int x = 0; x < shown; ++x) {
                uint32_t argb = 0;
                ASSERT_TRUE(PixelAt(raw, h, x, y, argb));
                drawn += argb != background;
            }
        }
        EXPECT_GE(drawn, shown * shown / 3);

        // Loaded as the menu loads it (LR_COPYFROMRESOURCE).
        HBITMAP loaded = static_cast<HBITMAP>(
            LoadImageA(GetModuleHandleW(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_COPYFROMRESOURCE));
        const SIZE size = BitmapSize(loaded);
        EXPECT_EQ(size.cx, 16);
        EXPECT_EQ(size.cy, 16);
        if (loaded != nullptr) {
            DeleteObject(loaded);
        }
    }
}

TEST(ResourcesIcons, ProgramIconHasA32And16PixelImage) {
    std::vector<GroupEntry> entries;
    ASSERT_TRUE(ParseIconGroup(RawResource(IDI_PROGRAM, RT_GROUP_ICON), entries));
    bool has32 = false;
    bool has16 = false;
    for (const GroupEntry &e : entries) {
        SCOPED_TRACE(e.width);
        EXPECT_EQ(e.width, e.height);
        has32 = has32 || e.width == 32;
        has16 = has16 || e.width == 16;
        DibHeader h;
        ASSERT_TRUE(ParseDibHeader(RawResource(int(e.iconId), RT_ICON), h));
        EXPECT_EQ(uint32_t(h.width), e.width);
        EXPECT_EQ(uint32_t(h.height), 2 * e.height); // colour image and AND mask
        EXPECT_EQ(h.bitCount, e.bitCount);
    }
    EXPECT_TRUE(has32);
    EXPECT_TRUE(has16);

    for (int side : {32, 16}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, side, side, 0));
        ASSERT_NE(icon, nullptr) << side;
        const SIZE size = IconSize(icon);
        EXPECT_EQ(size.cx, side);
        EXPECT_EQ(size.cy, side);
        DestroyIcon(icon);
    }
}

TEST(ResourcesIcons, AnimationFramesAre16Colour32PixelIconsThatChangeEveryFrame) {
    std::vector<std::vector<unsigned char>> images;
    for (int id = IDI_ANIMATION_FIRST; id <= IDI_ANIMATION_LAST; ++id) {
        SCOPED_TRACE(id);
        std::vector<GroupEntry> entries;
        ASSERT_TRUE(ParseIconGroup(RawResource(id, RT_GROUP_ICON), entries));
        ASSERT_EQ(entries.size(), 1u);
        const GroupEntry &e = entries[0];
        EXPECT_EQ(e.width, 32u);
        EXPECT_EQ(e.height, 32u);
        EXPECT_EQ(e.colourCount, 16u);
        EXPECT_EQ(e.bitCount, 4u);

        const Bytes image = RawResource(int(e.iconId), RT_ICON);
        DibHeader h;
        ASSERT_TRUE(ParseDibHeader(image, h));
        EXPECT_EQ(h.width, 32);
        EXPECT_EQ(h.height, 64);
        EXPECT_EQ(h.bitCount, 4u);
        EXPECT_TRUE(h.coloursUsed == 0 || h.coloursUsed == 16) << h.coloursUsed;
        // Header, 16-colour table, 4-bit pixels, 1-bit mask.
        ASSERT_GE(image.size, 40u + 16u * 4u + 32u * 16u + 32u * 4u);
        images.emplace_back(image.data, image.data + image.size);

        HICON icon =
            static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, 0));
        ASSERT_NE(icon, nullptr);
        const SIZE size = IconSize(icon);
        EXPECT_EQ(size.cx, 32);
        EXPECT_EQ(size.cy, 32);
        DestroyIcon(icon);
    }
    ASSERT_EQ(images.size(), size_t(IDI_ANIMATION_LAST - IDI_ANIMATION_FIRST + 1));
    // The cycle runs 701..707 and back to 701: each step must show a different picture.
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_NE(images[i], images[(i + 1) % images.size()]) << "frame " << IDI_ANIMATION_FIRST + int(i);
    }
}

TEST(ResourcesManifest, AsksForCommonControls6AndGetsThem) {
    const Bytes raw = RawResource(1, RT_MANIFEST);
    ASSERT_NE(raw.data, nullptr);
    const std::string manifest(reinterpret_cast<const char *>(raw.data), raw.size);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos);

    // The manifest is only worth something if the loader honoured it: the common controls then
    // come from the side-by-side store, not from the system folder.
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(comctl, path, MAX_PATH), 0u);
    EXPECT_NE(Lower(path).find(L"winsxs"), std::wstring::npos) << path;
    FreeLibrary(comctl);
}
