// The fitting rule: the box 327 x 355 and its table, ties to even, zero and huge sizes.
#include "search/picture_fit.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

std::optional<BitmapSize> FitIntoBox(double iw, double ih) {
    return FitPicture(iw, ih, kPictureBoxWidth, kPictureBoxHeight, true);
}

TEST(PictureFit, RowsOfTheBoxTable) {
    EXPECT_EQ(FitIntoBox(800, 600), (BitmapSize{327, 245}));  // wider: 245.25
    EXPECT_EQ(FitIntoBox(400, 1000), (BitmapSize{142, 355})); // taller: 142.0
    EXPECT_EQ(FitIntoBox(654, 710), (BitmapSize{327, 355}));  // equal ratios take the height branch
    EXPECT_EQ(FitIntoBox(330, 100), (BitmapSize{327, 99}));   // wider, only just: 99.09
    EXPECT_EQ(FitIntoBox(200, 100), (BitmapSize{327, 355}));  // fits inside: stretched to the box
    EXPECT_EQ(FitIntoBox(327, 355), (BitmapSize{327, 355}));
    EXPECT_EQ(FitIntoBox(100, 100), (BitmapSize{327, 355}));
}

TEST(PictureFit, HalvesRoundToTheEvenNeighbour) {
    // 654 / 327 = 2 exactly, so the height is ih / 2.
    EXPECT_EQ(FitIntoBox(654, 245), (BitmapSize{327, 122})); // 122.5
    EXPECT_EQ(FitIntoBox(654, 247), (BitmapSize{327, 124})); // 123.5
    EXPECT_EQ(FitIntoBox(654, 246), (BitmapSize{327, 123}));
    // 710 / 355 = 2, so the width is iw / 2 (ratios: iw / 327 <= 2).
    EXPECT_EQ(FitIntoBox(325, 710), (BitmapSize{162, 355})); // 162.5
    EXPECT_EQ(FitIntoBox(327, 710), (BitmapSize{164, 355})); // 163.5
    // A box side of 0 without keepAspect takes the picture's side, rounded the same way.
    EXPECT_EQ(FitPicture(2.5, 3.5, 0, 0, false), (BitmapSize{2, 4}));
    EXPECT_EQ(FitPicture(10.5, 11.5, 0, 7, false), (BitmapSize{10, 7}));
}

TEST(PictureFit, ZeroSizes) {
    EXPECT_FALSE(FitPicture(800, 600, 0, 355, true));
    EXPECT_FALSE(FitPicture(800, 600, 327, 0, true));
    EXPECT_FALSE(FitIntoBox(0, 600));
    EXPECT_FALSE(FitIntoBox(800, 0));
    EXPECT_FALSE(FitPicture(0, 0, 0, 0, false));
    // Without keepAspect a box of 0 x 0 is the picture's own size, and a fixed box is kept.
    EXPECT_EQ(FitPicture(800, 600, 0, 0, false), (BitmapSize{800, 600}));
    EXPECT_EQ(FitPicture(800, 600, 100, 50, false), (BitmapSize{100, 50}));
    EXPECT_EQ(FitPicture(800, 600, 0, 50, false), (BitmapSize{800, 50}));
}

TEST(PictureFit, NonsenseSizesGiveNothing) {
    EXPECT_FALSE(FitPicture(800, 600, -327, 355, true));
    EXPECT_FALSE(FitPicture(800, 600, 327, -1, false));
    EXPECT_FALSE(FitIntoBox(-800, 600));
    EXPECT_FALSE(FitIntoBox(std::numeric_limits<double>::quiet_NaN(), 600));
    EXPECT_FALSE(FitIntoBox(800, std::numeric_limits<double>::infinity()));
}

TEST(PictureFit, HugeAndThinPictures) {
    // Enormous pictures still fit the box; the bitmap never leaves the box.
    EXPECT_EQ(FitIntoBox(1e30, 1e30), (BitmapSize{327, 327}));
    EXPECT_EQ(FitIntoBox(65535, 65535), (BitmapSize{327, 327}));
    EXPECT_EQ(FitIntoBox(std::numeric_limits<float>::max(), 1), (BitmapSize{327, 1}));
    // A side that would round to 0 keeps one pixel.
    EXPECT_EQ(FitIntoBox(1e6, 1), (BitmapSize{327, 1}));
    EXPECT_EQ(FitIntoBox(1, 1e6), (BitmapSize{1, 355}));
    // Without keepAspect the picture's own size must fit in 32 bits.
    EXPECT_EQ(FitPicture(2147483647.0, 1, 0, 0, false), (BitmapSize{2147483647, 1}));
    EXPECT_FALSE(FitPicture(2147483648.0, 1, 0, 0, false));
    EXPECT_FALSE(FitPicture(1e30, 1, 0, 0, false));
    // A huge box with a small picture stretches to the box.
    EXPECT_EQ(FitPicture(10, 1, std::numeric_limits<int32_t>::max(), 5, true),
              (BitmapSize{std::numeric_limits<int32_t>::max(), 5}));
}

} // namespace
