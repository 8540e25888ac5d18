// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ProtectionDataProvider.h"

#include "presentation/PlayReadyHeader.h"

namespace Application
{
ProtectionDataProvider MakeProtectionDataProvider(EncryptionScheme Scheme, KeyBytes const& KeyId, std::vector<std::uint8_t> Key)
{
    return [Scheme, KeyId, Key = std::move(Key)](ProtectionSystemId const& SystemId) -> std::vector<std::uint8_t>
    {
        if(SystemId != PlayReadyHeader::SystemId)
            return {};
        return PlayReadyHeader::BuildObject(Scheme, KeyId, Key);
    };
}

Mp4::ProtectionSettings MakeProtectionSettings(Configuration const& Asset, KeyTrack Track, ChangeState const& State)
{
    Mp4::ProtectionSettings Settings;
    if(Asset.Key.empty() || (State.Clear && !Asset.InbandKeys))
        return Settings;
    // Inband, a clear sample is one of an encrypted track said to be clear.
    auto const Key = ContentKeys::Of(Asset, Track, State.Clear ? 0 : State.KeyEpoch);
    Settings.m_Scheme = Asset.EncryptionScheme == EncryptionScheme::Cbcs ? Mp4::ProtectionScheme::Cbcs : Mp4::ProtectionScheme::Cenc;
    Settings.m_KeyIdentifier.assign(Key.Id.begin(), Key.Id.end());
    Settings.m_Key = Key.Key;
    Settings.m_InitializationVector = Asset.InitializationVector;
    Settings.m_DataProvider = MakeProtectionDataProvider(Asset.EncryptionScheme, Key.Id, Key.Key);
    if(Asset.InbandKeys)
    {
        // The initialisation segment names the first key; a fragment names its own.
        auto const First = ContentKeys::IdOf(Asset, Track, 0);
        Settings.m_DefaultKeyIdentifier.assign(First.begin(), First.end());
        Settings.m_ClearSamples = State.Clear;
        Settings.m_FragmentPssh = Asset.Changes.Has(ChangeKind::Key) && !State.Clear;
    }
    return Settings;
}
} // namespace Application
