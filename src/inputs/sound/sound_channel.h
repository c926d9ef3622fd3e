// A channel that reads sound: an audio file (looped unless told otherwise),
// the microphone, or what the machine plays (the default output's monitor).
// Its texture is 512 x 2 GL_R8, linear, clamped: row 0 the spectrum, row 1
// the waveform (analysis.h). On the fixed clock a file is read at each
// frame's time; on the live clock it plays through the server and the
// window ends at what is heard; a capture reads its newest samples.
#pragma once

#include "inputs/sound/analysis.h"
#include "inputs/sound/sound_clip.h"
#include "inputs/sound/sound_server.h"

#include <glad/gl.h>

#include <string>

struct Sound;

enum class SoundInput { kFile, kMicrophone, kLoopback };

class SoundChannel {
  public:
    // Reads the file or opens the capture, printing one line when that
    // fails (reader names the pass and channel: "Image iChannel0"), and makes
    // the texture, silent, bound on the active unit. Registers with sound,
    // which must outlive it.
    SoundChannel(Sound &sound, SoundInput input, const std::string &path, bool loop,
                 const std::string &reader);
    ~SoundChannel();
    SoundChannel(const SoundChannel &) = delete;
    SoundChannel &operator=(const SoundChannel &) = delete;

    // On reload: reads the file again, keeping the sound it had when that fails.
    void reread(const std::string &reader);

    // Once a rendered frame, after updateSound; frame is the frame's number.
    // Analyses and uploads the texture; leaves it bound on texture unit 0,
    // which is then active.
    void update(int frame);

    void bind() const { glBindTexture(GL_TEXTURE_2D, texture_); }
    // The texture; the rest goes with the channel.
    void release();

    // iChannelTime: where the file plays, or how long the capture has run.
    float seconds() const { return static_cast<float>(seconds_); }

    // On the live clock, how far a file has been heard since it started;
    // false for a capture, or where nothing is heard.
    bool heardSeconds(double &seconds);
    // Whether a recording carries it: a file does, a capture does not.
    bool recorded() const { return input_ == SoundInput::kFile; }

    // Adds the frames [first, first + count) of the file, as played on the
    // fixed clock, to stereo; a capture adds nothing.
    void mixInto(long long first, long long count, float *stereo) const;

    // Pauses or resumes what is heard (with the server locked for neither).
    void play(bool on);

  private:
    bool load(const std::string &reader);
    long long liveEnd();
    void analyseFile(long long end);
    void upload();

    Sound &sound_;
    const SoundInput input_;
    const std::string path_;
    SoundClip clip_; // a file's samples; swapped under the server's lock while it plays
    SoundAnalyser analyser_;
    GLuint texture_ = 0;
    PlaybackStream playback_;
    CaptureStream capture_;
    long long fed_ = 0;     // frames of the file fed to playback_, under the server's lock
    double heard_ = 0.0;    // seconds of the file heard on the live clock
    double polled_ = -1.0;  // this frame's reading of what is heard, once taken
    double lastLive_ = 0.0; // the live clock's seconds at the last update
    int lastFrame_ = -1;    // the last frame analysed on the fixed clock
    double seconds_ = 0.0;
    float window_[kWindowSamples] = {};
    unsigned char texels_[kSoundTexels] = {};
};
