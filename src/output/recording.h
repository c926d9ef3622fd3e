// What a run makes of its frames beyond the window: a video or PNG sequence,
// a verdict against a reference picture, and the progress line. Frames are
// then drawn off screen at the render size, read back, and shown stretched.
#pragma once

#include "app/options.h"
#include "output/expect.h"
#include "output/frame_capture.h"
#include "output/frame_convert.h"
#include "output/recorder.h"
#include "render/passes.h"

#include <memory>
#include <vector>

// For --output -: sets standard output aside for the frames and points
// descriptor 1 at standard error, so the banner and messages go there.
// Returns the frames' descriptor.
int takeStandardOutput();

class Recording {
  public:
    // Makes the capture's GL objects and starts the writer when the options
    // ask for a recording or a verdict, and the progress line for a run with
    // an end. Reads the reference picture again. Frames are shown in window.
    Recording(const Options &options, glm::vec2 resolution, const WindowFramebuffer &window);
    ~Recording();
    Recording(const Recording &) = delete;
    Recording &operator=(const Recording &) = delete;

    bool records() const { return recorder_ != nullptr; }

    // Draws the frame as renderToWindow does (passesRan as restoreViewport);
    // when it captures, at the render size whatever the window's, handing its
    // pixels on.
    // rendered counts the frames before this one.
    void drawFrame(Scene &scene, const FrameUniforms &uniforms, int view, bool passesRan,
                   glm::ivec2 windowSize, int rendered);

    // After each rendered frame: the progress line. Returns false once the
    // recording has failed and rendering should stop.
    bool frameDone(int rendered);

    // Ends the progress line, finishes the file and prints the closing lines
    // and the verdict. status is the run's so far; returns the process status.
    // An interrupted recording is saved with what it holds, as one without an
    // end is.
    int finish(int rendered, int status, bool interrupted);

  private:
    void handOnOldest();

    const Options &options_;
    bool captures_;
    FrameFormat format_;
    bool converts_; // the recording takes frames converted on the GPU
    FrameConverter converter_{};
    FrameCapture capture_{};
    std::unique_ptr<Recorder> recorder_;
    Reference reference_;
    std::string referenceError_;
    std::vector<unsigned char> lastFrame_; // for the verdict
};
