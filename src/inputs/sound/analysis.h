// What a sound channel's texture holds: the spectrum and the waveform of the
// newest 2048 samples of the mono mix, computed as browsers' audio analysers
// compute them, smoothed from frame to frame.
#pragma once

constexpr int kWindowSamples = 2048;
constexpr int kSoundTextureWidth = 512; // spectrum bins and waveform samples
constexpr int kSoundTextureRows = 2;    // row 0 the spectrum, row 1 the waveform
constexpr int kSoundTexels = kSoundTextureWidth * kSoundTextureRows;
constexpr float kSmoothing = 0.8f; // the previous frame's share
// Frames replayed before a run's first so that a split render matches a
// single one: 0.8^31 < 1/1000 is all that the frames before them still weigh.
constexpr int kReplayFrames = 31;

// Owns an FFTW plan, made on the calling thread (FFTW's planner is not thread
// safe), and the smoothed magnitudes.
class SoundAnalyser {
  public:
    SoundAnalyser();
    ~SoundAnalyser();
    SoundAnalyser(const SoundAnalyser &) = delete;
    SoundAnalyser &operator=(const SoundAnalyser &) = delete;

    // Back to silence, as at the start of a run.
    void reset();

    // window: the newest kWindowSamples samples of the mono mix, oldest
    // first. Advances the smoothing one frame and writes the texture's rows.
    void analyse(const float *window, unsigned char texels[kSoundTexels]);

  private:
    float *samples_;
    float (*spectrum_)[2]; // FFTW's complex numbers
    struct fftwf_plan_s *plan_;
    float blackman_[kWindowSamples];
    float smoothed_[kSoundTextureWidth];
};

// The texture of silence: spectrum 0, waveform at its middle.
void silentTexels(unsigned char texels[kSoundTexels]);
