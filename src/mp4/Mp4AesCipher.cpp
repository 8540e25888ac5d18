// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4AesCipher.h"

#include <climits>

#include <openssl/evp.h>

#include "base/Check.h"

namespace Mp4
{
namespace
{
constexpr std::size_t BlockSize = 16;

// EVP calls answer 1 on success.
void CheckEvp(int Result, TraceContext const& Context, char const* Expression)
{
    CheckCondition(Result == 1, Context, E_FAIL, Expression);
}
#define CHECK_EVP(Expression) CheckEvp((Expression), TRACE_CONTEXT(), #Expression)
} // namespace

void AesCipher::ContextDeleter::operator()(evp_cipher_ctx_st* Context) const noexcept { EVP_CIPHER_CTX_free(Context); }

AesCipher AesCipher::CounterMode(std::span<std::uint8_t const, 16> Key, std::span<std::uint8_t const, 16> CounterBlock)
{
    std::unique_ptr<evp_cipher_ctx_st, ContextDeleter> Context(EVP_CIPHER_CTX_new());
    CHECK_POINTER(Context.get());
    CHECK_EVP(EVP_EncryptInit_ex(Context.get(), EVP_aes_128_ctr(), nullptr, Key.data(), CounterBlock.data()));
    return AesCipher(std::move(Context));
}

AesCipher AesCipher::CipherBlockChaining(std::span<std::uint8_t const, 16> Key, std::span<std::uint8_t const, 16> InitializationVector)
{
    std::unique_ptr<evp_cipher_ctx_st, ContextDeleter> Context(EVP_CIPHER_CTX_new());
    CHECK_POINTER(Context.get());
    CHECK_EVP(EVP_EncryptInit_ex(Context.get(), EVP_aes_128_cbc(), nullptr, Key.data(), InitializationVector.data()));
    CHECK_EVP(EVP_CIPHER_CTX_set_padding(Context.get(), 0));
    return AesCipher(std::move(Context));
}

void AesCipher::Encrypt(std::span<std::uint8_t> Data)
{
    // EVP takes int lengths; samples are far smaller, but a range is split rather than trusted.
    constexpr std::size_t MaximalChunk = static_cast<std::size_t>(INT_MAX) / BlockSize * BlockSize;
    while(!Data.empty())
    {
        std::size_t const Length = std::min(Data.size(), MaximalChunk);
        int OutputLength = 0;
        CHECK_EVP(EVP_EncryptUpdate(m_Context.get(), Data.data(), &OutputLength, Data.data(), static_cast<int>(Length)));
        CHECK_LINE(static_cast<std::size_t>(OutputLength) == Length);
        Data = Data.subspan(Length);
    }
}

void AesCipher::EncryptPattern(std::span<std::uint8_t const, 16> Key, std::span<std::uint8_t const, 16> InitializationVector, std::span<std::uint8_t> Data,
                               unsigned CryptBlocks, unsigned SkipBlocks)
{
    std::size_t const WholeBlocks = Data.size() / BlockSize;
    if(WholeBlocks == 0)
        return;
    AesCipher Cipher = CipherBlockChaining(Key, InitializationVector);
    if(CryptBlocks == 0 && SkipBlocks == 0)
    {
        Cipher.Encrypt(Data.first(WholeBlocks * BlockSize));
        return;
    }
    ASSERT(CryptBlocks > 0);
    std::size_t const Period = CryptBlocks + SkipBlocks;
    for(std::size_t Block = 0; Block < WholeBlocks; Block += Period)
    {
        std::size_t const Count = std::min<std::size_t>(CryptBlocks, WholeBlocks - Block);
        Cipher.Encrypt(Data.subspan(Block * BlockSize, Count * BlockSize));
    }
}
} // namespace Mp4
