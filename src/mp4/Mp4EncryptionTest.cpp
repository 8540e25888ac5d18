// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include "base/HResultError.h"
#include "mp4/Mp4AesCipher.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4FragmentBuilder.h"
#include "mp4/Mp4SampleEncryptor.h"
#include "mp4/Mp4SubsampleLayout.h"
#include "mp4/Mp4TestBytes.h"

using namespace Mp4;
using Mp4::Test::Hex;
using Mp4::Test::MoofOf;

namespace
{
// NIST SP 800-38A, appendix F: AES-128 key and the four plaintext blocks.
auto const NistKey = Hex("2b7e151628aed2a6abf7158809cf4f3c");
auto const NistPlaintext = Hex("6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51 30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710");

std::span<std::uint8_t const, 16> Block(std::vector<std::uint8_t> const& Bytes) { return std::span<std::uint8_t const, 16>(Bytes.data(), 16); }

// One AES block straight from OpenSSL in ECB: the reference the tests derive
// keystreams and CBC chains from.
std::vector<std::uint8_t> EncryptBlock(std::vector<std::uint8_t> const& Key, std::vector<std::uint8_t> const& Input)
{
    std::vector<std::uint8_t> Output(16);
    EVP_CIPHER_CTX* Context = EVP_CIPHER_CTX_new();
    int Length = 0;
    EVP_EncryptInit_ex(Context, EVP_aes_128_ecb(), nullptr, Key.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(Context, 0);
    EVP_EncryptUpdate(Context, Output.data(), &Length, Input.data(), 16);
    EVP_CIPHER_CTX_free(Context);
    return Output;
}

std::vector<std::uint8_t> Xor(std::vector<std::uint8_t> A, std::vector<std::uint8_t> const& B)
{
    for(std::size_t Index = 0; Index < A.size(); ++Index)
        A[Index] ^= B[Index];
    return A;
}

std::vector<std::uint8_t> Slice(std::vector<std::uint8_t> const& Bytes, std::size_t Offset, std::size_t Length)
{
    return {Bytes.begin() + static_cast<std::ptrdiff_t>(Offset), Bytes.begin() + static_cast<std::ptrdiff_t>(Offset + Length)};
}

// A NAL unit of the given type and size behind its 4-byte length.
std::vector<std::uint8_t> LengthPrefixedNalUnit(std::uint8_t Header, std::size_t Size, std::uint8_t Fill)
{
    std::vector<std::uint8_t> Bytes(4 + Size, Fill);
    for(std::size_t Index = 0; Index < 4; ++Index)
        Bytes[Index] = static_cast<std::uint8_t>(Size >> (24 - 8 * Index));
    Bytes[4] = Header;
    return Bytes;
}

std::vector<std::uint8_t> Concatenate(std::initializer_list<std::vector<std::uint8_t>> Parts)
{
    std::vector<std::uint8_t> Bytes;
    for(auto const& Part : Parts)
        Bytes.insert(Bytes.end(), Part.begin(), Part.end());
    return Bytes;
}

ProtectionSettings Settings(ProtectionScheme Scheme)
{
    return {Scheme, Hex("a3f1c6d2847b4e09b5e2d7c8196f3a40"), NistKey, Hex("d5fbd6b82ed93e4ef98ae40931ee33b7"), {}};
}

// The counter-mode keystream from a counter block, block by block.
std::vector<std::uint8_t> Keystream(std::vector<std::uint8_t> Counter, std::size_t Size)
{
    std::vector<std::uint8_t> Stream;
    while(Stream.size() < Size)
    {
        auto const Block = EncryptBlock(NistKey, Counter);
        Stream.insert(Stream.end(), Block.begin(), Block.end());
        for(std::size_t Index = 16; Index-- > 0 && ++Counter[Index] == 0;)
            ;
    }
    Stream.resize(Size);
    return Stream;
}

// Where a box type's four characters start.
std::size_t FindType(std::vector<std::uint8_t> const& Bytes, char const* Type)
{
    auto const Iterator = std::search(Bytes.begin(), Bytes.end(), Type, Type + 4);
    EXPECT_NE(Iterator, Bytes.end()) << Type;
    return static_cast<std::size_t>(Iterator - Bytes.begin());
}

std::vector<std::uint8_t> CounterBlockOf(std::vector<std::uint8_t> Iv)
{
    Iv.resize(16, 0);
    return Iv;
}

std::vector<SencBox::Subsample> SubsamplesOf(std::vector<std::pair<std::uint16_t, std::uint32_t>> const& Pairs)
{
    std::vector<SencBox::Subsample> Result;
    for(auto const& [Clear, Protected] : Pairs)
        Result.push_back({Clear, Protected});
    return Result;
}
} // namespace

TEST(AesCipher, NistCounterModeVectorsAcrossCalls)
{
    auto Data = NistPlaintext;
    auto Cipher = AesCipher::CounterMode(Block(NistKey), Block(Hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff")));
    // The keystream continues from one call to the next, partial blocks included.
    Cipher.Encrypt(std::span(Data).first(24));
    Cipher.Encrypt(std::span(Data).subspan(24));
    EXPECT_EQ(Data, Hex("874d6191b620e3261bef6864990db6ce 9806f66b7970fdff8617187bb9fffdff 5ae4df3edbd5d35e5b4f09020db03eab 1e031dda2fbe03d1792170a0f3009cee"));

    // The counter carries over all 128 bits, past the low 64.
    auto const Counter = Hex("0011223344556677 ffffffffffffffff");
    std::vector<std::uint8_t> Zeros(32, 0);
    AesCipher::CounterMode(Block(NistKey), Block(Counter)).Encrypt(Zeros);
    EXPECT_EQ(Slice(Zeros, 16, 16), EncryptBlock(NistKey, Hex("0011223344556678 0000000000000000")));
}

TEST(AesCipher, NistCipherBlockChainingAndPattern)
{
    auto const Iv = Hex("000102030405060708090a0b0c0d0e0f");
    auto Data = NistPlaintext;
    AesCipher::EncryptPattern(Block(NistKey), Block(Iv), Data, 0, 0);
    EXPECT_EQ(Data, Hex("7649abac8119b246cee98e9b12e9197d 5086cb9b507219ee95db113a917678b2 73bed6b8e3c1743b7116e69e22229516 3ff1caa1681fac09120eca307586e1a7"));

    // A 996-byte protected range under a 1:9 pattern: blocks 0, 10, ... 60 (7 of
    // 62) are encrypted as one chain; the rest and the last 4 bytes stay clear.
    std::vector<std::uint8_t> Clear(996);
    for(std::size_t Index = 0; Index < Clear.size(); ++Index)
        Clear[Index] = static_cast<std::uint8_t>(Index * 7);
    auto Range = Clear;
    AesCipher::EncryptPattern(Block(NistKey), Block(Iv), Range, 1, 9);
    auto Chain = Iv;
    for(std::size_t Block = 0; Block < 62; ++Block)
    {
        auto const Original = Slice(Clear, Block * 16, 16);
        if(Block % 10 != 0)
        {
            EXPECT_EQ(Slice(Range, Block * 16, 16), Original) << Block;
            continue;
        }
        Chain = EncryptBlock(NistKey, Xor(Original, Chain));
        EXPECT_EQ(Slice(Range, Block * 16, 16), Chain) << Block;
    }
    EXPECT_EQ(Slice(Range, 992, 4), Slice(Clear, 992, 4));
}

// Caption data travels in SEI NAL units that readers take from the sample
// without the key: under every scheme they stay wholly clear, also where
// parameter sets and SEI before the slice reach past HEVC's clear head.
TEST(SubsampleLayout, NalUnitsBeforeTheSliceStayClear)
{
    struct Case
    {
        VideoCodec Codec;
        ProtectionScheme Scheme;
        std::vector<std::uint8_t> Sample;
        std::size_t ClearEnd; // where the last NAL unit before the slice ends
    };
    auto const H264 = Concatenate({LengthPrefixedNalUnit(0x67, 30, 0x11), LengthPrefixedNalUnit(0x06, 120, 0x22), LengthPrefixedNalUnit(0x65, 500, 0x33)});
    auto const Hevc = Concatenate({LengthPrefixedNalUnit(0x40, 60, 0x11), LengthPrefixedNalUnit(0x4E, 100, 0x22), LengthPrefixedNalUnit(0x02, 500, 0x33)});
    Case const Cases[]{{VideoCodec::H264, ProtectionScheme::Cenc, H264, 158},
                       {VideoCodec::H264, ProtectionScheme::Cbcs, H264, 158},
                       {VideoCodec::Hevc, ProtectionScheme::Cenc, Hevc, 168},
                       {VideoCodec::Hevc, ProtectionScheme::Cbcs, Hevc, 168}};
    for(auto const& Each : Cases)
    {
        auto const Ranges = SubsampleLayout::FindProtectedRanges(Each.Codec, Each.Scheme, Each.Sample);
        ASSERT_EQ(Ranges.size(), 1u);
        EXPECT_GE(Ranges[0].m_Offset, Each.ClearEnd) << static_cast<int>(Each.Codec) << static_cast<int>(Each.Scheme);
        EXPECT_LE(Ranges[0].m_Offset + Ranges[0].m_Length, Each.Sample.size());
    }
}

TEST(SubsampleLayout, RangesOfSlicesPerScheme)
{
    auto const Idr = LengthPrefixedNalUnit(0x65, 1000, 0xAB);
    // cenc: leader 4, (1000 - 4) mod 16 = 4 more clear bytes, 992 protected.
    auto const Cenc = SubsampleLayout::FindProtectedRanges(VideoCodec::H264, ProtectionScheme::Cenc, Idr);
    ASSERT_EQ(Cenc.size(), 1u);
    EXPECT_EQ(Cenc[0].m_Offset, 12u);
    EXPECT_EQ(Cenc[0].m_Length, 992u);
    // cbcs: leader 4, the other 996 bytes protected (the pattern leaves the tail clear).
    auto const Cbcs = SubsampleLayout::FindProtectedRanges(VideoCodec::H264, ProtectionScheme::Cbcs, Idr);
    ASSERT_EQ(Cbcs.size(), 1u);
    EXPECT_EQ(Cbcs[0].m_Offset, 8u);
    EXPECT_EQ(Cbcs[0].m_Length, 996u);
    // A 40-byte non-IDR slice is long enough for cbcs (31) but not for cenc (47).
    auto const Small = LengthPrefixedNalUnit(0x41, 40, 0x11);
    EXPECT_EQ(SubsampleLayout::FindProtectedRanges(VideoCodec::H264, ProtectionScheme::Cbcs, Small).size(), 1u);
    EXPECT_TRUE(SubsampleLayout::FindProtectedRanges(VideoCodec::H264, ProtectionScheme::Cenc, Small).empty());
    // HEVC under cenc protects the tail of the whole sample in whole blocks.
    auto const Hevc = SubsampleLayout::FindProtectedRanges(VideoCodec::Hevc, ProtectionScheme::Cenc, std::vector<std::uint8_t>(200));
    ASSERT_EQ(Hevc.size(), 1u);
    EXPECT_EQ(Hevc[0].m_Offset, 136u);
    EXPECT_EQ(Hevc[0].m_Length, 64u);
    EXPECT_TRUE(SubsampleLayout::FindProtectedRanges(VideoCodec::Hevc, ProtectionScheme::Cenc, std::vector<std::uint8_t>(143)).empty());
    // A length running past the sample is refused.
    auto Truncated = Idr;
    Truncated.pop_back();
    EXPECT_THROW(SubsampleLayout::FindProtectedRanges(VideoCodec::H264, ProtectionScheme::Cbcs, Truncated), HResultError);
}

TEST(SubsampleLayout, SubsamplesCoverTheWholeSample)
{
    // SPS, PPS, two slices and an SEI: each slice's clear bytes count from the
    // end of the previous protected range, and the tail is a clear subsample.
    auto const Sample = Concatenate({LengthPrefixedNalUnit(0x67, 10, 1), LengthPrefixedNalUnit(0x68, 5, 2), LengthPrefixedNalUnit(0x65, 1000, 3),
                                     LengthPrefixedNalUnit(0x65, 500, 4), LengthPrefixedNalUnit(0x06, 20, 5)});
    auto const Ranges = SubsampleLayout::FindProtectedRanges(VideoCodec::H264, ProtectionScheme::Cenc, Sample);
    ASSERT_EQ(Ranges.size(), 2u);
    auto const Subsamples = SubsampleLayout::MakeSubsamples(Ranges, Sample.size());
    EXPECT_EQ(Subsamples, SubsamplesOf({{14 + 9 + 12, 992}, {4 + 4, 496}, {24, 0}}));
    // A clear run longer than 65,535 bytes takes several subsamples.
    EXPECT_EQ(SubsampleLayout::MakeSubsamples({{70000, 32}}, 70040), SubsamplesOf({{65535, 0}, {4465, 32}, {8, 0}}));
    EXPECT_EQ(SubsampleLayout::MakeSubsamples({}, 100), SubsamplesOf({{100, 0}}));
}

// cbcs and audio samples are judged by what ffmpeg deciphers and their
// signalling (sample entries, tenc, pssh) by the readers of
// test_conformance.py; the cenc counter across the ranges of one sample,
// which a picture of one slice never shows, here.
TEST(SampleEncryptor, CencVideoEncryptsEveryRangeWithTheSignalledIv)
{
    auto const Clear = Concatenate({LengthPrefixedNalUnit(0x09, 2, 0xF0), LengthPrefixedNalUnit(0x65, 1000, 3), LengthPrefixedNalUnit(0x65, 500, 4)});
    auto Sample = Clear;
    SampleEncryptor const Encryptor(Settings(ProtectionScheme::Cenc));
    auto const Fragment = FragmentBuilder::BuildVideo({1, 1, 0, 1, 0, FragmentBuilder::SyncSampleFlags}, Sample, VideoCodec::H264, &Encryptor);

    // senc is the moof's tail: IV, then two subsamples (that saiz and saio
    // describe it is judged by the readers of test_conformance.py).
    auto const Moof = MoofOf(Fragment);
    std::size_t const InfoSize = 8 + 2 + 2 * 6;
    auto const Info = Slice(Moof, Moof.size() - InfoSize, InfoSize);
    auto const Iv = Slice(Info, 0, 8);
    EXPECT_EQ(Slice(Info, 8, 14), Hex("0002 0012 000003e0 0008 000001f0"));

    // Both slices are encrypted with one keystream from IV || 0; the first
    // sample of a segment is no exception.
    auto const Stream = Keystream(CounterBlockOf(Iv), 992 + 496);
    EXPECT_EQ(Slice(Sample, 18, 992), Xor(Slice(Clear, 18, 992), Slice(Stream, 0, 992)));
    EXPECT_EQ(Slice(Sample, 1010, 8), Slice(Clear, 1010, 8));
    EXPECT_EQ(Slice(Sample, 1018, 496), Xor(Slice(Clear, 1018, 496), Slice(Stream, 992, 496)));
    EXPECT_EQ(Slice(Sample, 0, 18), Slice(Clear, 0, 18));
}

TEST(SampleEncryptor, PictureWithoutSlicesStillHasItsEntry)
{
    for(auto const Scheme : {ProtectionScheme::Cenc, ProtectionScheme::Cbcs})
    {
        auto Sample = LengthPrefixedNalUnit(0x41, 20, 9);
        auto const Clear = Sample;
        SampleEncryptor const Encryptor(Settings(Scheme));
        auto const Fragment = FragmentBuilder::BuildVideo({1, 1, 0, 1, 0, 0}, Sample, VideoCodec::H264, &Encryptor);
        EXPECT_EQ(Sample, Clear);
        std::size_t const IvSize = Scheme == ProtectionScheme::Cenc ? 8 : 0;
        auto const Moof = MoofOf(Fragment);
        EXPECT_EQ(Slice(Moof, Moof.size() - 8, 8), Hex("0001 0018 00000000")) << "one clear subsample of the whole sample";
        auto const Saiz = FindType(Moof, "saiz");
        EXPECT_EQ(Moof[Saiz + 8], IvSize + 8);
    }
}

TEST(SampleEncryptor, SampleIvsDoNotRepeatAcrossSegments)
{
    SampleEncryptor const Encryptor(Settings(ProtectionScheme::Cenc));
    // Two segments start with different frames: their first IVs differ, while
    // the same frame produced again gets the same IV and the same bytes.
    auto const A = Encryptor.DeriveSampleIv(Hex("00000004 65aa bbcc"));
    auto const B = Encryptor.DeriveSampleIv(Hex("00000004 65aa bbcd"));
    EXPECT_NE(A, B);
    EXPECT_EQ(A, Encryptor.DeriveSampleIv(Hex("00000004 65aa bbcc")));
    auto Other = Settings(ProtectionScheme::Cenc);
    Other.m_InitializationVector[0] ^= 1;
    EXPECT_NE(A, SampleEncryptor(Other).DeriveSampleIv(Hex("00000004 65aa bbcc")));
}
