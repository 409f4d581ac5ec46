// The fitting rule of the picture display: the size of the bitmap that a picture of iw x ih
// pixels is drawn into, for a box of w x h pixels. Portable arithmetic, no drawing.
#ifndef GUISLA_SEARCH_PICTURE_FIT_H
#define GUISLA_SEARCH_PICTURE_FIT_H

#include <cstdint>
#include <optional>

// The box every picture of the main window is fitted into.
inline constexpr int32_t kPictureBoxWidth = 327;
inline constexpr int32_t kPictureBoxHeight = 355;

struct BitmapSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const BitmapSize &) const = default;
};

// The bitmap size for a picture of imageWidth x imageHeight pixels (as the image library reports
// them, possibly fractional) and a box of boxWidth x boxHeight pixels:
//  - keepAspect with a box side of 0, a picture side of 0 (or negative or not finite), or a
//    negative box side: no size.
//  - A box side of 0 (without keepAspect) takes the picture's side, rounded.
//  - keepAspect: with rw = iw / w and rh = ih / h, when rw > rh and w < iw the height becomes
//    ih / rw; otherwise, when h < ih, the width becomes iw / rh. So a picture larger than the box
//    is scaled down by the larger ratio, keeping its aspect, and one that fits is stretched to the
//    whole box.
// Divisions are done in extended precision; rounding is to the nearest integer, halves to even.
// A side that rounds to 0 becomes 1 (a very thin picture still shows a line), and a side that
// does not fit in 32 bits gives no size.
std::optional<BitmapSize> FitPicture(double imageWidth, double imageHeight, int32_t boxWidth, int32_t boxHeight,
                                     bool keepAspect);

#endif
