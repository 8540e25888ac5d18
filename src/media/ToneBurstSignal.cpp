// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/ToneBurstSignal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>

#include "base/Check.h"
#include "media/SurroundSpeakers.h"

namespace Application
{
namespace
{
constexpr float BurstLength = 0.1f;
constexpr float BurstMiddle = 0.05f;

// Stores a little-endian integer sample of Bytes bytes.
void StoreInteger(std::uint8_t* Output, std::uint32_t Value, std::uint32_t Bytes)
{
    for(std::uint32_t Index = 0; Index < Bytes; ++Index)
        Output[Index] = static_cast<std::uint8_t>(Value >> (8 * Index));
}

void StoreSample(std::uint8_t* Output, float Value, ToneBurstSignal::SampleFormat Format)
{
    switch(Format)
    {
    case ToneBurstSignal::SampleFormat::Float32:
        std::memcpy(Output, &Value, sizeof Value);
        break;
    case ToneBurstSignal::SampleFormat::Pcm8:
        *Output = static_cast<std::uint8_t>(Value * 127.0f + 128.0f);
        break;
    case ToneBurstSignal::SampleFormat::Pcm16:
        StoreInteger(Output, static_cast<std::uint32_t>(static_cast<std::int16_t>(Value * 32767.0f)), 2);
        break;
    case ToneBurstSignal::SampleFormat::Pcm24:
    {
        // The three most significant bytes of the 32-bit value. Full scale
        // saturates: 2^31 does not fit a signed 32-bit integer.
        auto const Wide = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::fmax(std::fmin(Value * 2147483648.0, 2147483647.0), -2147483648.0)));
        StoreInteger(Output, Wide >> 8, 3);
        break;
    }
    case ToneBurstSignal::SampleFormat::Pcm32:
        StoreInteger(Output, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::fmax(std::fmin(Value * 2147483648.0, 2147483647.0), -2147483648.0))), 4);
        break;
    }
}
} // namespace

ToneBurstSignal::ToneBurstSignal(std::uint32_t SampleRate, bool Marker, std::uint32_t Advert) :
    m_SampleRate(SampleRate), m_MarkerSamples(Marker ? SampleRate / MarkerDivisor : 0), m_AdvertFrequency(Advert ? AdvertFrequency(Advert) : 0.0f)
{
    CHECK_LINE(SampleRate > 0);
}

void ToneBurstSignal::SetVoice(Voice Value)
{
    CHECK_ARGUMENT(Value.Slot < std::size(VoiceFrequencies));
    m_VoiceFrequency = VoiceFrequencies[Value.Slot];
    m_Speech = std::move(Value.Speech);
}

float ToneBurstSignal::AdvertFrequency(std::uint32_t Number) noexcept
{
    return AdvertFrequencies[(Number - 1) % std::size(AdvertFrequencies)];
}

std::uint32_t ToneBurstSignal::BytesPerSample(SampleFormat Format) noexcept
{
    switch(Format)
    {
    case SampleFormat::Pcm8: return 1;
    case SampleFormat::Pcm16: return 2;
    case SampleFormat::Pcm24: return 3;
    case SampleFormat::Float32:
    case SampleFormat::Pcm32: return 4;
    }
    return 0;
}

float ToneBurstSignal::BurstFrequency(std::int64_t Second) const noexcept
{
    if(m_AdvertFrequency > 0.0f)
        return m_AdvertFrequency;
    if(m_VoiceFrequency > 0.0f)
        return Second % 10 == 0 ? 2.0f * m_VoiceFrequency : Second % 5 == 0 ? m_VoiceFrequency * 10.0f / 7.0f : m_VoiceFrequency;
    return Second % 10 == 0 ? 1400.0f : Second % 5 == 0 ? 1000.0f : 700.0f;
}

