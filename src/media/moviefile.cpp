// Movie encoding through libavcodec/libavformat, and PNG frame folders.
#include "moviefile.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "atomicfile.h"
#include "imagefile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace fs = std::filesystem;

namespace {
std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Frames go to a work folder beside the target and join it when the movie
// is complete, so a cancelled or killed movie leaves no frames behind.
class PngFolder : public MovieFile {
  public:
    PngFolder(const std::string& target, int w, int h)
        : work_(target), target_(target), w_(w), h_(h) {}
    bool open(std::string* error) {
        if (work_.open()) return true;
        *error = "The folder " + target_ +
                 " for the movie frames could not be made: " + work_.error() + ".";
        return false;
    }
    bool add(const RgbaImage& frame, std::string* error) override {
        if (frame.width != w_ || frame.height != h_) {
            *error = "A movie frame came out at the wrong size.";
            return false;
        }
        std::string why =
            ImageFile::write(frame, (work_.path() / frameName(index_)).string(), ImageFormat::Png);
        if (!why.empty()) {
            *error = why;
            return false;
        }
        ++index_;
        return true;
    }
    bool finish(std::string* error) override {
        if (!work_.commit()) {
            *error =
                "The movie frames could not be put into " + target_ + ": " + work_.error() + ".";
            return false;
        }
        // The folder holds one movie: frames of a longer one made there
        // before would play on after this one's end.
        std::error_code ec;
        for (int k = index_; fs::exists(fs::path(target_) / frameName(k), ec); ++k)
            fs::remove(fs::path(target_) / frameName(k), ec);
        return true;
    }

  private:
    WorkFolder work_;
    std::string target_;
    int w_, h_;
    int index_ = 0;
};

// FFmpeg writes the movie into the program's one save, through callbacks:
// the container goes back to fill in sizes, so it may seek.
int writeBytes(void* opaque, std::uint8_t* bytes, int size) {
    auto* file = static_cast<AtomicFile*>(opaque);
    file->write(
        std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)));
    return size;
}
std::int64_t seekBytes(void* opaque, std::int64_t offset, int whence) {
    auto* file = static_cast<AtomicFile*>(opaque);
    if (whence & AVSEEK_SIZE) return file->size();
    return file->seek(offset, whence & ~AVSEEK_FORCE);
}

class Encoded : public MovieFile {
  public:
    explicit Encoded(const std::string& path) : target_(path), file_(path) {}
    ~Encoded() override { close(); }

