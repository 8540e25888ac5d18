// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Application
{
// Each language's name spoken in a voice of that language by espeak-ng, for
// the audio of language renditions (ToneBurstSignal). A name is rendered
// once per process, the first time a segment needs it, and kept: segments
// only mix the kept samples in. espeak-ng keeps one global state, so every
// call into it is made under one lock.
//
// A tag for which espeak-ng has no voice (or a system without its data)
// gets no speech: the rendition keeps its pitch pattern alone, which is
// enough to tell it apart.
class SpokenNames
{
public:
    // The loudest sample of a name; the bursts reach 1.
    static constexpr float Peak = 0.5f;
    // Longer speech is cut (a long name in a slow voice): it stays well
    // inside the ten seconds between two names.
    static constexpr std::uint32_t MaximalSeconds = 4;

    // Name (UTF-8) said by the voice of Tag, mono at Rate, its loudest
    // sample at Peak; empty without a voice. Made once for each tag, name
    // and rate; safe from any thread.
    static std::shared_ptr<std::vector<float> const> Of(std::string const& Tag, std::string const& Name, std::uint32_t Rate);

    // The same made afresh, past the kept ones (what a name costs to make).
    static std::vector<float> Render(std::string const& Tag, std::string const& Name, std::uint32_t Rate);
};
} // namespace Application
