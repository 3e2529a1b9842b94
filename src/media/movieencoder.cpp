// Movie encoding through libavcodec/libavformat: part of the module that
// the program opens only when it writes a movie or a mesh.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "mediamodule.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace fs = std::filesystem;

namespace {
std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The container goes to the program's save through these callbacks: the
// muxer goes back to fill in sizes, so it may seek.
int writeBytes(void* opaque, std::uint8_t* bytes, int size) {
    auto* file = static_cast<OutputFile*>(opaque);
    return file->write(bytes, static_cast<std::size_t>(size)) ? size : AVERROR(EIO);
}
std::int64_t seekBytes(void* opaque, std::int64_t offset, int whence) {
    auto* file = static_cast<OutputFile*>(opaque);
    if (whence & AVSEEK_SIZE) return file->size();
    return file->seek(offset, whence & ~AVSEEK_FORCE);
}

class Encoded : public MovieFile {
  public:
    ~Encoded() override { close(); }

    bool open(const std::string& path, Kind kind, int width, int height, int encW, int encH,
              OutputFile& sink, std::string* error) {
        target_ = path;
        width_ = width;
        height_ = height;
        encW_ = encW;
        encH_ = encH;
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
        // Two threads: the machine's other work goes on while a movie is made.
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
            // The encoder holds the frames it looks ahead at: at most 96
            // megabytes of them, so that a long movie of large frames does
            // not grow by half a gigabyte (ten 8192 x 4096 frames).
            const long long frameBytes = static_cast<long long>(encW_) * encH_ * 3 / 2;
            const long long lookahead = std::clamp<long long>((96LL << 20) / frameBytes, 1, 10);
            const std::string params =
                "bframes=0" + (lookahead < 10 ? ":rc-lookahead=" + std::to_string(lookahead) : "");
            av_dict_set(&opts, "x264-params", params.c_str(), 0);
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
                avio_alloc_context(buffer, kBuffer, 1, &sink, nullptr, writeBytes, seekBytes);
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
        close();  // the program's save then gives the file its name
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

std::unique_ptr<MovieFile> openEncodedMovie(const std::string& path, MovieFile::Kind kind,
                                            int width, int height, int encodedWidth,
                                            int encodedHeight, OutputFile& sink,
                                            std::string* error) {
    // The encoders' chatter would drown the command line's one sentence.
    av_log_set_level(AV_LOG_ERROR);
    auto movie = std::make_unique<Encoded>();
    if (!movie->open(path, kind, width, height, encodedWidth, encodedHeight, sink, error))
        return nullptr;
    return movie;
}
