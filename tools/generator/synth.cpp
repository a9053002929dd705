#include "tools/generator/synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTwoPi = 6.28318531f;

std::size_t samplesFor(float seconds) { return static_cast<std::size_t>(std::max(0.0f, seconds) * kSampleRate); }

// Band-limited saw: a naive ramp with its jump smoothed (polyBLEP).
float polyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

float sawAt(float phase, float dt) { return 2.0f * phase - 1.0f - polyBlep(phase, dt); }

float squareAt(float phase, float dt) {
    float value = phase < 0.5f ? 1.0f : -1.0f;
    value += polyBlep(phase, dt);
    float shifted = phase + 0.5f;
    if (shifted >= 1.0f) {
        shifted -= 1.0f;
    }
    return value - polyBlep(shifted, dt);
}

// Attack, exponential decay towards `sustain`, release after `hold` seconds.
float envelope(float t, float hold, float attack, float decay, float sustain, float release) {
    float level = t < attack ? t / attack : sustain + (1.0f - sustain) * std::exp(-(t - attack) / decay);
    if (t > hold) {
        level *= std::exp(-(t - hold) / release);
    }
    return level;
}

// A two-pole low-pass (trapezoidal state variable), stable at any cutoff;
// `damping` 2 is flat, smaller values ring.
struct LowPass {
    float s1 = 0, s2 = 0;
    float run(float in, float cutoff, float damping) {
        const float g = std::tan(3.14159265f * std::min(cutoff, 0.45f * kSampleRate) / kSampleRate);
        const float a1 = 1.0f / (1.0f + g * (g + damping));
        const float a2 = g * a1, a3 = g * a2;
        const float v3 = in - s2;
        const float v1 = a1 * s1 + a2 * v3;
        const float v2 = s2 + a2 * s1 + a3 * v3;
        s1 = 2.0f * v1 - s1;
        s2 = 2.0f * v2 - s2;
        return v2;
    }
};

}  // namespace

float midiToHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

void Bus::add(std::size_t start, const std::vector<float>& mono, float pan) {
    const float angle = (pan + 1.0f) * 0.25f * 3.14159265f;
    const float gl = std::cos(angle) * 1.41421356f, gr = std::sin(angle) * 1.41421356f;
    for (std::size_t i = 0; i < mono.size() && start + i < frames(); ++i) {
        left[start + i] += mono[i] * gl;
        right[start + i] += mono[i] * gr;
    }
}

void Bus::mixInto(Bus& target, float gain) const {
    for (std::size_t i = 0; i < frames() && i < target.frames(); ++i) {
        target.left[i] += left[i] * gain;
        target.right[i] += right[i] * gain;
    }
}

void Bus::echo(float seconds, float feedback, float wet) {
    const std::size_t delay = samplesFor(seconds);
    std::vector<float> l(frames(), 0.0f), r(frames(), 0.0f);
    for (std::size_t i = delay; i < frames(); ++i) {
        // Ping-pong: each repeat crosses to the other side.
        l[i] = right[i - delay] * 0.7f + r[i - delay] * feedback;
        r[i] = left[i - delay] * 0.7f + l[i - delay] * feedback;
    }
    for (std::size_t i = 0; i < frames(); ++i) {
        left[i] += l[i] * wet;
        right[i] += r[i] * wet;
    }
}

std::vector<float> kick(float velocity) {
    std::vector<float> out(samplesFor(0.3f));
    float phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kSampleRate;
        const float hz = 52.0f + 110.0f * std::exp(-t / 0.03f);
        phase += hz / kSampleRate;
        const float body = std::sin(kTwoPi * phase) * std::exp(-t / 0.09f);
        const float click = std::exp(-t / 0.002f) * 0.4f;
        out[i] = velocity * std::tanh(1.6f * (body + click));
    }
    return out;
}

std::vector<float> snare(float velocity, Random& random) {
    std::vector<float> out(samplesFor(0.25f));
    LowPass tone;
    float phase = 0, previous = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kSampleRate;
        phase += 190.0f / kSampleRate;
        const float noise = random.range(-1.0f, 1.0f);
        const float bright = noise - previous;  // a first difference leans the noise high
        previous = noise;
        const float body = std::sin(kTwoPi * phase) * std::exp(-t / 0.04f);
        out[i] = velocity * (0.5f * body + 0.6f * tone.run(bright, 6000.0f, 0.5f) * std::exp(-t / 0.07f));
    }
    return out;
}

