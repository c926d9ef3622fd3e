// The state file: a header of fixed size, then each running pass's target as
// 32-bit float RGBA, the texture it reads first and the one it writes after
// (a cube map as its six faces in GL's order), in this machine's byte order
// (little-endian on x86-64 and ARM).
#include "output/render_state.h"

#include "output/picture.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

constexpr char kMagic[] = "QUORLIN STATE\n";
constexpr std::size_t kMagicBytes = sizeof(kMagic) - 1;
constexpr std::uint32_t kVersion = 1;
constexpr int kChannels = 4;
// The clock must stay within what the command line accepts.
constexpr double kMaxTime = 1e7;
constexpr double kMaxRate = 1e6;
const char *const kPassNames[kPasses] = {"A", "B", "C", "D", "Cube A"};

// One image of a target as the file holds it: a 2D texture or a cube face.
struct Image {
    GLenum binding; // what the texture binds as
    GLenum level;   // what its level 0 is read and written as
    GLuint texture;
    glm::ivec2 size;
};

struct Fields {
    char magic[kMagicBytes];
    std::uint32_t version;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t passes;
    std::int32_t nextFrame;
    double startTime;
    double rate;
};

std::string passNames(unsigned passes) {
    std::string names;
    for (int x = 0; x < kPasses; ++x)
        if (passes & passBit(x))
            names += std::string(names.empty() ? "" : ", ") + kPassNames[x];
    return names.empty() ? "none" : names;
}

// The textures of running pass x: the one it reads, then the one it writes
// when it reads its own target.
int textureCount(const Scene &scene, int x) {
    if (x == kCubeA)
        return scene.cube.textures[1] != 0 ? 2 : 1;
    return scene.targets[x].spareFramebuffer != 0 ? 2 : 1;
}

// The images of texture n of running pass x.
std::vector<Image> imagesOf(const Scene &scene, int x, int n) {
    if (x != kCubeA) {
        const RenderTarget &target = scene.targets[x];
        const GLuint current = currentTexture(target);
        const GLuint texture =
            n == 0 ? current : (current == target.colour ? target.spareColour : target.colour);
        return {{GL_TEXTURE_2D, GL_TEXTURE_2D, texture, glm::ivec2(scene.resolution)}};
    }
    const GLuint current = currentCube(scene.cube);
    const GLuint texture =
        n == 0 ? current : scene.cube.textures[current == scene.cube.textures[0] ? 1 : 0];
    std::vector<Image> faces;
    for (int face = 0; face < kCubeFaces; ++face)
        faces.push_back({GL_TEXTURE_CUBE_MAP,
                         GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(face), texture,
                         glm::ivec2(kCubeFaceSize)});
    return faces;
}

std::size_t textureBytes(glm::ivec2 size) {
    return static_cast<std::size_t>(size.x) * size.y * kChannels * sizeof(float);
}

std::string readHeader(std::FILE *file, StateHeader &header) {
    Fields fields{};
    if (std::fread(&fields, sizeof(fields), 1, file) != 1 ||
        std::memcmp(fields.magic, kMagic, kMagicBytes) != 0)
        return "is not a Quorlin state file";
    if (fields.version != kVersion)
        return "is a state of version " + std::to_string(fields.version) +
               "; this quorlin reads version " + std::to_string(kVersion);
    header = {{fields.width, fields.height},
              fields.passes,
              fields.nextFrame,
              fields.startTime,
              fields.rate};
    if (fields.width < 1 || fields.height < 1 || fields.passes >= passBit(kPasses) ||
        fields.nextFrame < 0 || !(std::abs(fields.startTime) <= kMaxTime) ||
        !(fields.rate > 0 && fields.rate <= kMaxRate))
        return "is not a Quorlin state file";
    return "";
}

} // namespace

std::string readStateHeader(const std::string &path, StateHeader &header) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::strerror(errno);
    const std::string problem = readHeader(file, header);
    std::fclose(file);
    return problem;
}

