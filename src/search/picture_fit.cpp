// The fitting rule of the picture display.
#include "search/picture_fit.h"

#include <cmath>
#include <limits>

namespace {

// Nearest integer, halves to the even neighbour (independent of the floating-point rounding
// mode); nothing when the result leaves int32. A positive value that rounds to 0 gives 1.
std::optional<int32_t> RoundSide(long double value) {
    if (!(value >= 0.0L && value < static_cast<long double>(std::numeric_limits<int32_t>::max()) + 1.0L)) {
        return std::nullopt; // negative, too large, or not a number
    }
    long double whole = std::floor(value);
    const long double fraction = value - whole;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0.0L)) {
        whole += 1.0L;
    }
    if (whole > static_cast<long double>(std::numeric_limits<int32_t>::max())) {
        return std::nullopt;
    }
    return whole < 1.0L ? 1 : static_cast<int32_t>(whole);
}

} // namespace

std::optional<BitmapSize> FitPicture(double imageWidth, double imageHeight, int32_t boxWidth, int32_t boxHeight,
                                     bool keepAspect) {
    if (boxWidth < 0 || boxHeight < 0 || (keepAspect && (boxWidth == 0 || boxHeight == 0))) {
        return std::nullopt;
    }
    if (!std::isfinite(imageWidth) || !std::isfinite(imageHeight) || !(imageWidth > 0) || !(imageHeight > 0)) {
        return std::nullopt;
    }
    const long double iw = imageWidth;
    const long double ih = imageHeight;
    BitmapSize size{boxWidth, boxHeight};
    if (size.width == 0) {
        const auto side = RoundSide(iw);
        if (!side) {
            return std::nullopt;
        }
        size.width = *side;
    }
    if (size.height == 0) {
        const auto side = RoundSide(ih);
        if (!side) {
            return std::nullopt;
        }
        size.height = *side;
    }
    if (keepAspect) {
        const long double rw = iw / size.width;
        const long double rh = ih / size.height;
        if (rw > rh) {
            if (size.width < iw) {
                const auto side = RoundSide(ih / rw);
                if (!side) {
                    return std::nullopt;
                }
                size.height = *side;
            }
        } else if (size.height < ih) {
            const auto side = RoundSide(iw / rh);
            if (!side) {
                return std::nullopt;
            }
            size.width = *side;
        }
    }
    return size;
}
