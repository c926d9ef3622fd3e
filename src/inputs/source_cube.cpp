// A cube map from six picture files, one a face: "{face}" in the wired name
// stands for px nx py ny pz nz (+X, -X, +Y, -Y, +Z, -Z). Each is decoded
// apart, as images are, and read again at each reload; a set of faces that
// fails as a whole leaves the cube it replaces.
#include "inputs/source.h"

#include "inputs/image_files.h"
#include "inputs/messages.h"

#include <array>
#include <iostream>

namespace {

constexpr const char *kFaceNames[kCubeFaces] = {"px", "nx", "py", "ny", "pz", "nz"};
const std::string kFaceMark = "{face}";

class CubeSource : public Source {
  public:
    using Source::Source;
    void bind() const override { glBindTexture(GL_TEXTURE_CUBE_MAP, texture); }
    void release() override { glDeleteTextures(1, &texture); }
    glm::vec2 size() const override { return {side, side}; }

    GLuint texture = 0;
    float side = 0.0f;
    SamplerSettings sampling;
    bool mipmaps = false;
};

// Why a decoded face cannot join the faces before it; empty when it can.
std::string faceProblem(const DecodedImage &image, const DecodedImage &first, int face,
                        const std::string &firstPath, GLint maxCubeSide) {
    if (image.width != image.height)
        return notSquareReason(image.width, image.height);
    if (face > 0 && image.width != first.width)
        return otherSizeReason(image.width, image.height, first.width, firstPath);
    if (face > 0 && image.internalFormat != first.internalFormat)
        return otherDepthReason(firstPath);
    if (image.width > maxCubeSide)
        return cubeTooLargeReason(maxCubeSide);
    return "";
}

// Reads the six faces, first row first as the cube map's table expects; on
// the first that fails, prints its line and returns false.
bool readFaces(const SourceSpec &spec, const SourceContext &context,
               std::array<DecodedImage, kCubeFaces> &faces) {
    // Asked at each read, not kept: cube maps are read only at builds.
    GLint maxCubeSide = 0;
    glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &maxCubeSide);
    for (int face = 0; face < kCubeFaces; ++face) {
        const std::string path = cubeFacePath(spec.path, face);
        std::string error = readImageFile(path, *context.maxSide, false, faces[face]);
        if (error.empty())
            error =
                faceProblem(faces[face], faces[0], face, cubeFacePath(spec.path, 0), maxCubeSide);
        if (!error.empty()) {
            std::cout << failedImageLine(path, context.reader, error) << std::endl;
            return false;
        }
    }
    return true;
}

// Binds the texture on the active unit; the pixels go as soon as GL has them.
void upload(CubeSource &source, std::array<DecodedImage, kCubeFaces> &faces,
            const SourceContext &context) {
    if (source.texture == 0)
        glGenTextures(1, &source.texture);
    glBindTexture(GL_TEXTURE_CUBE_MAP, source.texture);
    for (int face = 0; face < kCubeFaces; ++face) {
        DecodedImage &image = faces[face];
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(face), 0,
                     static_cast<GLint>(image.internalFormat), image.width, image.height, 0,
                     GL_RGBA, image.type, image.pixels.get());
        image.pixels.reset();
    }
    setTextureSampling(GL_TEXTURE_CUBE_MAP, context.sampling);
    if (context.mipmaps)
        glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    source.side = static_cast<float>(faces[0].width);
    source.sampling = context.sampling;
    source.mipmaps = context.mipmaps;
}

void resample(CubeSource &source, const SourceContext &context) {
    resampleTexture(GL_TEXTURE_CUBE_MAP, source.texture, context.sampling, context.mipmaps,
                    source.sampling, source.mipmaps);
}

} // namespace

std::string cubeFacePath(const std::string &pattern, int face) {
    std::string path = pattern;
    // The last: the directory's own name may hold one.
    path.replace(path.rfind(kFaceMark), kFaceMark.size(), kFaceNames[face]);
    return path;
}

std::unique_ptr<Source> createCubeSource(const SourceSpec &spec, const SourceContext &context,
                                         std::unique_ptr<Source> previous) {
    std::unique_ptr<CubeSource> source(static_cast<CubeSource *>(previous.release()));
    if (source && !context.reread) {
        resample(*source, context);
        return source;
    }
    if (*context.maxSide == 0)
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, context.maxSide);
    std::array<DecodedImage, kCubeFaces> faces;
    if (!readFaces(spec, context, faces)) {
        if (source)
            resample(*source, context);
        return source;
    }
    if (!source)
        source = std::make_unique<CubeSource>(spec);
    seamlessCubes(context);
    upload(*source, faces, context);
    return source;
}