float ToneBurstSignal::SpeechValue(std::int64_t Index) const noexcept
{
    if(!m_Speech)
        return 0.0f;
    std::int64_t const Period = std::int64_t{SpeechPeriodSeconds} * m_SampleRate;
    std::int64_t const Position = Index % Period - m_SampleRate / SpeechDelayDivisor;
    if(Position < 0 || Position >= static_cast<std::int64_t>(m_Speech->size()))
        return 0.0f;
    return (*m_Speech)[static_cast<std::size_t>(Position)];
}

float ToneBurstSignal::Value(std::int64_t Index) const noexcept
{
    float const Sum = Burst(Index, 0.0f) + Marker(Index);
    // A long name reaches the next second's burst: the sum stays in range.
    return m_Speech ? std::clamp(Sum + SpeechValue(Index), -1.0f, 1.0f) : Sum;
}

float ToneBurstSignal::Burst(std::int64_t Index, float Frequency) const noexcept
{
    if(Index < 0)
        return 0.0f;
    std::int64_t const Second = Index / m_SampleRate;
    float const Fraction = static_cast<float>(Index % m_SampleRate) / static_cast<float>(m_SampleRate);
    if(Fraction >= BurstLength)
        return 0.0f;
    if(Frequency <= 0.0f)
        Frequency = BurstFrequency(Second);
    float const Distance = std::fabs(Fraction - BurstMiddle) / BurstMiddle;
    float const Square = Distance * Distance;
    float const Envelope = 1.0f - Square * Square * Square;
    return Envelope * std::sin(2.0f * std::numbers::pi_v<float> * Frequency * Fraction);
}

float ToneBurstSignal::Marker(std::int64_t Index) const noexcept
{
    if(Index < 0)
        return 0.0f;
    std::int64_t const Offset = Index % m_SampleRate;
    if(Offset >= m_MarkerSamples)
        return 0.0f;
    float const Fraction = static_cast<float>(Offset) / static_cast<float>(m_SampleRate);
    return MarkerAmplitude * std::sin(2.0f * std::numbers::pi_v<float> * MarkerFrequency * Fraction);
}

void ToneBurstSignal::Write(std::int64_t First, std::uint32_t Count, std::uint32_t Channels, SampleFormat Format, std::span<std::uint8_t> Output) const
{
    std::uint32_t const SampleSize = BytesPerSample(Format);
    CHECK_ARGUMENT(Output.size() >= static_cast<std::size_t>(Count) * Channels * SampleSize);
    std::uint8_t* Position = Output.data();
    if(Channels == SurroundSpeakers::Channels)
        return WriteSurround(First, Count, Format, Position);
    for(std::uint32_t Frame = 0; Frame < Count; ++Frame)
    {
        float const Sample = Value(First + Frame);
        for(std::uint32_t Channel = 0; Channel < Channels; ++Channel, Position += SampleSize)
            StoreSample(Position, Sample, Format);
    }
}

void ToneBurstSignal::WriteSurround(std::int64_t First, std::uint32_t Count, SampleFormat Format, std::uint8_t* Position) const
{
    std::uint32_t const SampleSize = BytesPerSample(Format);
    for(std::uint32_t Frame = 0; Frame < Count; ++Frame)
    {
        std::int64_t const Index = First + Frame;
        std::uint32_t const Sounding = SurroundSpeakers::Sounding(Index < 0 ? 0 : Index / m_SampleRate);
        float const Tone = Burst(Index, Sounding == SurroundSpeakers::LfeChannel ? SurroundSpeakers::LfeFrequency : 0.0f);
        float const Mark = Marker(Index);
        float const Speech = SpeechValue(Index);
        for(std::uint32_t Channel = 0; Channel < SurroundSpeakers::Channels; ++Channel, Position += SampleSize)
        {
            float Sample = (Channel == Sounding ? Tone : 0.0f) + (Channel < 2 ? Mark : 0.0f);
            if(Channel == SurroundSpeakers::CentreChannel && m_Speech)
                Sample = std::clamp(Sample + Speech, -1.0f, 1.0f);
            StoreSample(Position, Sample, Format);
        }
    }
}
} // namespace Application
