// Quorlin: fills one window with a user's full-screen fragment shader.
#include "app/banner.h"
#include "app/frame_loop.h"
#include "app/install_paths.h"
#include "app/new_set.h"
#include "app/options.h"
#include "app/surface.h"
#include "output/output_name.h"
#include "output/recording.h"
#include "render/passes.h"
#include "shader/programs.h"
#include "shader/shader_files.h"

#include <glm/vec2.hpp>

#include <filesystem>
#include <iostream>
#include <system_error>

int main(int argc, char **argv) {
    Options options;
    const ParseResult parsed =
        parseOptions(argc, argv, options, std::cout, std::cerr, examplesDirectory());
    if (!parsed.run)
        return parsed.status;
    if (!options.newSet.empty())
        return writeNewSet(options.newSet, std::cout, std::cerr);

    std::error_code cwdError;
    const std::filesystem::path workingDirectory = std::filesystem::current_path(cwdError);
    const std::string shaderDir = options.shaderDir.empty()
                                      ? defaultShaderDir(shaderRootOf(workingDirectory))
                                      : options.shaderDir;
    // Bad usage that needs the shader directory, still before any output.
    const ImageChoices choices{options.textures, options.samplers, shaderDir};
    const std::string choiceProblem = channelSamplerProblem(choices);
    if (!choiceProblem.empty())
        return refuseUsage(choiceProblem, std::cerr).status;

    // A stream of frames takes standard output: the banner and messages go to standard error.
    if (options.record == kStreamName)
        options.streamFd = takeStandardOutput();

    std::cout << kStandardTag.data() << std::endl;

    if (cwdError) {
        std::cout << "Failed to determine the working directory: " << cwdError.message()
                  << std::endl;
        return -1;
    }

    // The window, or with no display server a context of its own.
    Surface surface;
    if (!openSurface(surface, options))
        return -1;

    const ShaderFiles files = shaderFilesIn(shaderDir);
    Scene scene{buildPrograms(files), createImageQuad(),
                // The viewer quad stays bound until the first frame binds the image quad.
                createViewerQuad(), createRenderTargets(options.width, options.height),
                glm::vec2(options.width, options.height), Images{choices, {}, {}, 0, {}, 0, 0},
                surface.standIn};
    buildBufferPasses(scene.programs, files, imageChannels(scene.images));
    prepareTargets(scene, options.view);
    bindImages(scene);

    scene.programs.image.use();
    setResolution(scene.programs.image, scene.programs.imageInputs, scene.resolution);

    const int status = runFrameLoop(surface, scene, shaderDir, files, options);

    deleteImages(scene.images);
    deleteQuad(scene.imageQuad);
    deleteQuad(scene.viewerQuad);
    deleteRenderTargets(scene.targets);
    // The programs go with the context here.
    closeSurface(surface);
    return status;
}
