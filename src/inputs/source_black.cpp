// Transparent black, for a sampler with nothing to read: a 1 x 1 texture, or
// a cube map of six such faces for a samplerCube.
#include "inputs/source.h"

namespace {

constexpr GLubyte kTransparentBlack[4] = {0, 0, 0, 0};
constexpr GLenum kCubeFaces[] = {
    GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_Y,
    GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z,
};
constexpr SamplerSettings kExact{SamplerFilter::kNearest, SamplerWrap::kRepeat, true};

void uploadBlack(GLenum face) {
    glTexImage2D(face, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, kTransparentBlack);
}

class BlackSource : public Source {
  public:
    // Leaves the texture bound on the active unit.
    explicit BlackSource(const SourceSpec &spec) : Source(spec) {
        glGenTextures(1, &texture_);
        glBindTexture(spec.target, texture_);
        if (spec.target == GL_TEXTURE_CUBE_MAP)
            for (GLenum face : kCubeFaces)
                uploadBlack(face);
        else
            uploadBlack(GL_TEXTURE_2D);
        setTextureSampling(spec.target, kExact);
    }
    void bind() const override { glBindTexture(spec.target, texture_); }
    void release() override { glDeleteTextures(1, &texture_); }
    glm::vec2 size() const override { return {0.0f, 0.0f}; }

  private:
    GLuint texture_ = 0;
};

} // namespace

std::unique_ptr<Source> createBlackSource(const SourceSpec &spec, const SourceContext &,
                                          std::unique_ptr<Source> previous) {
    // Nothing in it ever changes.
    if (previous)
        return previous;
    return std::make_unique<BlackSource>(spec);
}
