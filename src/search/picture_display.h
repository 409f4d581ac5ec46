// Drawing a picture into the main window's picture box: from an image file the user chose, or
// from a saved recipe through a short-lived file in the picture cache folder.
#ifndef GUISLA_SEARCH_PICTURE_DISPLAY_H
#define GUISLA_SEARCH_PICTURE_DISPLAY_H

#include <windows.h>

#include "search/stored_picture.h"
#include "ui/gdi.h"

#include <cstdint>
#include <string>

// The two messages of the loader (shown without owner and without a caption of their own).
std::wstring MissingPictureMessage(const std::wstring &path);
std::wstring UnreadablePictureMessage(const std::wstring &path);

// The messages about a picture that was read but cannot be shown (caption "Programador", as the
// program's other messages): too large for the display's memory (with its size in pixels), or
// damaged (cut short, corrupt).
std::wstring TooLargePictureMessage(const std::wstring &path, uint64_t width, uint64_t height);
std::wstring DamagedPictureMessage(const std::wstring &path);

// Whether `path` names an existing file: false for an empty path, a path holding "?" or "*",
// one ending in ":", and one that names a folder or nothing.
bool PictureFileExists(const std::wstring &path);

// Decodes the image file at `path` and draws it upright (by its EXIF or TIFF orientation), white
// behind any transparent part, into a new screen-compatible bitmap of the size given by
// FitPicture (picture_fit.h) for its upright size and a box of width x height pixels. Small
// pictures are decoded whole by GDI+; larger JPEG, PNG and TIFF pictures, and turned ones, are
// read reduced in bounded memory (picture_decode.h) and drawn by GDI+ the same way. Returns an
// empty holder:
//  - with keepAspect and a box side of 0, a picture of side 0, or a bitmap that cannot be made
//    or drawn: without a message;
//  - for a missing file: after the missing-file message;
//  - for a file that no decoder reads (not an image, a header cut short): after the read-error
//    message;
//  - for a picture too large to show (refused from its header before decoding, or by the
//    decoder's memory bound) or damaged: after TooLargePictureMessage or DamagedPictureMessage.
// The GDI+ image and graphics object are released before it returns.
BitmapHolder GraphicLoadImageFileToBitmap(const std::wstring &path, int32_t width, int32_t height, bool keepAspect);

// The picture of `path` fitted into 327 x 355 pixels, keeping its aspect; empty as above.
BitmapHolder LoadPictureBitmap(const std::wstring &path);

// Clears the main window's picture box to the background colour, draws the fitted picture at
// its top-left corner and repaints it. The bitmap shown replaces (and releases) the one shown
// before; after a failed load the box stays cleared.
void ShowPictureFile(const std::wstring &path);

// The cache file path of recipe `key` with the given safe extension: the picture cache folder
// and the name of cache_name.h.
std::wstring PictureCacheFilePath(int64_t key, const std::string &safeExtension);

// Shows the picture saved with recipe `key`: its bytes are streamed from the store into the
// cache file "image_<key>.<extension>" in the picture cache folder (a file left there, even a
// read-only one, is replaced), the file is shown with ShowPictureFile and then deleted. A recipe
// without picture clears the box, without a cache file or a message.
void ShowRecipePicture(int64_t key);

// The same for a picture already located (the search remembers where each found recipe's
// picture lies); its bytes are streamed from there, and a store changed since gives the
// read-error message.
void ShowStoredPicture(const StoredPicture &picture);

// The bitmap shown last (nullptr when none): owned by the display, for checks.
HBITMAP DisplayedPictureBitmap();

#endif
