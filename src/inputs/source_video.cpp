// A video file, a live stream or a camera as a source; inputs/video/ does
// the work. Each rendered frame's picture goes into the texture on the unit
// the plan bound it to, while ffmpeg decodes ahead on a thread of its own.
#include "inputs/source.h"

#include "inputs/video/video_input.h"
#include "render/passes.h"

#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// A file as it was when opened: a reload opens it again only once it changed.
struct FileStamp {
    std::uintmax_t bytes = 0;
    fs::file_time_type written{};
    bool operator==(const FileStamp &other) const {
        return bytes == other.bytes && written == other.written;
    }
};

FileStamp stampOf(const std::string &path) {
    std::error_code error;
    return {fs::file_size(path, error), fs::last_write_time(path, error)};
}

class VideoSource : public Source {
  public:
    using Source::Source;
    bool updates() const override { return true; }
    bool update(const FrameUniforms &frame) override {
        return updateVideo(video, frame.media, unit_);
    }
    // Once a plan, on the unit the plan gives it: new frames go there.
    void bind() const override {
        GLint unit = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
        unit_ = static_cast<GLenum>(unit);
        glBindTexture(GL_TEXTURE_2D, video.texture.texture);
    }
    void release() override { closeVideo(video); }
    glm::vec2 size() const override { return video.size; }
    bool mediaTime(float &time) const override {
        time = static_cast<float>(video.position);
        return true;
    }

    VideoInput video;
    FileStamp stamp;

  private:
    mutable GLenum unit_ = 0; // 0 until bound
};

VideoSpec videoSpec(const SourceSpec &spec, const SourceContext &context) {
    VideoSpec video;
    video.source = spec.path;
    video.stream = spec.stream;
    video.format = spec.format;
    video.size = spec.size;
    video.loop = spec.loop;
    video.vflip = spec.vflip;
    video.sampling = context.sampling;
    video.mipmaps = context.mipmaps;
    return video;
}

} // namespace

std::unique_ptr<Source> createVideoSource(const SourceSpec &spec, const SourceContext &context,
                                          std::unique_ptr<Source> previous) {
    std::unique_ptr<VideoSource> kept(static_cast<VideoSource *>(previous.release()));
    // A video plays on through a change of view or a reload; a file saved
    // anew opens again, and keeps playing the old one if it cannot.
    if (kept && (!context.reread || spec.stream || kept->stamp == stampOf(spec.path))) {
        if (context.sampling != kept->video.texture.sampling ||
            context.mipmaps != kept->video.texture.mipmaps)
            resampleVideoTexture(kept->video.texture, context.sampling, context.mipmaps);
        return kept;
    }
    auto source = std::make_unique<VideoSource>(spec);
    if (!openVideo(source->video, videoSpec(spec, context),
                   context.readerPass + " " + context.reader, context.media.exact,
                   context.media.now))
        return kept;
    if (kept)
        kept->release();
    source->stamp = stampOf(spec.path);
    return source;
}
