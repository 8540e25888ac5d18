// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/VideoMediaSource.h"

#include "base/Check.h"
#include "mf/Guids.h"
#include "mf/MediaStatus.h"

namespace Application
{
std::shared_ptr<VideoMediaSource> VideoMediaSource::Create()
{
    return std::make_shared<VideoMediaSource>();
}

VideoMediaSource::VideoMediaSource()
{
    SourceAttributes()->SetUINT32(PipelineSampleCount, DefaultPipelineSampleCount);
    m_Settings->BoxColor = BackgroundColors[0];
}

void VideoMediaSource::SetBackgroundColor(std::uint32_t Color)
{
    ASSERT(!HasWorkQueue());
    std::unique_lock Lock(GetLock());
    m_Settings->BoxColor = Color & 0xFFFFFF;
}

void VideoMediaSource::SetBaseLiveTime(std::int64_t Value)
{
    ASSERT(!HasWorkQueue());
    std::unique_lock Lock(GetLock());
    m_Settings->BaseLiveTime = Value;
}

void VideoMediaSource::SetFrameCode(FrameCodeIdentity Identity)
{
    ASSERT(!HasWorkQueue());
    std::unique_lock Lock(GetLock());
    m_Settings->FrameCode = Identity;
}

void VideoMediaSource::SetBreakNotices(std::vector<BreakNotice> Notices)
{
    ASSERT(!HasWorkQueue());
    std::unique_lock Lock(GetLock());
    m_Settings->BreakNotices = std::move(Notices);
}

void VideoMediaSource::SetAdvert(AdvertIdentity Identity)
{
    ASSERT(!HasWorkQueue());
    CHECK_ARGUMENT(Identity.Number >= 1 && Identity.Number <= Identity.Count);
    std::unique_lock Lock(GetLock());
    m_Settings->Advert = Identity;
    m_Settings->BackgroundColor = AdvertColor(Identity.Number);
}

void VideoMediaSource::SetChangeNotice(ChangeNotice Notice)
{
    ASSERT(!HasWorkQueue());
    std::unique_lock Lock(GetLock());
    m_Settings->Change = std::move(Notice);
}

void VideoMediaSource::SetSurround()
{
    ASSERT(!HasWorkQueue());
    std::unique_lock Lock(GetLock());
    m_Settings->Surround = true;
}

std::uint32_t VideoMediaSource::AdvertColor(std::uint32_t Number) noexcept
{
    return AdvertColors[(Number - 1) % std::size(AdvertColors)];
}

std::uint32_t VideoMediaSource::VariantColor(std::uint32_t Index) noexcept
{
    return BackgroundColors[Index % std::size(BackgroundColors)];
}

std::uint32_t VideoMediaSource::ChosenColor(std::int64_t Value) noexcept
{
    constexpr std::int64_t Count = 3;
    return BackgroundColors[((Value % Count) + Count) % Count];
}

std::shared_ptr<SyntheticMediaStream> VideoMediaSource::CreateStream(std::shared_ptr<MF::StreamDescriptor> Descriptor)
{
    return std::make_shared<Stream>(weak_from_this(), std::move(Descriptor), m_Settings, SourceAttributes());
}

VideoMediaSource::Stream::Stream(std::weak_ptr<SyntheticMediaSource> Source, std::shared_ptr<MF::StreamDescriptor> Descriptor,
                                 std::shared_ptr<VideoFrameComposer::Parameters const> Settings, std::shared_ptr<MF::Attributes const> SourceAttributes)
    : SyntheticMediaStream(std::move(Source), std::move(Descriptor)), m_Settings(std::move(Settings)), m_SourceAttributes(std::move(SourceAttributes))
{
}

void VideoMediaSource::Stream::OnActivate(MF::MediaType const& Type)
{
    CHECK_LINE(Type.GetMajorType() == MF::MFMediaType_Video);
    // 10-bit pictures are wide-gamut ones: PQ or HLG.
    bool const Wide = Type.GetSubtype() == MF::MFVideoFormat_A2R10G10B10;
    CHECK_CONDITION(Wide || Type.GetSubtype() == MF::MFVideoFormat_ARGB32, E_NOTIMPL);
    std::uint32_t const Transfer = Type.GetUINT32(MF::MF_MT_TRANSFER_FUNCTION, 0);
    CHECK_CONDITION(!Wide || Transfer == MF::MFVideoTransFunc_2084 || Transfer == MF::MFVideoTransFunc_HLG, MF_E_INVALIDMEDIATYPE);
    auto const [RateN, RateD] = Type.GetRatio(MF::MF_MT_FRAME_RATE);
    CHECK_LINE(RateN > 0 && RateD > 0);
    auto const [Width, Height] = Type.GetSize(MF::MF_MT_FRAME_SIZE);
    CHECK_CONDITION(Width > 0 && Height > 0 && Width <= 8192 && Height <= 8192, MF_E_INVALIDMEDIATYPE);
    // Rows top-down; a type that says otherwise is not one this source makes.
    if(auto const Stride = Type.FindItem(MF::MF_MT_DEFAULT_STRIDE))
        CHECK_CONDITION(static_cast<std::int32_t>(Stride->GetUInt32()) == static_cast<std::int32_t>(Width * VideoFrameComposer::BytesPerPixel), MF_E_INVALIDMEDIATYPE);
    std::uint32_t const PipelineSamples = m_SourceAttributes->GetUINT32(PipelineSampleCount, DefaultPipelineSampleCount);
    CHECK_LINE(PipelineSamples >= 1);
    // Activation runs under the source's lock, so the settings hold still.
    m_Parameters = *m_Settings;
    m_Parameters.Width = Width;
    m_Parameters.Height = Height;
    m_Parameters.RateN = RateN;
    m_Parameters.RateD = RateD;
    m_Parameters.Range = !Wide ? DynamicRange::Sdr : Transfer == MF::MFVideoTransFunc_2084 ? DynamicRange::Pq : DynamicRange::Hlg;
    m_Grid.emplace(RateN, RateD);
    // The composers are made when first needed: a run that draws one frame
    // at a time never pays for more than one.
    m_ResourceSetPool.Initialize(PipelineSamples);
}

void VideoMediaSource::Stream::OnStart(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration)
{
    m_Duration = Duration;
    if(Position)
        m_NextSampleIndex = m_Grid->StartIndex(*Position);
}

void VideoMediaSource::Stream::PrepareOperation(ComposeSampleOperation& Operation)
{
    Operation.m_SampleIndex = m_NextSampleIndex++;
    Operation.m_SampleTime = m_Grid->FrameTime(Operation.m_SampleIndex);
    Operation.m_SampleDuration = m_Grid->FrameDuration(Operation.m_SampleIndex);
}

void VideoMediaSource::Stream::Compose(ComposeSampleOperation& Operation)
{
    if(m_Duration && Operation.m_SampleTime >= *m_Duration)
    {
        Operation.m_EndOfStream = true;
        return;
    }
    // Frames are drawn one at a time on the stream's queue, each set goes
    // back before the next frame, so one is always free.
    auto const Resources = m_ResourceSetPool.Acquire();
    ASSERT(Resources);
    if(!Resources->Composer)
        Resources->Composer = std::make_unique<VideoFrameComposer>(m_Parameters);
    std::uint32_t const Stride = m_Parameters.Width * VideoFrameComposer::BytesPerPixel;
    auto const Buffer = MF::MediaBuffer::Create(static_cast<std::size_t>(Stride) * m_Parameters.Height);
    Resources->Composer->Compose(Operation.m_SampleIndex, Operation.m_SampleTime, Buffer->GetData(), Stride);
    Buffer->SetCurrentLength(Buffer->GetMaxLength());
    Operation.m_Sample = MF::Sample::Create();
    SetSampleAttributes(*Operation.m_Sample, Operation);
    Operation.m_Sample->AddBuffer(Buffer);
}
} // namespace Application
