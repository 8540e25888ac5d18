// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ProtectionDataProvider.h"

#include "presentation/PlayReadyHeader.h"

namespace Application
{
ProtectionDataProvider MakeProtectionDataProvider(EncryptionScheme Scheme, std::vector<std::uint8_t> Key)
{
    return [Scheme, Key = std::move(Key)](ProtectionSystemId const& SystemId) -> std::vector<std::uint8_t>
    {
        if(SystemId != PlayReadyHeader::SystemId)
            return {};
        return PlayReadyHeader::BuildObject(Scheme, FixedKeyId, Key);
    };
}
} // namespace Application
