// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace Application
{
// The test signal: in the first 100 ms of every second a tone burst with a
// smooth envelope (1400 Hz on every tenth second, 1000 Hz on every fifth,
// 700 Hz otherwise), silence for the rest of the second. It depends only on
// the absolute sample index, so any range of samples can be made at any time,
// in particular the samples before a segment that an encoder needs to warm up.
// The presentation starts at sample 0: earlier samples are silence.
//
// With the marker (the "framecode" test aid) a 10 ms, 6000 Hz tone at a
// quarter of full scale is added from the first sample of every whole second
// on, so that a capture can find each second to the sample and measure how
// far the audio is from the pictures. It rises at once, starting at phase 0:
// the first sample of the second is 0, the next ones already far from it.
// The burst's envelope stays below 0.74 for those 10 ms, so the sum never
// leaves [-1, 1].
//
// The audio of an ad bursts at one frequency of its own every second
// (AdvertFrequencies by the ad's number), apart from the three of the
// programme, so that a capture tells which ad plays and when the programme
// comes back; the marker is the same.
//
// The audio of a language rendition ("lang", "describes") has a voice: its
// bursts sound on a base frequency of their own (VoiceFrequencies by the
// rendition's slot) in the programme's pattern (the base on ordinary seconds,
// 10/7 of it on every fifth, twice it on every tenth, as 700, 1000 and
// 1400 Hz), so that an analysis tells the renditions apart by pitch; and
// from SpeechDelay after every tenth second on it says the language's name
// (SpokenNames). Both depend on the sample index alone, so a segment cut
// across a spoken name joins its neighbour seamlessly.
//
// On six channels (5.1) each second's burst sounds from one speaker only, in
// the round SurroundSpeakers gives; the marker is on the front pair,
// the spoken name on the centre.
class ToneBurstSignal
{
public:
    enum class SampleFormat
    {
        Float32,
        Pcm8,
        Pcm16,
        Pcm24,
        Pcm32,
    };

    static constexpr float MarkerFrequency = 6000.0f;
    static constexpr float MarkerAmplitude = 0.25f;
    // 10 ms.
    static constexpr std::uint32_t MarkerDivisor = 100;

    // Ads 1 to 6; more repeat them.
    static constexpr float AdvertFrequencies[] = {440.0f, 550.0f, 880.0f, 1200.0f, 1760.0f, 2200.0f};

    // Slots 0 to 8: eight languages and an audio description. The steps of
    // 125 Hz keep neighbours 8 % or more apart on every second's burst.
    static constexpr float VoiceFrequencies[] = {500.0f, 625.0f, 750.0f, 875.0f, 1000.0f, 1125.0f, 1250.0f, 1375.0f, 1500.0f};
    // The name starts 0.2 s into every tenth second, after that second's burst.
    static constexpr std::uint32_t SpeechDelayDivisor = 5;
    static constexpr std::uint32_t SpeechPeriodSeconds = 10;

    struct Voice
    {
        std::uint32_t Slot = 0;
        // Mono samples at the signal's rate; empty: the pitch pattern alone.
        std::shared_ptr<std::vector<float> const> Speech;
    };

    // Advert: the number (from 1) of the ad this is the audio of, 0 for the programme.
    explicit ToneBurstSignal(std::uint32_t SampleRate, bool Marker = false, std::uint32_t Advert = 0);

    static float AdvertFrequency(std::uint32_t Number) noexcept;

    // Before the first Value; the ad's tone stays the ad's.
    void SetVoice(Voice Value);

    static std::uint32_t BytesPerSample(SampleFormat Format) noexcept;

    // The value in [-1, 1] of sample Index.
    float Value(std::int64_t Index) const noexcept;
    // Writes Count sample frames from First on, each value on every one of
    // Channels channels (on six, the burst on its speaker's alone); Output
    // holds at least Count × Channels samples.
    void Write(std::int64_t First, std::uint32_t Count, std::uint32_t Channels, SampleFormat Format, std::span<std::uint8_t> Output) const;

private:
    // The burst of sample Index at Frequency, or at its second's own with 0.
    float Burst(std::int64_t Index, float Frequency) const noexcept;
    float Marker(std::int64_t Index) const noexcept;
    void WriteSurround(std::int64_t First, std::uint32_t Count, SampleFormat Format, std::uint8_t* Position) const;

    std::uint32_t m_SampleRate;
    // Samples of the marker at the start of each second; 0 without it.
    std::uint32_t m_MarkerSamples;
    // Every burst's frequency; 0 for the programme's three.
    float m_AdvertFrequency;
    // The base of the voice's pattern; 0 without a voice.
    float m_VoiceFrequency = 0.0f;
    std::shared_ptr<std::vector<float> const> m_Speech;

    float BurstFrequency(std::int64_t Second) const noexcept;
    float SpeechValue(std::int64_t Index) const noexcept;
};
} // namespace Application
