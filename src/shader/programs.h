// The file set's GL programs: the image, the texture viewer and the buffer
// passes the image needs, built at start-up and rebuilt on reload.
#pragma once

#include "inputs/wiring.h"
#include "params/program_parameters.h"
#include "shader/Shader.h"
#include "shader/shader_files.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// One of a linked program's active uniforms; an array by its first
// element's name, "[0]" cut.
struct ActiveUniform {
    std::string name;
    GLenum type;
    GLint size;
};
std::vector<ActiveUniform> activeUniforms(GLuint program);

// What a linked program reads, worked out once after each link from the
// listing of its active uniforms, so that a frame sets only what it uses.
struct ProgramInputs {
    unsigned channels = 0;    // bit n: samples iChannelN
    unsigned reads = 0;       // bit x: reads buffer pass x's target, as the wiring says
    bool frame = false;       // iFrame
    bool timeDelta = false;   // iTimeDelta
    bool resolution3 = false; // iResolution is a vec3, given (width, height, 1)
    bool date = false;        // iDate
    bool frameRate = false;   // iFrameRate
    int channelTimes = 0;     // the elements of iChannelTime it uses
    GLint cubeFace = -1;      // the cube-map pass's face, which its appended main reads
    std::vector<ActiveUniform> uniforms;
    ProgramParameters parameters; // found after the link, by the set's parameters
};

struct BufferPass {
    std::optional<Shader> shader; // absent while not needed or never linked
    ProgramInputs inputs;
};

struct Programs {
    Shader image;
    Shader viewer;
    ProgramInputs imageInputs;
    std::array<BufferPass, kPasses> buffers; // A to D, then the cube-map pass
    unsigned active = 0;                     // bit x: pass x is needed and has a linked program
    unsigned missing = 0;                    // bit x: pass x is needed and its file does not exist
    bool readsDate = false;                  // the image or an active pass reads iDate
    bool generatedImage = false; // the image stage declares nothing and gets the generated header
    // The first failure of the last build (start-up or reload), as the window
    // shows it; empty when every program built.
    std::vector<std::string> failure;
};

// Whether a uniform of this type is a sampler the inputs bind.
bool isSamplerType(GLenum type);

// The image program, then the viewer program, as start-up builds them: kept
// whether or not they link.
Programs buildPrograms(const ShaderFiles &files, const Wiring &wiring);

// Builds the buffer passes whose targets the image reads through the wiring,
// and the one view shows (1 to 4; 0 is the image), following the chain from
// pass to pass; passes no longer needed give their programs back. A buffer
// file is read only when its pass is needed; a pass without a program whose
// file does not exist is not built (missing).
void buildBufferPasses(Programs &programs, const ShaderFiles &files, const Wiring &wiring,
                       int view);

// Whether every program the window's picture comes from linked: the image,
// the viewer and the pass whose target view shows (1 to 4), and each buffer
// pass read. A pass whose file does not exist is no failure.
bool setBuilt(const Programs &programs, int view);

// Reads and builds every program again; each is replaced only by one that
// links. Returns whether the image program was replaced. May change the
// current program.
bool reloadPrograms(Programs &programs, const ShaderFiles &files, const Wiring &wiring, int view);

// Program p (a buffer pass or the image) when it runs, else nullptr; and what it reads.
const Shader *runningProgram(const Programs &programs, int p);
const ProgramInputs &programInputs(const Programs &programs, int p);
