// SPDX-License-Identifier: GPL-2.0-or-later
// Sequence parameter sets as an encoder's first sample carries them: the
// HEVC reader behind hvcC and the codecs text, and the H.264 codecs text,
// on any bytes. A malformed set may fail with a status, never read past
// its end.
#include "FuzzCheck.h"

#include "base/HResultError.h"
#include "mp4/Mp4HevcSequenceParameterSet.h"
#include "mp4/Mp4NalUnit.h"
#include "mp4/Mp4SampleEntryBoxes.h"

namespace
{
// nal_unit_type of an HEVC sequence parameter set.
constexpr std::uint8_t HevcSequenceParameterSetType = 33;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* Data, std::size_t Size)
{
    std::span<std::uint8_t const> const Sample(Data, Size);
    auto const Units = Mp4::SplitAnnexB(Sample);
    for(auto const& Unit : Units)
    {
        Fuzz::Expect(Unit.data() >= Data && Unit.data() + Unit.size() <= Data + Size, "a NAL unit lies inside the sample");
        Fuzz::Expect(Mp4::ExtractRbsp(Unit).size() <= Unit.size(), "the payload is never longer than its unit");
        if(Mp4::GetHevcNalUnitType(Unit) == HevcSequenceParameterSetType)
            Fuzz::Failing([&] {
                Mp4::HvccBox Record;
                Mp4::HevcSequenceParameterSet::ReadInto(Unit, Record);
                Fuzz::Expect(Mp4::HevcSequenceParameterSet::GetCodecsString(Record).starts_with("hvc1."), "an HEVC codecs text");
            });
    }
    // The whole sample read as one HEVC set, too: the reader sees every byte string.
    Fuzz::Failing([&] {
        Mp4::HvccBox Record;
        Mp4::HevcSequenceParameterSet::ReadInto(Sample, Record);
        Mp4::HevcSequenceParameterSet::GetCodecsString(Record);
    });
    Fuzz::Failing([&] {
        auto const Codecs = Mp4::GetH264CodecsStringFromSample(Sample);
        Fuzz::Expect(Codecs.empty() || (Codecs.size() == 11 && Codecs.starts_with("avc1.")), "an H.264 codecs text");
    });
    return 0;
}
