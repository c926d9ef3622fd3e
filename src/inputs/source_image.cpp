// A picture file as a texture: decoded apart (decode_apart.h), uploaded once
// for every sampler that reads it, read again at each reload.
#include "inputs/source.h"

#include "inputs/image_files.h"
#include "inputs/messages.h"

#include <iostream>

namespace {

class ImageSource : public Source {
  public:
    using Source::Source;
    void bind() const override { glBindTexture(GL_TEXTURE_2D, texture); }
    void release() override { glDeleteTextures(1, &texture); }
    glm::vec2 size() const override { return pixels; }

    GLuint texture = 0;
    glm::vec2 pixels{0.0f, 0.0f};
    SamplerSettings sampling;
    bool mipmaps = false;
};

// Binds the texture on the active unit; the decoded pixels go as soon as GL has them.
void upload(ImageSource &source, DecodedImage &image, const SourceContext &context) {
    if (source.texture == 0)
        glGenTextures(1, &source.texture);
    glBindTexture(GL_TEXTURE_2D, source.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(image.internalFormat), image.width,
                 image.height, 0, GL_RGBA, image.type, image.pixels.get());
    image.pixels.reset();
    setTextureSampling(GL_TEXTURE_2D, context.sampling);
    if (context.mipmaps)
        glGenerateMipmap(GL_TEXTURE_2D);
    source.pixels = {image.width, image.height};
    source.sampling = context.sampling;
    source.mipmaps = context.mipmaps;
}

// A picture kept as it is may be read with other settings now.
void resample(ImageSource &source, const SourceContext &context) {
    resampleTexture(GL_TEXTURE_2D, source.texture, context.sampling, context.mipmaps,
                    source.sampling, source.mipmaps);
}

} // namespace

std::unique_ptr<Source> createImageSource(const SourceSpec &spec, const SourceContext &context,
                                          std::unique_ptr<Source> previous) {
    std::unique_ptr<ImageSource> source(static_cast<ImageSource *>(previous.release()));
    if (source && !context.reread) {
        resample(*source, context);
        return source;
    }
    if (*context.maxSide == 0)
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, context.maxSide);
    DecodedImage image;
    const std::string error = readImageFile(spec.path, *context.maxSide, spec.vflip, image);
    if (!error.empty()) {
        std::cout << failedImageLine(spec.path, context.reader, error) << std::endl;
        // The picture it had, if any, stays.
        if (source)
            resample(*source, context);
        return source;
    }
    if (!source)
        source = std::make_unique<ImageSource>(spec);
    upload(*source, image, context);
    return source;
}