    bool open(Kind kind, int width, int height, std::string* error) {
        const std::string& path = target_;
        width_ = width;
        height_ = height;
        encodedSize(kind, width, height, &encW_, &encH_);
        const char* muxer = kind == Kind::Mp4 ? "mp4" : kind == Kind::WebM ? "webm" : "gif";
        const AVCodec* codec = nullptr;
        if (kind == Kind::Mp4) codec = avcodec_find_encoder_by_name("libx264");
        if (kind == Kind::WebM) codec = avcodec_find_encoder_by_name("libvpx-vp9");
        if (kind == Kind::Gif) codec = avcodec_find_encoder(AV_CODEC_ID_GIF);
        if (!codec) {
            *error = std::string("This system's FFmpeg has no ") +
                     (kind == Kind::Mp4    ? "H.264"
                      : kind == Kind::WebM ? "VP9"
                                           : "GIF") +
                     " encoder.";
            return false;
        }
        auto fail = [&](const std::string& what, int code) {
            *error = "The movie " + path + " could not be written: " + what +
                     (code ? " (" + avError(code) + ")" : "") + ".";
            return false;
        };
        if (!file_.open()) return fail(file_.error(), 0);
        int rc = avformat_alloc_output_context2(&format_, nullptr, muxer, path.c_str());
        if (rc < 0 || !format_) return fail("no container for it", rc);
        stream_ = avformat_new_stream(format_, nullptr);
        codec_ = avcodec_alloc_context3(codec);
        if (!stream_ || !codec_) return fail("out of memory", 0);
        pixelFormat_ = kind == Kind::Gif ? AV_PIX_FMT_RGB8 : AV_PIX_FMT_YUV420P;
        codec_->width = encW_;
        codec_->height = encH_;
        codec_->pix_fmt = pixelFormat_;
        codec_->time_base = AVRational{1, kFramesPerSecond};
        codec_->framerate = AVRational{kFramesPerSecond, 1};
        codec_->gop_size = 50;
        // One thread, so that a movie's bytes depend on its frames alone
        // (and the machine's other work goes on while a movie is made).
        codec_->thread_count = 1;
        if (format_->oformat->flags & AVFMT_GLOBALHEADER)
            codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* opts = nullptr;
        if (kind == Kind::Mp4) {
            av_dict_set(&opts, "preset", "veryfast", 0);
            av_dict_set(&opts, "crf", "20", 0);
            // This x264's choice of B-frames varies from run to run even on
            // one thread; without them the same frames give the same bytes.
            av_dict_set(&opts, "x264-params", "bframes=0", 0);
        } else if (kind == Kind::WebM) {
            // Real-time settings: the default good-quality mode takes
            // seconds per frame.
            av_dict_set(&opts, "deadline", "realtime", 0);
            av_dict_set(&opts, "cpu-used", "8", 0);
            av_dict_set(&opts, "row-mt", "1", 0);
            av_dict_set(&opts, "crf", "32", 0);
            codec_->bit_rate = 0;
        }
        rc = avcodec_open2(codec_, codec, &opts);
        av_dict_free(&opts);
        if (rc < 0) return fail("the encoder refused the settings", rc);
        rc = avcodec_parameters_from_context(stream_->codecpar, codec_);
        if (rc < 0) return fail("the encoder's parameters", rc);
        stream_->time_base = codec_->time_base;
        constexpr int kBuffer = 1 << 16;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
        if (buffer)
            format_->pb =
                avio_alloc_context(buffer, kBuffer, 1, &file_, nullptr, writeBytes, seekBytes);
        if (!format_->pb) {
            av_free(buffer);
            return fail("out of memory", 0);
        }
        format_->pb->seekable = AVIO_SEEKABLE_NORMAL;
        rc = avformat_write_header(format_, nullptr);
        if (rc < 0) return fail("the header", rc);
        headerWritten_ = true;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!frame_ || !packet_) return fail("out of memory", 0);
        frame_->format = pixelFormat_;
        frame_->width = encW_;
        frame_->height = encH_;
        rc = av_frame_get_buffer(frame_, 0);
        if (rc < 0) return fail("out of memory", rc);
        // Floyd-Steinberg style dithering keeps the GIF's few colours from
        // banding.
        scale_ = sws_getContext(width_, height_, AV_PIX_FMT_RGBA, encW_, encH_, pixelFormat_,
                                SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!scale_) return fail("no colour conversion for it", 0);
        if (kind == Kind::Gif) av_opt_set(scale_, "sws_dither", "ed", 0);
        return true;
    }

    bool add(const RgbaImage& image, std::string* error) override {
        if (image.width != width_ || image.height != height_) {
            *error = "A movie frame came out at the wrong size.";
            return false;
        }
        int rc = av_frame_make_writable(frame_);
        if (rc < 0) return failed(error, "out of memory", rc);
        const std::uint8_t* src[1] = {image.pixels.data()};
        const int stride[1] = {image.width * 4};
        sws_scale(scale_, src, stride, 0, height_, frame_->data, frame_->linesize);
        frame_->pts = pts_++;
        return send(frame_, error);
    }

    bool finish(std::string* error) override {
        if (!send(nullptr, error)) return false;
        int rc = av_write_trailer(format_);
        if (rc < 0) return failed(error, "the ending", rc);
        close();
        if (!file_.commit()) {
            *error = "The movie " + target_ + " could not be written: " + file_.error() + ".";
            return false;
        }
        return true;
    }

  private:
    bool failed(std::string* error, const std::string& what, int code) {
        *error =
            "The movie " + target_ + " could not be written: " + what + " (" + avError(code) + ").";
        return false;
    }

    bool send(AVFrame* f, std::string* error) {
        int rc = avcodec_send_frame(codec_, f);
        if (rc < 0) return failed(error, "the encoder", rc);
        for (;;) {
            rc = avcodec_receive_packet(codec_, packet_);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) return failed(error, "the encoder", rc);
            // Every frame lasts one frame time; without a duration the MP4
            // muxer's edit list would cut the last frame off.
            if (packet_->duration <= 0) packet_->duration = 1;
            av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
            packet_->stream_index = stream_->index;
            rc = av_interleaved_write_frame(format_, packet_);
            if (rc < 0) return failed(error, "the file", rc);
        }
    }

    void close() {
        if (scale_) sws_freeContext(scale_);
        scale_ = nullptr;
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
        if (format_) {
            if (format_->pb) {
                avio_flush(format_->pb);
                av_freep(&format_->pb->buffer);
                avio_context_free(&format_->pb);
            }
            avformat_free_context(format_);
            format_ = nullptr;
        }
    }

    std::string target_;
    AtomicFile file_;
    int width_ = 0, height_ = 0, encW_ = 0, encH_ = 0;
    AVPixelFormat pixelFormat_ = AV_PIX_FMT_NONE;
    AVFormatContext* format_ = nullptr;
    AVStream* stream_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scale_ = nullptr;
    std::int64_t pts_ = 0;
    bool headerWritten_ = false;
};
}  // namespace

std::optional<MovieFile::Kind> MovieFile::kindForPath(const std::string& path) {
    if (!path.empty() && path.back() == '/') return Kind::PngFolder;
    std::string ext = lowerExtension(path);
    if (ext == ".mp4") return Kind::Mp4;
    if (ext == ".webm") return Kind::WebM;
    if (ext == ".gif") return Kind::Gif;
    if (ext.empty()) return Kind::PngFolder;
    return std::nullopt;
}

void MovieFile::encodedSize(Kind kind, int width, int height, int* w, int* h) {
    bool even = kind == Kind::Mp4 || kind == Kind::WebM;
    *w = even && width > 1 ? width & ~1 : width;
    *h = even && height > 1 ? height & ~1 : height;
}

std::string MovieFile::frameName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame%05d.png", index + 1);
    return name;
}

std::unique_ptr<MovieFile> MovieFile::create(const std::string& path, int width, int height,
                                             std::string* error) {
    if (width < 1 || height < 1) {
        *error = "A movie needs frames of at least one pixel.";
        return nullptr;
    }
    std::optional<Kind> known = kindForPath(path);
    if (!known) {
        *error = "The movie type is chosen by the extension of " + path + ": " + kAccepted + ".";
        return nullptr;
    }
    const Kind kind = *known;
    if (kind == Kind::PngFolder) {
        auto frames = std::make_unique<PngFolder>(path, width, height);
        if (!frames->open(error)) return nullptr;
        return frames;
    }
    if ((kind == Kind::Mp4 || kind == Kind::WebM) && (width < 2 || height < 2)) {
        *error = "MP4 and WebM movies need frames of at least 2 x 2 pixels.";
        return nullptr;
    }
    // The encoders' chatter would drown the command line's one sentence.
    av_log_set_level(AV_LOG_ERROR);
    auto movie = std::make_unique<Encoded>(path);
    if (!movie->open(kind, width, height, error)) return nullptr;
    return movie;
}
