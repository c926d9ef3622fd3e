// The cube-map pass's cube as a source. Like a buffer's target, the texture
// to bind is asked at each draw: a pass reading itself swaps two cube maps
// every frame (render/cube_target.h), so what a reader gets follows the
// order of the passes: this frame's for the image, the previous frame's for
// the passes before and for itself.
#include "inputs/source.h"

namespace {

class CubePassSource : public Source {
  public:
    CubePassSource(const SourceSpec &spec, const CubeTarget &target)
        : Source(spec), target_(target) {}
    bool perDraw() const override { return true; }
    void bind() const override { glBindTexture(GL_TEXTURE_CUBE_MAP, currentCube(target_)); }
    // The cube belongs to the scene.
    void release() override {}
    glm::vec2 size() const override { return {kCubeFaceSize, kCubeFaceSize}; }

    bool ownSampling = false; // the cubes' parameters differ from a target's own

  private:
    const CubeTarget &target_;
};

} // namespace

std::unique_ptr<Source> createCubePassSource(const SourceSpec &spec, const SourceContext &context,
                                             std::unique_ptr<Source> previous) {
    auto source = std::make_unique<CubePassSource>(spec, *context.cube);
    const bool wasChanged =
        previous != nullptr && static_cast<CubePassSource &>(*previous).ownSampling;
    if (previous)
        previous->release();
    seamlessCubes(context);
    source->ownSampling = context.sampling != kTargetSampling;
    // The cubes are made with a target's sampling; only a change touches them.
    if (source->ownSampling || wasChanged) {
        for (GLuint texture : context.cube->textures) {
            if (texture == 0)
                continue;
            glBindTexture(GL_TEXTURE_CUBE_MAP, texture);
            setTextureSampling(GL_TEXTURE_CUBE_MAP, context.sampling);
        }
    }
    return source;
}
