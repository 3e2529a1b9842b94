// Image files: formats by extension, writing with the size and format asked
// for, failures that say why, and pictures that are refused.
#include "imagefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "texturefinder.h"

namespace fs = std::filesystem;

namespace {
RgbaImage gradient(int w, int h) {
    RgbaImage img{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 4)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto* p = img.pixels.data() + (static_cast<std::size_t>(y) * w + x) * 4;
            p[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, w - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1));
            p[2] = 40;
            p[3] = 0;  // the frame's clear alpha: must not make the file transparent
        }
    return img;
}
std::string head(const fs::path& p, std::size_t n) {
    std::ifstream in(p, std::ios::binary);
    std::string s(n, '\0');
    in.read(s.data(), static_cast<std::streamsize>(n));
    return s;
}
struct TempDir {
    fs::path path =
        fs::temp_directory_path() /
        ("rotundel-render-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};
}  // namespace

TEST(ImageFile, FormatByExtension) {
    struct Case {
        const char* path;
        std::optional<ImageFormat> want;
    } cases[] = {
        {"a.bmp", ImageFormat::Bmp},    {"a.BMP", ImageFormat::Bmp}, {"x/y.jpg", ImageFormat::Jpeg},
        {"a.JPEG", ImageFormat::Jpeg},  {"a.png", ImageFormat::Png}, {"a.tif", ImageFormat::Tiff},
        {"a.tiff", ImageFormat::Tiff},  {"a.gif", std::nullopt},     {"png", std::nullopt},
        {"dir.png/file", std::nullopt}, {"a.", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ImageFile::formatForPath(c.path), c.want) << c.path;
}

TEST(ImageFile, WrittenFilesHaveTheSizeAndFormatAskedFor) {
    TempDir dir;
    struct Case {
        const char* name;
        ImageFormat format;
        std::string magic;
    } cases[] = {
        {"a.png", ImageFormat::Png, "\x89PNG"},
        {"a.bmp", ImageFormat::Bmp, "BM"},
        {"a.jpg", ImageFormat::Jpeg, "\xFF\xD8\xFF"},
        {"a.tif", ImageFormat::Tiff, "II*"},
    };
    for (const auto& c : cases) {
        fs::path p = dir.path / c.name;
        RgbaImage img = gradient(37, 23);
        ASSERT_EQ(ImageFile::write(img, p.string(), c.format), "") << c.name;
        EXPECT_EQ(head(p, c.magic.size()), c.magic) << c.name;
        RgbaImage back;
        std::string error;
        ASSERT_TRUE(ImageFile::read(p.string(), &back, &error)) << error;
        EXPECT_EQ(back.width, 37);
        EXPECT_EQ(back.height, 23);
        // Opaque, and the picture is the same way up.
        EXPECT_EQ(back.at(0, 0)[3], 255) << c.name;
        EXPECT_NEAR(back.at(36, 0)[0], 255, 8) << c.name;
        EXPECT_NEAR(back.at(0, 22)[1], 255, 8) << c.name;
        EXPECT_NEAR(back.at(0, 0)[0], 0, 8) << c.name;
    }
}

TEST(ImageFile, FailedWritesSayWhyAndKeepTheOldFile) {
    TempDir dir;
    fs::path existing = dir.path / "keep.png";
    ASSERT_EQ(ImageFile::write(gradient(4, 4), existing.string(), ImageFormat::Png), "");
    auto before = fs::file_size(existing);
    struct Case {
        const char* what;
        std::string path;
        RgbaImage image;
    } cases[] = {
        {"missing folder", (dir.path / "no" / "such" / "a.png").string(), gradient(4, 4)},
        {"a folder", dir.path.string(), gradient(4, 4)},
        {"empty picture", existing.string(), RgbaImage{}},
        {"short pixels", existing.string(), RgbaImage{4, 4, std::vector<std::uint8_t>(10)}},
    };
    for (const auto& c : cases) {
        std::string error = ImageFile::write(c.image, c.path, ImageFormat::Png);
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
    }
    EXPECT_EQ(fs::file_size(existing), before);
}

TEST(ImageFile, UnreadablePicturesAreRefusedWithAReason) {
    TempDir dir;
    fs::path garbage = dir.path / "garbage.bmp";
    std::ofstream(garbage) << "BM this is no bitmap at all";
    fs::path empty = dir.path / "empty.png";
    std::ofstream{empty};
    // A header that claims a picture far too large to hold.
    fs::path huge = dir.path / "huge.bmp";
    {
        std::string h = "BM";
        auto put32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        };
        put32(54);
        put32(0);
        put32(54);
        put32(40);
        put32(100000);
        put32(100000);
        h += std::string("\x01\x00\x18\x00", 4);
        for (int i = 0; i < 6; ++i) put32(0);
        std::ofstream(huge, std::ios::binary) << h;
    }
    for (const fs::path& p :
         {garbage, empty, huge, dir.path / "absent.png", dir.path, fs::path("/dev/null")}) {
        RgbaImage out;
        std::string error;
        EXPECT_FALSE(ImageFile::read(p.string(), &out, &error)) << p;
        EXPECT_FALSE(error.empty()) << p;
    }
}

TEST(TextureFinder, LooksBesideTheDocumentFirstAndNeverElsewhere) {
    TempDir dir;
    fs::create_directories(dir.path / "doc");
    fs::create_directories(dir.path / "program");
    std::ofstream(dir.path / "doc" / "both.bmp") << "x";
    std::ofstream(dir.path / "program" / "both.bmp") << "x";
    std::ofstream(dir.path / "program" / "own.bmp") << "x";
    fs::create_directories(dir.path / "program" / "folder.bmp");
    TextureFinder f((dir.path / "doc").string(), {(dir.path / "program").string()});
    struct Case {
        std::string name;
        std::string want;  // "" = not found
    } cases[] = {
        {"both.bmp", (dir.path / "doc" / "both.bmp").string()},
        {"own.bmp", (dir.path / "program" / "own.bmp").string()},
        {"C:\\pictures\\own.bmp", (dir.path / "program" / "own.bmp").string()},
        {"/elsewhere/own.bmp", (dir.path / "program" / "own.bmp").string()},
        {"../program/own.bmp", (dir.path / "program" / "own.bmp").string()},
        {"missing.bmp", ""},
        {"folder.bmp", ""},
        {"..", ""},
        {"", ""},
        {"/etc/passwd", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(f.find(c.name), c.want) << c.name;
}

TEST(TextureFinder, TheDefaultPictureShipsWithTheProgram) {
    TextureFinder f;
    std::string path = f.find("earth256.bmp");
    ASSERT_FALSE(path.empty());
    RgbaImage img;
    std::string error;
    ASSERT_TRUE(ImageFile::read(path, &img, &error)) << error;
    EXPECT_EQ(img.width, 256);
    EXPECT_EQ(img.height, 128);
}
