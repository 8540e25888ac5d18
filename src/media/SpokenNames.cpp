// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/SpokenNames.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>
#include <optional>
#include <tuple>

#include "base/Check.h"
#include "base/Trace.h"

namespace Application
{
namespace
{
std::mutex Lock;
// The synthesiser's own rate, 0 once it failed to start; under Lock.
std::optional<int> SynthesizerRate;

int CollectSamples(short* Samples, int Count, espeak_EVENT* Events)
{
    auto* Output = static_cast<std::vector<short>*>(Events->user_data);
    if(Samples && Output)
        Output->insert(Output->end(), Samples, Samples + Count);
    return 0;
}

// Under Lock. The data is Debian's (espeak-ng-data); no audio device is opened.
int StartSynthesizer()
{
    if(!SynthesizerRate)
    {
        int const Rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
        if(Rate <= 0)
            TRACE("espeak_Initialize failed (%d): language renditions have no spoken names\n", Rate);
        else
            espeak_SetSynthCallback(CollectSamples);
        SynthesizerRate = std::max(Rate, 0);
    }
    return *SynthesizerRate;
}

// Under Lock: Name in the voice of Tag at the synthesiser's rate; empty without one.
std::vector<short> Synthesize(std::string const& Tag, std::string const& Name)
{
    std::vector<short> Samples;
    if(StartSynthesizer() == 0)
        return Samples;
    espeak_VOICE Properties{};
    Properties.languages = Tag.c_str();
    if(espeak_SetVoiceByProperties(&Properties) != EE_OK)
    {
        TRACE("espeak-ng has no voice for \"%s\": its rendition has no spoken name\n", Tag.c_str());
        return Samples;
    }
    auto const Status = espeak_Synth(Name.c_str(), Name.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, &Samples);
    if(Status != EE_OK || espeak_Synchronize() != EE_OK)
    {
        TRACE("espeak_Synth failed (%d) for \"%s\"\n", static_cast<int>(Status), Tag.c_str());
        Samples.clear();
    }
    return Samples;
}

// Hann-windowed sinc interpolation: speech from 22050 Hz to 48 kHz without
// the images a straight line between samples would leave.
constexpr int Taps = 16;

float Sinc(double X)
{
    return X == 0.0 ? 1.0f : static_cast<float>(std::sin(std::numbers::pi * X) / (std::numbers::pi * X));
}

float Interpolate(std::vector<short> const& Input, double Position, double Cutoff)
{
    auto const Centre = static_cast<std::int64_t>(std::floor(Position));
    double Sum = 0.0;
    for(std::int64_t Index = Centre - Taps + 1; Index <= Centre + Taps; ++Index)
    {
        if(Index < 0 || Index >= static_cast<std::int64_t>(Input.size()))
            continue;
        double const Distance = Position - static_cast<double>(Index);
        double const Window = 0.5 + 0.5 * std::cos(std::numbers::pi * Distance / Taps);
        Sum += Input[static_cast<std::size_t>(Index)] * Cutoff * Sinc(Distance * Cutoff) * Window;
    }
    return static_cast<float>(Sum);
}

std::vector<float> Resample(std::vector<short> const& Input, std::uint32_t InputRate, std::uint32_t OutputRate)
{
    std::size_t const Length = std::min<std::size_t>(Input.size() * OutputRate / InputRate, std::size_t{SpokenNames::MaximalSeconds} * OutputRate);
    double const Step = static_cast<double>(InputRate) / OutputRate;
    // Downwards the output's Nyquist frequency bounds what may pass.
    double const Cutoff = std::min(1.0, 1.0 / Step);
    std::vector<float> Output(Length);
    for(std::size_t Index = 0; Index < Length; ++Index)
        Output[Index] = Interpolate(Input, static_cast<double>(Index) * Step, Cutoff);
    return Output;
}

void Normalize(std::vector<float>& Samples)
{
    float Loudest = 0.0f;
    for(float const Sample : Samples)
        Loudest = std::max(Loudest, std::fabs(Sample));
    if(Loudest > 0.0f)
        for(float& Sample : Samples)
            Sample *= SpokenNames::Peak / Loudest;
}
} // namespace

std::vector<float> SpokenNames::Render(std::string const& Tag, std::string const& Name, std::uint32_t Rate)
{
    CHECK_ARGUMENT(Rate > 0);
    std::vector<short> Speech;
    int SourceRate = 0;
    {
        std::lock_guard const Guard(Lock);
        Speech = Synthesize(Tag, Name);
        SourceRate = *SynthesizerRate;
    }
    if(Speech.empty())
        return {};
    auto Samples = Resample(Speech, static_cast<std::uint32_t>(SourceRate), Rate);
    Normalize(Samples);
    return Samples;
}

std::shared_ptr<std::vector<float> const> SpokenNames::Of(std::string const& Tag, std::string const& Name, std::uint32_t Rate)
{
    static std::mutex KeptLock;
    static std::map<std::tuple<std::string, std::string, std::uint32_t>, std::shared_ptr<std::vector<float> const>> Kept;
    // Held while rendering: a second segment that needs the same name waits
    // for it rather than making it twice.
    std::lock_guard const Guard(KeptLock);
    auto& Samples = Kept[{Tag, Name, Rate}];
    if(!Samples)
        Samples = std::make_shared<std::vector<float> const>(Render(Tag, Name, Rate));
    return Samples;
}
} // namespace Application
