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

int SwatchList::add(std::uint32_t color) {
    color &= 0xffffff;
    QPixmap p(kSwatchSize, kSwatchSize);
    p.fill(toQColor(color));
    icons_.append(QIcon(p));
    colors_.append(color);
    return count() - 1;
}

int SwatchList::indexFor(std::uint32_t color) {
    color &= 0xffffff;
    int i = static_cast<int>(colors_.indexOf(color));
    return i >= 0 ? i : add(color);
}
