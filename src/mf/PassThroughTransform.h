// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "mf/ITransform.h"
#include "mf/ShutdownT.h"

namespace MF
{
// A transform for tests of pipelines: hands its input samples on unchanged,
// after holding back Delay of them as an encoder with lookahead does, and
// gives the held ones back on drain. It can fail at a chosen input and
// counts the messages it received.
class PassThroughTransform final : public ITransform, public ShutdownT<PassThroughTransform>
{
public:
    struct Settings
    {
        std::size_t Delay = 0;
        std::optional<std::size_t> FailingInputIndex;
        // How long the end of streaming takes: a close that hangs.
        std::chrono::milliseconds EndStreamingTime{0};
    };

    PassThroughTransform();
    explicit PassThroughTransform(Settings Value);

    void SetOutputType(std::shared_ptr<MediaType> const& Type) override;
    void SetInputType(std::shared_ptr<MediaType> const& Type) override;
    std::shared_ptr<MediaType> GetInputCurrentType() override;
    std::shared_ptr<MediaType> GetOutputCurrentType() override;
    void ProcessMessage(MFT_MESSAGE_TYPE Message, std::uint64_t Parameter) override;
    void ProcessInput(std::shared_ptr<Sample> const& Input) override;
    std::shared_ptr<Sample> ProcessOutput() override;
    void Shutdown() override;

    std::size_t GetInputCount() const;
    std::size_t GetMessageCount(MFT_MESSAGE_TYPE Message) const;

private:
    Settings const m_Settings;
    mutable std::mutex m_Mutex;
    std::shared_ptr<MediaType> m_InputType;
    std::shared_ptr<MediaType> m_OutputType;
    std::deque<std::shared_ptr<Sample>> m_Held;
    bool m_Draining = false;
    std::size_t m_InputCount = 0;
    std::size_t m_FlushCount = 0;
    std::size_t m_DrainCount = 0;
    std::size_t m_BeginStreamingCount = 0;
    std::size_t m_EndStreamingCount = 0;
    std::size_t m_EndOfStreamCount = 0;
    std::size_t m_StartOfStreamCount = 0;
};
} // namespace MF
