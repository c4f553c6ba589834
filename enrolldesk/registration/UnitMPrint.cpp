#include "UnitMPrint.h"

#include <cmath>

namespace MPrint {

int millimetresToPixels(double mm, int dpi) {
    // nearbyint rounds in the current mode, which is to nearest, ties to even.
    const long double tenThousandths = std::nearbyintl(static_cast<long double>(mm) * dpi * 10000 / 25.4L);
    return static_cast<int>(std::nearbyintl(tenThousandths / 10000));
}

QPoint textPoint(double x, double y, const PrinterUnits& units) {
    return {millimetresToPixels(x, units.dpiX), millimetresToPixels(y, units.dpiY) - units.offsetY};
}

QPoint boxPoint(double x, double y, const PrinterUnits& units) { return textPoint(x, y, units); }

} // namespace MPrint
