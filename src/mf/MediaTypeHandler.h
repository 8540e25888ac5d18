// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <shared_mutex>

#include "mf/IMediaTypeHandler.h"

namespace MF
{
// A media type handler for exactly one type: what a stream of a source or
// a stream sink offers and accepts. A type is supported when it equals the
// handler's type in every attribute, or, with a custom checker, when the
// checker accepts it.
class MediaTypeHandler final : public IMediaTypeHandler
{
public:
    using Checker = std::function<bool(MediaType const& Type)>;

    // E_INVALIDARG without a type; the major type is read from it.
    explicit MediaTypeHandler(std::shared_ptr<MediaType> Type, Checker CustomChecker = {});

    bool IsMediaTypeSupported(std::shared_ptr<MediaType const> const& Type, std::shared_ptr<MediaType>* ClosestMatch) override;
    std::size_t GetMediaTypeCount() override { return 1; }
    std::shared_ptr<MediaType> GetMediaTypeByIndex(std::size_t Index) override;
    void SetCurrentMediaType(std::shared_ptr<MediaType> const& Type) override;
    std::shared_ptr<MediaType> GetCurrentMediaType() override;
    Guid GetMajorType() override;

private:
    bool InternalCheckMediaType(MediaType const& Type, std::shared_ptr<MediaType>* ClosestMatch);

    std::shared_mutex m_Mutex;
    std::shared_ptr<MediaType> m_MediaType;
    Guid m_MajorType;
    Checker m_Checker;
};
} // namespace MF
