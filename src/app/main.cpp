// Quorlin: fills one window with a user's full-screen fragment shader.
#include "app/banner.h"
#include "app/frame_loop.h"
#include "app/install_paths.h"
#include "app/interrupt.h"
#include "app/memory_check.h"
#include "app/new_set.h"
#include "app/options.h"
#include "app/surface.h"
#include "import/import_set.h"
#include "output/output_name.h"
#include "output/recording.h"
#include "output/wav.h"
#include "params/messages.h"
#include "params/osc.h"
#include "params/params_file.h"
#include "render/passes.h"
#include "shader/programs.h"
#include "shader/shader_files.h"

#include <glm/vec2.hpp>

#include <filesystem>
#include <iostream>
#include <system_error>

// --view reaches every view the viewer shows, and no further.
static_assert(kLastView == kCubeView);

namespace {

// A start that cannot go on, though the command line is well formed.
int refuseStart(const std::string &problem) {
    std::cerr << "quorlin: " << problem << std::endl;
    return kUsageStatus;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    const ParseResult parsed =
        parseOptions(argc, argv, options, std::cout, std::cerr, examplesDirectory());
    if (!parsed.run)
        return parsed.status;
    if (!options.newSet.empty())
        return writeNewSet(options.newSet, std::cout, std::cerr);
    if (!options.import.empty())
        return importSet(options.import, options.shaderDir, options.media, std::cout, std::cerr);
    if (!options.record.empty())
        catchInterrupts();

    std::error_code cwdError;
    const std::filesystem::path workingDirectory = std::filesystem::current_path(cwdError);
    const std::string shaderDir = options.shaderDir.empty()
                                      ? defaultShaderDir(shaderRootOf(workingDirectory))
                                      : options.shaderDir;
    // Bad usage that needs the shader directory, still before any output.
    Wiring wiring{{options.textures, options.samplers, shaderDir}, {}};
    const std::string setProblem = readSetFile(shaderDir, wiring.set);
    if (!setProblem.empty()) {
        std::cerr << "quorlin: " << setProblem << std::endl;
        return kUsageStatus;
    }
    const std::string choiceProblem =
        wiring.set.present ? "" : channelSamplerProblem(wiring.choices);
    if (!choiceProblem.empty())
        return refuseUsage(choiceProblem, std::cerr).status;
    const ShaderFiles files = shaderFilesIn(shaderDir);
    const std::string soundProblem = soundOutputProblem(options, files);
    if (!soundProblem.empty())
        return refuseUsage(soundProblem, std::cerr).status;
    std::vector<SavedValue> saved;
    const std::string fileProblem = readParamsFile(paramsFilePath(shaderDir), saved);
    if (!fileProblem.empty())
        return refuseStart(fileProblem);
    OscServer osc;
    const std::string oscProblem = options.osc.empty() ? "" : osc.listen(options.osc);
    if (!oscProblem.empty())
        return refuseStart(param_messages::cannotListen(options.osc, oscProblem));

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

    if (!options.sound.empty()) {
        const int status = saveSound(files, wiring, options);
        closeSurface(surface);
        return status;
    }

    Scene scene{buildPrograms(files, wiring),
                createImageQuad(),
                // The viewer quad stays bound until the first frame binds the image quad.
                createViewerQuad(),
                createRenderTargets(options.width, options.height, options.sizeGiven),
                glm::vec2(options.width, options.height),
                Inputs{wiring, {}, 0, 0, {}, nullptr, {}, false},
                {},
                {},
                {},
                Parameters{{}, 0, options.settings, std::move(saved)},
                nullptr,
                surface.standIn};
    // Media start where the first frame will be.
    scene.inputs.media = {options.fixedClock,
                          options.fixedClock ? options.startTime + options.startFrame / options.rate
                                             : 0.0};
    buildBufferPasses(scene.programs, files, scene.inputs.wiring, options.view);
    // A large size is weighed before any target takes memory.
    const std::string memory = options.sizeGiven ? memoryProblem(scene.programs, options) : "";
    if (!memory.empty()) {
        std::cerr << "quorlin: " << memory << std::endl;
        closeSurface(surface);
        return kUsageStatus;
    }
    prepareTargets(scene, options.view);
    // Before the plan, which makes the sound channels.
    createSound(scene.sound, files, wiring, soundSettings(options));
    scene.inputs.sound = &scene.sound;
    buildPlan(scene.inputs, scene.programs, scene.targets, scene.cube, scene.resolution, true);
    const std::string badSetting = updateParameters(scene.parameters, scene.programs, true);

    scene.programs.image.use();
    setResolution(scene.programs.image, scene.programs.imageInputs, scene.resolution);

    const int status = badSetting.empty()
                           ? runFrameLoop(surface, scene, shaderDir, files, options, osc)
                           : refuseUsage(badSetting, std::cerr).status;

    releasePlan(scene.inputs.plan);
    deleteSound(scene.sound);
    deleteQuad(scene.imageQuad);
    deleteQuad(scene.viewerQuad);
    deleteRenderTargets(scene.targets);
    deleteCubeTarget(scene.cube);
    deleteCubeCross(scene.cross);
    // The programs go with the context here.
    closeSurface(surface);
    return status;
}
