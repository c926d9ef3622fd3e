// The keyboard as a texture: 256 x 3 texels of one byte (inputs/keyboard.h),
// sent again only on a frame after something changed.
#include "inputs/source.h"

#include "inputs/keyboard.h"

namespace {

class KeyboardSource : public Source {
  public:
    // Leaves the texture bound on the active unit.
    KeyboardSource(const SourceSpec &spec, Keyboard &keyboard) : Source(spec), keyboard_(keyboard) {
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        // Rows of 256 bytes need no unpack alignment of their own.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, kKeyCodes, kKeyRows, 0, GL_RED, GL_UNSIGNED_BYTE,
                     keyboard_.texels.data());
        setTextureSampling(GL_TEXTURE_2D, kKeyboardSampling);
        keyboard_.changed = false;
    }
    bool updates() const override { return true; }
    // The active unit is one whose texture each draw binds again.
    bool update(const FrameUniforms &) override {
        if (!keyboard_.changed)
            return false;
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kKeyCodes, kKeyRows, GL_RED, GL_UNSIGNED_BYTE,
                        keyboard_.texels.data());
        keyboard_.changed = false;
        return false;
    }
    void bind() const override { glBindTexture(GL_TEXTURE_2D, texture_); }
    void release() override { glDeleteTextures(1, &texture_); }
    glm::vec2 size() const override { return {kKeyCodes, kKeyRows}; }

  private:
    Keyboard &keyboard_;
    GLuint texture_ = 0;
};

} // namespace

std::unique_ptr<Source> createKeyboardSource(const SourceSpec &spec, const SourceContext &context,
                                             std::unique_ptr<Source> previous) {
    if (previous)
        return previous;
    return std::make_unique<KeyboardSource>(spec, *context.keyboard);
}
