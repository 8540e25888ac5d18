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

Mp4::ProtectionSettings MakeProtectionSettings(Configuration const& Asset)
{
    Mp4::ProtectionSettings Settings;
    if(Asset.Key.empty())
        return Settings;
    Settings.m_Scheme = Asset.EncryptionScheme == EncryptionScheme::Cbcs ? Mp4::ProtectionScheme::Cbcs : Mp4::ProtectionScheme::Cenc;
    Settings.m_KeyIdentifier.assign(FixedKeyId.begin(), FixedKeyId.end());
    Settings.m_Key = Asset.Key;
    Settings.m_InitializationVector = Asset.InitializationVector;
    Settings.m_DataProvider = MakeProtectionDataProvider(Asset.EncryptionScheme, Asset.Key);
    return Settings;
}
} // namespace Application
