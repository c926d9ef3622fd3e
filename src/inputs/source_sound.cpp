// Sound as a channel's source: a sound channel (sound/sound_channel.h),
// analysed and uploaded once a frame, bound once on a unit of its own. A file
// is read again at each reload, keeping the sound it had when that fails.
#include "inputs/source.h"

#include "inputs/sound/analysis.h"
#include "render/passes.h"

namespace {

class SoundSource : public Source {
  public:
    SoundSource(const SourceSpec &spec, const SourceContext &context)
        : Source(spec),
          channel(*context.sound, spec.sound, spec.path, spec.loop, readerOf(context)) {
        setTextureSampling(GL_TEXTURE_2D, context.sampling);
    }
    bool updates() const override { return true; }
    bool update(const FrameUniforms &frame) override {
        channel.update(frame.frame);
        return false;
    }
    void bind() const override { channel.bind(); }
    void release() override { channel.release(); }
    glm::vec2 size() const override { return {kSoundTextureWidth, kSoundTextureRows}; }
    bool mediaTime(float &seconds) const override {
        seconds = channel.seconds();
        return true;
    }

    static std::string readerOf(const SourceContext &context) {
        return context.readerPass + " " + context.reader;
    }

    SoundChannel channel;
};

} // namespace

std::unique_ptr<Source> createSoundSource(const SourceSpec &spec, const SourceContext &context,
                                          std::unique_ptr<Source> previous) {
    if (!previous)
        return std::make_unique<SoundSource>(spec, context);
    auto &source = static_cast<SoundSource &>(*previous);
    if (context.reread)
        source.channel.reread(SoundSource::readerOf(context));
    source.channel.bind();
    setTextureSampling(GL_TEXTURE_2D, context.sampling);
    return previous;
}
