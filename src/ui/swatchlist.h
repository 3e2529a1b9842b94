// The colour swatches that the sphere tree shows as item icons: the nine
// level colours first, then one per further colour asked for.
#pragma once

#include <QIcon>
#include <QList>
#include <cstdint>

// UI thread only.
class SwatchList {
  public:
    static constexpr int kSwatchSize = 10;

    SwatchList();
    // Paints a 10 x 10 swatch of colour (0x00BBGGRR) and adds it; returns its index.
    int add(std::uint32_t color);
    // The index of an existing swatch of that colour, adding one if none.
    int indexFor(std::uint32_t color);
    // Repaints the swatch at index in colour; every item showing it follows.
    void replace(int index, std::uint32_t color);
    int count() const { return static_cast<int>(icons_.size()); }
    const QIcon& icon(int index) const { return icons_.at(index); }
    std::uint32_t color(int index) const { return colors_.at(index); }

    static QColor toQColor(std::uint32_t colorref);

  private:
    QList<QIcon> icons_;
    QList<std::uint32_t> colors_;
};
