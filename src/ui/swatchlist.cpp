// Tree icons painted from sphere colours.
#include "swatchlist.h"

#include <QPixmap>

#include "sphere.h"

SwatchList::SwatchList() {
    for (std::uint32_t c : kLevelColors) add(c);
}

QColor SwatchList::toQColor(std::uint32_t c) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

namespace {
QIcon swatch(std::uint32_t color) {
    QPixmap p(SwatchList::kSwatchSize, SwatchList::kSwatchSize);
    p.fill(SwatchList::toQColor(color));
    return QIcon(p);
}
}  // namespace

int SwatchList::add(std::uint32_t color) {
    color &= 0xffffff;
    icons_.append(swatch(color));
    colors_.append(color);
    return count() - 1;
}

void SwatchList::replace(int index, std::uint32_t color) {
    if (index < 0 || index >= count()) return;
    color &= 0xffffff;
    icons_[index] = swatch(color);
    colors_[index] = color;
}

int SwatchList::indexFor(std::uint32_t color) {
    color &= 0xffffff;
    int i = static_cast<int>(colors_.indexOf(color));
    return i >= 0 ? i : add(color);
}
