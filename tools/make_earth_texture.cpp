// Draws the default sphere texture, earth256.bmp: a globe-like map of
// invented continents on blue seas, with ice caps and a grid of latitude and
// longitude lines every 30 degrees. The picture is this program's own, made
// from a fixed seed so that every run writes the same bytes.
//
// usage: make_earth_texture OUT.bmp
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {
constexpr int kWidth = 256;
constexpr int kHeight = 128;
constexpr double kPi = 3.14159265358979323846;

// Smooth pseudo-random relief on the unit sphere: a sum of waves with fixed
// directions and frequencies, so the map joins up at the date line.
double relief(double x, double y, double z) {
    static const double waves[][5] = {
        // direction x, y, z, frequency, phase
        {0.8, 0.2, 0.56, 2.0, 0.3},  {-0.3, 0.9, 0.3, 2.5, 1.1},  {0.1, -0.4, 0.9, 3.1, 2.0},
        {0.6, -0.7, -0.4, 4.3, 0.7}, {-0.9, -0.1, 0.4, 5.2, 2.9}, {0.3, 0.5, -0.8, 6.7, 1.6},
        {-0.5, 0.6, 0.6, 8.9, 0.2},  {0.7, 0.7, 0.1, 11.3, 2.4},
    };
    double h = 0;
    double amplitude = 1;
    for (const auto& w : waves) {
        double d = w[0] * x + w[1] * y + w[2] * z;
        h += amplitude * std::sin(w[3] * d + w[4]);
        amplitude *= 0.72;
    }
    return h;
}

struct Rgb {
    int r, g, b;
};

Rgb colourAt(int px, int py) {
    double lon = (px + 0.5) / kWidth * 2 * kPi - kPi;
    double lat = kPi / 2 - (py + 0.5) / kHeight * kPi;
    double x = std::cos(lat) * std::cos(lon), y = std::cos(lat) * std::sin(lon), z = std::sin(lat);
    double h = relief(x, y, z);
    double latDeg = lat * 180 / kPi, lonDeg = lon * 180 / kPi;
    Rgb c;
    if (std::abs(latDeg) > 72 + 4 * std::sin(3 * lon)) {
        c = {235, 240, 245};  // ice
    } else if (h > 0.35) {
        double t = std::min(1.0, (h - 0.35) / 1.2);
        // Green lowlands rising to brown highlands; drier near the tropics.
        double dry = std::exp(-std::pow((std::abs(latDeg) - 25) / 12, 2));
        c = {static_cast<int>(60 + 110 * t + 70 * dry), static_cast<int>(130 + 20 * t - 10 * dry),
             static_cast<int>(50 + 40 * t)};
    } else {
        double depth = std::min(1.0, (0.35 - h) / 1.5);
        c = {static_cast<int>(30 - 20 * depth), static_cast<int>(90 - 50 * depth),
             static_cast<int>(190 - 60 * depth)};
    }
    // Grid lines every 30 degrees, one pixel wide.
    double latStep = 180.0 / kHeight, lonStep = 360.0 / kWidth;
    bool onLat = std::abs(std::remainder(latDeg, 30.0)) < latStep / 2;
    bool onLon = std::abs(std::remainder(lonDeg, 30.0)) < lonStep / 2;
    if (onLat || onLon) c = {(c.r + 255) / 2, (c.g + 230) / 2, (c.b + 120) / 2};
    return c;
}

void put16(std::vector<std::uint8_t>& o, unsigned v) {
    o.push_back(v & 0xFF);
    o.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<std::uint8_t>& o, unsigned v) {
    put16(o, v & 0xFFFF);
    put16(o, v >> 16);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_earth_texture OUT.bmp\n");
        return 2;
    }
    const unsigned row = kWidth * 3;  // 768: already a multiple of 4
    const unsigned imageBytes = row * kHeight;
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + imageBytes);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, kWidth);
    put32(out, kHeight);  // positive: rows bottom-up
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, imageBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int py = kHeight - 1; py >= 0; --py)
        for (int px = 0; px < kWidth; ++px) {
            Rgb c = colourAt(px, py);
            out.push_back(static_cast<std::uint8_t>(c.b));
            out.push_back(static_cast<std::uint8_t>(c.g));
            out.push_back(static_cast<std::uint8_t>(c.r));
        }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