std::string applyState(Options &options, bool timeGiven, bool rateGiven, bool startGiven) {
    StateHeader header{};
    const std::string problem = readStateHeader(options.stateIn, header);
    if (!problem.empty())
        return options.stateIn + ": " + problem;
    std::ostringstream message;
    if (header.size != glm::ivec2(options.width, options.height))
        message << options.stateIn << ": holds " << header.size.x << "x" << header.size.y
                << " render targets; this run renders " << options.width << "x" << options.height;
    else if (timeGiven && options.startTime != header.startTime)
        message << "--time " << options.startTime << " does not agree with " << options.stateIn
                << ", whose clock starts at " << header.startTime;
    else if (rateGiven && options.rate != header.rate)
        message << "--rate " << options.rate << " does not agree with " << options.stateIn
                << ", which runs at " << header.rate << " frames a second";
    else if (startGiven && options.startFrame != header.nextFrame)
        message << "--start-frame " << options.startFrame << " does not agree with "
                << options.stateIn << ", which goes on at frame " << header.nextFrame;
    options.startTime = header.startTime;
    options.rate = header.rate;
    options.startFrame = header.nextFrame;
    options.fixedClock = true;
    return message.str();
}

int loadState(const std::string &path, Scene &scene) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    StateHeader header{};
    std::string problem = file == nullptr ? std::strerror(errno) : readHeader(file, header);
    const unsigned passes = scene.programs.active;
    // It may have changed since the command line was read.
    if (problem.empty() && header.size != glm::ivec2(scene.resolution))
        problem = "holds render targets of another size";
    else if (problem.empty() && header.passes != passes)
        problem = "holds the targets of passes " + passNames(header.passes) +
                  "; this set runs passes " + passNames(passes);
    std::vector<float> texels;
    glActiveTexture(GL_TEXTURE0);
    for (int x = 0; x < kPasses && problem.empty(); ++x) {
        if (!(passes & passBit(x)))
            continue;
        std::uint32_t count = 0;
        if (std::fread(&count, sizeof(count), 1, file) != 1 ||
            static_cast<int>(count) != textureCount(scene, x)) {
            problem = std::string("holds pass ") + kPassNames[x] +
                      " as it was before its buffer files changed";
            break;
        }
        for (int n = 0; n < textureCount(scene, x) && problem.empty(); ++n)
            for (const Image &image : imagesOf(scene, x, n)) {
                texels.resize(textureBytes(image.size) / sizeof(float));
                if (std::fread(texels.data(), sizeof(float), texels.size(), file) !=
                    texels.size()) {
                    problem = "is cut short";
                    break;
                }
                glBindTexture(image.binding, image.texture);
                glTexSubImage2D(image.level, 0, 0, 0, image.size.x, image.size.y, GL_RGBA, GL_FLOAT,
                                texels.data());
            }
    }
    // A cube map left on unit 0 would stay there beside the 2D textures.
    if (passes & passBit(kCubeA))
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    if (problem.empty() && std::fgetc(file) != EOF)
        problem = "is not a Quorlin state file";
    if (file != nullptr)
        std::fclose(file);
    if (problem.empty())
        return 0;
    return refuseUsage(path + ": " + problem, std::cerr).status;
}

int saveState(const std::string &path, const Scene &scene, int nextFrame, const Options &options) {
    const glm::ivec2 size(scene.resolution);
    const unsigned passes = scene.programs.active;
    // Cleared whole, padding too, so that equal states make equal files.
    Fields fields;
    std::memset(&fields, 0, sizeof(fields));
    std::memcpy(fields.magic, kMagic, kMagicBytes);
    fields.version = kVersion;
    fields.width = size.x;
    fields.height = size.y;
    fields.passes = passes;
    fields.nextFrame = nextFrame;
    fields.startTime = options.startTime;
    fields.rate = options.rate;
    std::vector<unsigned char> bytes(sizeof(fields));
    std::memcpy(bytes.data(), &fields, sizeof(fields));
    glActiveTexture(GL_TEXTURE0);
    for (int x = 0; x < kPasses; ++x) {
        if (!(passes & passBit(x)))
            continue;
        const std::uint32_t count = textureCount(scene, x);
        const auto *countBytes = reinterpret_cast<const unsigned char *>(&count);
        bytes.insert(bytes.end(), countBytes, countBytes + sizeof(count));
        for (int n = 0; n < static_cast<int>(count); ++n)
            for (const Image &image : imagesOf(scene, x, n)) {
                const std::size_t at = bytes.size();
                bytes.resize(at + textureBytes(image.size));
                glBindTexture(image.binding, image.texture);
                glGetTexImage(image.level, 0, GL_RGBA, GL_FLOAT, bytes.data() + at);
            }
    }
    if (passes & passBit(kCubeA))
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    const std::string error = writeWhole(path, bytes);
    if (error.empty())
        return 0;
    std::cout << "Failed to write " << path << ": " << error << std::endl;
    return 1;
}