std::vector<float> hat(float velocity, bool open, Random& random) {
    std::vector<float> out(samplesFor(open ? 0.2f : 0.06f));
    float previous = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kSampleRate;
        const float noise = random.range(-1.0f, 1.0f);
        const float high = noise - previous;
        previous = noise;
        out[i] = velocity * 0.5f * high * std::exp(-t / (open ? 0.07f : 0.015f));
    }
    return out;
}

std::vector<float> subBass(float hz, float seconds, float velocity) {
    std::vector<float> out(samplesFor(seconds + 0.08f));
    float phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kSampleRate;
        // A short drop into the note gives the sub its punch.
        phase += hz * (1.0f + 0.5f * std::exp(-t / 0.015f)) / kSampleRate;
        const float level = envelope(t, seconds, 0.004f, 0.45f, 0.35f, 0.03f);
        out[i] = velocity * level * std::tanh(1.3f * std::sin(kTwoPi * phase));
    }
    return out;
}

std::vector<float> bass(float hz, float seconds, float velocity) {
    std::vector<float> out(samplesFor(seconds + 0.1f));
    LowPass filter;
    float phase = 0, phase2 = 0;
    const float dt = hz / kSampleRate;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kSampleRate;
        phase += dt;
        phase -= std::floor(phase);
        phase2 += dt * 1.004f;
        phase2 -= std::floor(phase2);
        const float raw = 0.55f * sawAt(phase, dt) + 0.45f * squareAt(phase2, dt);
        const float cutoff = hz * 2.5f + 1400.0f * std::exp(-t / 0.06f);
        const float level = envelope(t, seconds, 0.003f, 0.18f, 0.55f, 0.04f);
        out[i] = velocity * level * filter.run(raw, cutoff, 0.9f) + velocity * level * 0.5f * std::sin(kTwoPi * phase);
    }
    return out;
}

std::vector<float> lead(float hz, float seconds, float velocity, float brightness) {
    std::vector<float> out(samplesFor(seconds + 0.15f));
    LowPass filter;
    float phase = 0, phase2 = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kSampleRate;
        // Vibrato comes in only on held notes.
        const float vibrato = 1.0f + 0.004f * std::sin(kTwoPi * 5.5f * t) * std::clamp((t - 0.15f) / 0.2f, 0.0f, 1.0f);
        const float dt = hz * vibrato / kSampleRate;
        phase += dt;
        phase -= std::floor(phase);
        phase2 += dt * 1.003f;
        phase2 -= std::floor(phase2);
        const float raw = 0.5f * squareAt(phase, dt) + 0.35f * sawAt(phase2, dt) + 0.6f * std::sin(kTwoPi * phase);
        const float cutoff = hz * (2.0f + 3.0f * brightness) + 2500.0f * brightness * std::exp(-t / 0.1f);
        const float level = envelope(t, seconds, 0.006f, 0.2f, 0.7f, 0.06f);
        out[i] = velocity * level * filter.run(raw, cutoff, 0.7f);
    }
    return out;
}

std::vector<float> pad(const std::vector<float>& hz, float seconds, float velocity) {
    std::vector<float> out(samplesFor(seconds + 0.4f), 0.0f);
    for (const float f : hz) {
        float phase = 0, phase2 = 0.3f;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const float t = static_cast<float>(i) / kSampleRate;
            phase += f / kSampleRate;
            phase2 += f * 1.006f / kSampleRate;
            const float tri = std::fabs(4.0f * (phase - std::floor(phase)) - 2.0f) - 1.0f;
            const float tri2 = std::fabs(4.0f * (phase2 - std::floor(phase2)) - 2.0f) - 1.0f;
            const float level = std::min(1.0f, t / 0.3f) * (t > seconds ? std::exp(-(t - seconds) / 0.15f) : 1.0f);
            out[i] += velocity * level * 0.5f * (tri + tri2) / static_cast<float>(hz.size());
        }
    }
    return out;
}

StereoSamples master(const Bus& mix, float peak) {
    StereoSamples out;
    out.sampleRate = kSampleRate;
    out.left.resize(mix.frames());
    out.right.resize(mix.frames());
    float highest = 1e-6f;
    for (std::size_t i = 0; i < mix.frames(); ++i) {
        out.left[i] = std::tanh(mix.left[i]);
        out.right[i] = std::tanh(mix.right[i]);
        highest = std::max({highest, std::fabs(out.left[i]), std::fabs(out.right[i])});
    }
    const float gain = peak / highest;
    for (std::size_t i = 0; i < mix.frames(); ++i) {
        out.left[i] *= gain;
        out.right[i] *= gain;
    }
    return out;
}
