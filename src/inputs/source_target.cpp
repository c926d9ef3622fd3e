// A buffer pass's render target as a source. The texture to bind is asked at
// each draw: a target that its own pass reads swaps its two textures every
// frame (render_targets.h), so what a reader gets follows the order of the
// passes: this frame's picture once the pass has run, the previous frame's
// before.
#include "inputs/source.h"

namespace {

class TargetSource : public Source {
  public:
    TargetSource(const SourceSpec &spec, const RenderTarget &target, glm::vec2 size)
        : Source(spec), target_(target), size_(size) {}
    bool perDraw() const override { return true; }
    void bind() const override { glBindTexture(GL_TEXTURE_2D, currentTexture(target_)); }
    // The target belongs to the scene.
    void release() override {}
    glm::vec2 size() const override { return size_; }

    bool ownSampling = false; // the textures' parameters differ from a target's own

  private:
    const RenderTarget &target_;
    glm::vec2 size_;
};

} // namespace

std::unique_ptr<Source> createTargetSource(const SourceSpec &spec, const SourceContext &context,
                                           std::unique_ptr<Source> previous) {
    const RenderTarget &target = (*context.targets)[static_cast<std::size_t>(spec.buffer)];
    auto source = std::make_unique<TargetSource>(spec, target, context.renderSize);
    const bool wasChanged =
        previous != nullptr && static_cast<TargetSource &>(*previous).ownSampling;
    if (previous)
        previous->release();
    source->ownSampling = context.sampling != kTargetSampling;
    // Targets are made with their own sampling; only a change touches them.
    if (source->ownSampling || wasChanged) {
        for (GLuint texture : {target.colour, target.spareColour}) {
            if (texture == 0)
                continue;
            glBindTexture(GL_TEXTURE_2D, texture);
            setTextureSampling(GL_TEXTURE_2D, context.sampling);
        }
    }
    return source;
}
