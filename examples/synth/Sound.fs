// The loop's sound, all arithmetic: a kick on every beat, a hi-hat between
// beats, a bass line and a pad that changes chord with the bar. Its time is
// counted from the sample number within the loop, so it stays exact however
// long the sound runs.
const int kLoopSamples = 4 * 44100;

float hash(int n)
{
    n = (n << 13) ^ n;
    return 1.0 - float((n * (n * n * 15731 + 789221) + 1376312589) & 0x7fffffff) / 1073741824.0;
}

// A sine whose pitch falls from 141 Hz to 45 Hz: its phase is the integral
// of 45 + 96 exp(-30 s).
float kick(float since)
{
    float phase = 6.2831853 * (45.0 * since + 3.2 * (1.0 - exp(-30.0 * since)));
    return sin(phase) * kickLevel(since);
}

float hat(int samp, float since) { return 0.3 * hash(samp) * exp(-60.0 * since); }

float bass(float t, float hz, float since)
{
    float saw = 2.0 * fract(t * hz) - 1.0;
    return 0.35 * mix(sin(6.2831853 * t * hz), saw, 0.3) * min(1.0, since * 200.0) * exp(-2.0 * since);
}

// A minor, then F major, an octave and a half above the bass.
float pad(float t, int beat)
{
    vec3 chord = beat < 4 ? vec3(220.0, 261.63, 329.63) : vec3(174.61, 220.0, 261.63);
    vec3 phase = 6.2831853 * t * chord;
    return 0.06 * (sin(phase.x) + sin(phase.y) + sin(phase.z));
}

vec2 mainSound(int samp, float time)
{
    int local = samp % kLoopSamples;
    float t = float(local) / 44100.0;
    int beat = beatAt(t);
    float since = sinceBeat(t);
    float offbeat = since - 0.25;
    float drums = 0.8 * kick(since) + (offbeat >= 0.0 ? hat(local, offbeat) : 0.0);
    float tone = bass(t, bassNote(beat), since) + pad(t, beat);
    // The hat a little left, the pad a little right; kept below full scale.
    return 0.8 * vec2(drums + tone * 0.9, drums * 0.9 + tone);
}
