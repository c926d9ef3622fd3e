// A set's sound: the sound pass (Sound.fs), the sound channels, the server
// they are heard and captured through, the clocks that say where each
// stands, and the mix a recording carries. A set without any makes nothing
// of it: no GL object, no server connection, no thread.
#pragma once

#include "inputs/sound/sound_pass.h"
#include "inputs/sound/sound_server.h"

#include <glad/gl.h>

#include <string>
#include <vector>

class SoundChannel;

// How far a recording's track runs ahead of its pictures. ffmpeg waits for
// sound beyond the pictures it has read (a packet of raw samples and the
// encoder's look-ahead), and reads no picture while it waits; this much ahead
// it never waits, at any frame rate, for AAC and Opus alike.
constexpr long long kTrackLeadFrames = 4096;

struct SoundSettings {
    bool live;          // on the live clock, so heard through the server
    double spanSeconds; // how far the sound pass renders: 180 s or a shorter recording's end
    // The fixed clock: frame k's time is startTime + k / rate.
    double startTime;
    double rate;
};

struct Sound {
    SoundSettings settings{};
    SoundPass pass;
    SoundServer server;
    PlaybackStream passOutput;
    long long passNext = 0; // the next frame fed to passOutput, under the server's lock
    std::vector<SoundChannel *> channels;
    bool running = false;
    bool starting = false;     // heard from the next rendered frame on
    double liveSeconds = 0.0;  // the live clock's time spent running
    double lastTime = 0.0;     // the live clock at the last rendered frame
    bool outputFailed = false; // "No sound output" was said
    bool lost = false;         // the server went away
};

// Builds the sound pass and, on the live clock, connects to the server to
// play it. Prints "No sound output: REASON" where no server answers. Before
// any sound channel is made.
void createSound(Sound &sound, const ShaderFiles &files, const Wiring &wiring,
                 const SoundSettings &settings);

// Opens a stream that plays feed, paused; says once why there is no sound
// output when it cannot. Returns whether it opened.
bool openSoundOutput(Sound &sound, PlaybackStream &stream, SoundFeed feed);

// Per rendered frame, before its passes and its inputs' update, time being
// the frame's clock: follows the live clock, renders the blocks of the sound
// pass that playback needs from time on (the first before the first frame),
// or on the fixed clock with recorded set those up to next's (the following
// frame's clock) and a little beyond; and starts what is heard when
// rendering has just started. Returns whether it rendered, in which case the
// viewport and framebuffer binding are changed.
bool updateSound(Sound &sound, double time, double next, bool recorded, GLuint quadVao);

// At every pass of the loop: pauses what is heard with the picture, or has
// the next rendered frame start it again (a sound pass from that frame's
// clock, as the picture).
void followRunning(Sound &sound, bool running);

// On reload (R, --watch): the sound pass built again; one that links
// replaces the old, and a Sound.fs that has appeared since is built and
// heard. Returns the new build's first failure.
std::vector<std::string> reloadSound(Sound &sound, const ShaderFiles &files, const Wiring &wiring);

// On the live clock, how far the first sound file that plays has been heard:
// the clock videos follow, so that a picture stays in step with its sound
// whatever the output's latency. False where no file is heard.
bool heardClock(Sound &sound, double &seconds);

// Whether a recording of the set carries an audio track: it has a sound pass
// or plays a file.
bool soundRecorded(const Sound &sound);

// The stereo frames [first, first + count) of what a recording carries.
void mixSound(Sound &sound, long long first, long long count, float *stereo);

// The sound pass's GL objects; the streams and the connection go with the
// Sound.
void deleteSound(Sound &sound);
