// The binding rules from channels and sampler names to sources.
#include "inputs/wiring.h"

#include "inputs/video/video_names.h"
#include "shader/shader_files.h"

namespace {

// A file by its extension: a picture, or a video that --sampler changes only
// in what it names.
Wire imageWire(const Wiring &wiring, const std::string &name, const std::string &path) {
    Wire wire;
    wire.source.kind = isVideoFile(path) ? SourceKind::kVideo : SourceKind::kImage;
    wire.source.path = path;
    const SamplerSettings *chosen = samplerChoice(wiring.choices, name);
    if (wire.source.kind == SourceKind::kImage) {
        if (chosen)
            wire.sampling = *chosen;
        return wire;
    }
    wire.sampling = kVideoSampling;
    if (chosen && chosen->filterGiven)
        wire.sampling.filter = chosen->filter;
    if (chosen && chosen->wrapGiven)
        wire.sampling.wrap = chosen->wrap;
    return wire;
}

} // namespace

Wire channelWire(const Wiring &wiring, int program, int channel) {
    const std::string &name = channelName(channel);
    const std::optional<Wire> &wired = wiring.set.channels[program][channel];
    if (wired)
        return *wired;
    const std::string path = boundFile(wiring.choices, name);
    if (!path.empty())
        return imageWire(wiring, name, path);
    Wire wire;
    if (wiring.set.present) {
        wire.unwired = true;
        return wire;
    }
    wire.source.kind = SourceKind::kTarget;
    wire.source.buffer = channel;
    wire.sampling = kTargetSampling;
    if (const SamplerSettings *chosen = samplerChoice(wiring.choices, name)) {
        wire.sampling.wrap = chosen->wrap;
        if (chosen->filterGiven)
            wire.sampling.filter = chosen->filter;
    }
    return wire;
}

Wire namedWire(const Wiring &wiring, const std::string &name) {
    const std::string path = boundFile(wiring.choices, name);
    if (!path.empty())
        return imageWire(wiring, name, path);
    Wire wire;
    wire.noImage = true;
    return wire;
}

bool clicksMouse(const Wiring &wiring, bool generatedImage) {
    if (wiring.set.mouse == MouseStyle::kUnset)
        return generatedImage;
    return wiring.set.mouse == MouseStyle::kClick;
}

unsigned buffersRead(const Wiring &wiring, int program, unsigned channels) {
    unsigned read = 0;
    for (int n = 0; n < kShaderChannels; ++n) {
        if (!(channels & passBit(n)))
            continue;
        const Wire wire = channelWire(wiring, program, n);
        if (wire.source.kind == SourceKind::kTarget || wire.source.kind == SourceKind::kCubePass)
            read |= passBit(wire.source.buffer);
    }
    return read;
}
