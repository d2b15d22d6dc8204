// Window units (1/96 inch) and their conversion to pixels; shared by the backends.
#pragma once

namespace platform {

// value x dpi / 96, rounded to the nearest, halves away from zero.
constexpr int unitsToPixels(int units, int dpi) {
    const long long scaled = static_cast<long long>(units) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : -((-scaled + 48) / 96));
}

// pixels / (dpi / 96), rounded to the nearest, halves upward.
constexpr int pixelsToUnits(int pixels, int dpi) {
    if (dpi <= 0) return pixels;
    const long long numerator = static_cast<long long>(pixels) * 96 * 2 + dpi;
    const long long denominator = 2LL * dpi;
    long long q = numerator / denominator;
    if (numerator % denominator != 0 && numerator < 0) --q;  // floor for negatives
    return static_cast<int>(q);
}

// Origin that centres an outer extent on a screen: (screen - min(screen, outer)) / 2.
constexpr int centredOrigin(int screen, int outer) {
    return (screen - (outer < screen ? outer : screen)) / 2;
}

}  // namespace platform
