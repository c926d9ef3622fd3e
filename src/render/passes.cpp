// Drawing a frame's passes.
#include "render/passes.h"

#include "render/texture_viewer.h"

#include <glm/vec2.hpp>

#include <string>

namespace {

// Built once so that a rendered pass allocates nothing for uniform names.
const std::string kResolutionUniform = "iResolution";
const std::string kTimeUniform = "iTime";
const std::string kMouseUniform = "iMouse";
const std::string kFrameUniform = "iFrame";
const std::string kTimeDeltaUniform = "iTimeDelta";
const std::string kDateUniform = "iDate";
const std::string kFrameRateUniform = "iFrameRate";
const std::string kChannelTimeUniform = "iChannelTime";

// Uses the program's current state: leaves the unit of the last source it
// binds at each draw active.
void setInputs(const Shader &shader, int program, ProgramInputs &inputs,
               const FrameUniforms &uniforms, const Scene &scene) {
    applyParameters(scene.parameters, inputs.parameters);
    setResolution(shader, inputs, uniforms.resolution);
    shader.setFloat(kTimeUniform, uniforms.time);
    shader.setVec4(kMouseUniform, uniforms.mouse);
    if (inputs.frame)
        shader.setInt(kFrameUniform, uniforms.frame);
    if (inputs.timeDelta)
        shader.setFloat(kTimeDeltaUniform, uniforms.timeDelta);
    if (inputs.date)
        shader.setVec4(kDateUniform, uniforms.date.data());
    if (inputs.frameRate)
        shader.setFloat(kFrameRateUniform, uniforms.frameRate);
    if (inputs.channelTimes > 0) {
        // A channel's media time, else the frame's.
        GLfloat times[kShaderChannels];
        const auto &channels = scene.inputs.plan.programs[program].channels;
        for (int n = 0; n < inputs.channelTimes; ++n)
            if (channels[n] == nullptr || !channels[n]->mediaTime(times[n]))
                times[n] = uniforms.time;
        shader.setFloats(kChannelTimeUniform, times, inputs.channelTimes);
    }
    bindDrawInputs(scene.inputs.plan, program);
}

// Six draws, one a face, with the face size as iResolution.
void renderCubePass(Scene &scene, const FrameUniforms &uniforms) {
    BufferPass &pass = scene.programs.buffers[kCubeA];
    FrameUniforms faces = uniforms;
    faces.resolution = glm::vec2(kCubeFaceSize, kCubeFaceSize);
    glViewport(0, 0, kCubeFaceSize, kCubeFaceSize);
    pass.shader->use();
    glBindVertexArray(scene.imageQuad.vao);
    setInputs(*pass.shader, kCubeA, pass.inputs, faces, scene);
    beginPassTime(scene.timing, kCubeA);
    for (int face = 0; face < kCubeFaces; ++face) {
        bindCubeFace(scene.cube, face);
        glUniform1i(pass.inputs.cubeFace, face);
        drawQuad();
    }
    endPassTime(scene.timing);
    finishCubeWrite(scene.cube);
}

} // namespace

void setResolution(const Shader &shader, const ProgramInputs &inputs, glm::vec2 resolution) {
    if (inputs.resolution3)
        shader.setVec3(kResolutionUniform, glm::vec3(resolution, 1.0f));
    else
        shader.setVec2(kResolutionUniform, resolution);
}

unsigned usedTargets(const Programs &programs, int view) {
    unsigned used = programs.imageInputs.reads | programs.active;
    if (view > 0)
        used |= passBit(view - 1);
    for (const BufferPass &pass : programs.buffers)
        if (pass.shader)
            used |= pass.inputs.reads;
    return used;
}

unsigned selfReadingPasses(const Programs &programs) {
    unsigned reading = 0;
    for (int x = 0; x < kPasses; ++x)
        if ((programs.active & passBit(x)) && (programs.buffers[x].inputs.reads & passBit(x)))
            reading |= passBit(x);
    return reading;
}

void prepareTargets(Scene &scene, int view) {
    // A pass reading its own target must not read the texture it writes.
    const unsigned reading = selfReadingPasses(scene.programs);
    for (int x = 0; x < kBufferPasses; ++x)
        if (reading & passBit(x))
            addSpare(scene.targets[x]);
    const unsigned used = usedTargets(scene.programs, view);
    for (int x = 0; x < kBufferPasses; ++x)
        if (used & passBit(x))
            clearOnFirstUse(scene.targets[x]);
    if (used & passBit(kCubeA))
        prepareCubeTarget(scene.cube, reading & passBit(kCubeA));
}

bool renderBufferPasses(Scene &scene, const FrameUniforms &uniforms) {
    Programs &programs = scene.programs;
    if (programs.active == 0)
        return false;
    for (int x = 0; x < kBufferPasses; ++x) {
        if (!(programs.active & passBit(x)))
            continue;
        BufferPass &pass = programs.buffers[x];
        RenderTarget &target = scene.targets[x];
        bindForWriting(target);
        glViewport(0, 0, static_cast<GLsizei>(uniforms.resolution.x),
                   static_cast<GLsizei>(uniforms.resolution.y));
        pass.shader->use();
        glBindVertexArray(scene.imageQuad.vao);
        setInputs(*pass.shader, x, pass.inputs, uniforms, scene);
        beginPassTime(scene.timing, x);
        drawQuad();
        endPassTime(scene.timing);
        finishWrite(target);
    }
    if (programs.active & passBit(kCubeA))
        renderCubePass(scene, uniforms);
    return true;
}

void renderToWindow(Scene &scene, const FrameUniforms &uniforms, int view, bool restoreViewport,
                    glm::ivec2 windowSize) {
    glBindFramebuffer(GL_FRAMEBUFFER, scene.window.framebuffer);
    if (restoreViewport)
        glViewport(0, 0, windowSize.x, windowSize.y);
    drawImage(scene, uniforms, view);
}

void drawImage(Scene &scene, const FrameUniforms &uniforms, int view) {
    clearBoundFramebuffer();
    // The viewer's unit shows a target by its texture's own sampling.
    if (view > 0 && scene.inputs.plan.drawSamplers)
        glBindSampler(0, 0);
    if (view == kCubeView) {
        if (currentCube(scene.cube) != 0)
            drawCubeCross(scene.cross, currentCube(scene.cube), scene.viewerQuad.vao);
        return;
    }
    if (view > 0) {
        DisplayFramebufferTexture(currentTexture(scene.targets[view - 1]), &scene.programs.viewer,
                                  scene.viewerQuad.vao, uniforms.resolution);
        return;
    }
    Shader &image = scene.programs.image;
    image.use();
    glBindVertexArray(scene.imageQuad.vao);
    setInputs(image, kImageProgram, scene.programs.imageInputs, uniforms, scene);
    beginPassTime(scene.timing, kImagePass);
    drawQuad();
    endPassTime(scene.timing);
}
