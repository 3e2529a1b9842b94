// The `rotundel movie` command, run as the user runs it: movie files that
// FFmpeg's libraries read back with the frames and size asked for, frames
// that change as the automaton animates, and a movie that loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "commandtest.h"
#include "document.h"
#include "imagefile.h"
#include "moviefile.h"
#include "sphere.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace fs = std::filesystem;

namespace {
struct Decoded {
    int frames = 0, width = 0, height = 0;
    std::string error;
};

// Every frame decoded, as a player would.
Decoded decode(const std::string& path) {
    Decoded d;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        d.error = "not opened";
        return d;
    }
    avformat_find_stream_info(fmt, nullptr);
    int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        d.error = "no video";
        avformat_close_input(&fmt);
        return d;
    }
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, fmt->streams[index]->codecpar);
    ctx->thread_count = 1;
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            ++d.frames;
            d.width = frame->width;
            d.height = frame->height;
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == index) {
            while (avcodec_send_packet(ctx, pkt) == AVERROR(EAGAIN)) drain();
            drain();
        }
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return d;
}

// Pixels whose colour differs by more than tolerance in some channel.
int differingPixels(const RgbaImage& a, const RgbaImage& b, int tolerance = 0) {
    int n = 0;
    for (std::size_t i = 0; i + 3 < a.pixels.size() && i + 3 < b.pixels.size(); i += 4) {
        bool differs = false;
        for (std::size_t c = 0; c < 3; ++c)
            differs |= std::abs(a.pixels[i + c] - b.pixels[i + c]) > tolerance;
        n += differs;
    }
    return n;
}

RgbaImage frame(const fs::path& folder, int index) {
    RgbaImage img;
    std::string error;
    EXPECT_TRUE(ImageFile::read((folder / MovieFile::frameName(index)).string(), &img, &error))
        << error;
    return img;
}

class MovieCommand : public CommandTest {
  protected:
    MovieCommand() : CommandTest("rotundel-movie", "movie", true) {}
};

// A document opens with 100 movie frames: one cycle of the animation.
constexpr int kCycle = 100;

void tiltingChild(Document& d) {
    Sphere* b = d.findSphereByName("B");
    b->dynamic = 1;
    b->dynamicAxisX = 1;
}
void orbitView(Document& d) {
    d.viewFromStationary = 0;
}
}  // namespace

TEST_F(MovieCommand, MovieFilesReadBackWithTheFramesAndSizeAskedFor) {
    std::string doc = document();
    struct Case {
        std::string out, args;
        int frames, w, h;
    } cases[] = {
        {"a.mp4", "--frames 7 --width 96 --height 64", 7, 96, 64},
        {"b.webm", "--frames 5 --width 80 --height 48 --rolling", 5, 80, 48},
        {"c.gif", "--frames 4 --width 50 --height 30", 4, 50, 30},
        // H.264 and VP9 need even sides: the odd pixel goes (and it is
        // said); GIF keeps it; one side alone keeps 4:3.
        {"d.mp4", "--frames 3 --width 65 --height 33", 3, 64, 32},
        {"e.gif", "--frames 2 --width 41 --height 31", 2, 41, 31},
        {"f.webm", "--frames 2 --width 64", 2, 64, 48},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        fs::path out = dir / c.out;
        int status = run(quote(doc) + " -o " + quote(out.string()) + " " + c.args);
        if (status == 1 && err.find("OpenGL") != std::string::npos) GTEST_SKIP() << err;
        ASSERT_EQ(status, 0) << err;
        EXPECT_EQ(err.find("even sides") != std::string::npos, c.out == "d.mp4") << err;
        Decoded d = decode(out.string());
        EXPECT_EQ(d.error, "");
        EXPECT_EQ(d.frames, c.frames);
        EXPECT_EQ(d.width, c.w);
        EXPECT_EQ(d.height, c.h);
    }
}

TEST_F(MovieCommand, AnimatedFramesDifferAndTheMovieLoops) {
    struct Case {
        const char* what;
        void (*change)(Document&);
        std::string args;
        int distinct;  // among the first 6 frames
        bool loops;    // the frame after a cycle equals the first
    } cases[] = {
        {"dynamic axis", tiltingChild, "--frames 101", 6, true},
        {"orbiting camera", orbitView, "--frames 101", 6, true},
        {"rolling", nullptr, "--frames 7 --rolling", 6, false},
        {"still, so rolling", nullptr, "--frames 7", 6, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string doc = document("a.one", c.change);
        fs::path out = dir / "frames";
        fs::remove_all(out);
        int status =
            run(quote(doc) + " -o " + quote(out.string()) + " --width 40 --height 30 " + c.args);
        if (status == 1 && err.find("OpenGL") != std::string::npos) GTEST_SKIP() << err;
        ASSERT_EQ(status, 0) << err;
        std::set<std::vector<std::uint8_t>> seen;
        for (int k = 0; k < 6; ++k) seen.insert(frame(out, k).pixels);
        EXPECT_EQ(static_cast<int>(seen.size()), c.distinct);
        // The dynamic angles and the orbit turn in single precision, so
        // after a cycle the odd edge pixel may be shaded a little otherwise.
        if (c.loops) {
            RgbaImage first = frame(out, 0);
            int some = first.width * first.height / 100;
            EXPECT_LE(differingPixels(frame(out, kCycle), first, 64), some);
            EXPECT_GT(differingPixels(frame(out, kCycle / 2), first, 64), some);
        }
    }
    // A shorter movie into the same folder leaves its frames alone there.
    fs::path out = dir / "frames";
    ASSERT_EQ(run(quote(document()) + " -o " + quote(out.string()) + "/ --frames 2 --width 40"), 0)
        << err;
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

TEST_F(MovieCommand, FailuresSayWhy) {
    std::string doc = document();
    fs::create_directory(dir / "old.mp4");
    struct Case {
        std::string args;
        int status;
        std::string mentions;
    } cases[] = {
        {quote((dir / "none.one").string()) + " -o x.mp4", 1, "none.one"},
        {quote(doc) + " -o " + quote((dir / "no" / "x.mp4").string()), 1, "x.mp4"},
        {quote(doc), 2, "-o"},
        {quote(doc) + " -o x.mp4 --frames 0", 2, "--frames"},
        {quote(doc) + " -o x.mp4 --width wide", 2, "--width"},
        {quote(doc) + " -o x.mp4 --speed 2", 2, "--speed"},
        {quote(doc) + " -o clip.avi", 2, "clip.avi"},
        // Refused before any of the many frames is rendered.
        {quote(doc) + " -o " + quote((dir / "old.mp4").string()) + " --frames 99999", 1, "folder"},
        {quote(doc) + " -o " + quote((dir / "huge.mp4").string()) + " --width 16384 --height 16384",
         1, "too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run(c.args), c.status) << err;
        EXPECT_NE(err.find(c.mentions), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

TEST_F(MovieCommand, Mp4IsTheSameByteForByteEveryTime) {
    std::string doc = document();
    std::string bytes[2];
    for (int k = 0; k < 2; ++k) {
        fs::path out = dir / ("m" + std::to_string(k) + ".mp4");
        int status = run(quote(doc) + " -o " + quote(out.string()) + " --frames 12 --width 96");
        if (status == 1 && err.find("OpenGL") != std::string::npos) GTEST_SKIP() << err;
        ASSERT_EQ(status, 0) << err;
        std::ifstream in(out, std::ios::binary);
        bytes[k].assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_FALSE(bytes[0].empty());
    EXPECT_TRUE(bytes[0] == bytes[1]);
}
