// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <span>

struct evp_cipher_ctx_st;

namespace Mp4
{
// AES-128 encryption in place, the two ways common encryption uses it.
class AesCipher
{
public:
    // Counter mode: the counter block is incremented as a 128-bit big-endian
    // integer after every 16 bytes, and the keystream carries on from one
    // Encrypt call to the next, so a sample's protected ranges form one stream.
    static AesCipher CounterMode(std::span<std::uint8_t const, 16> Key, std::span<std::uint8_t const, 16> CounterBlock);
    // CBC without padding: Encrypt takes whole blocks, and the chain carries on
    // from one call to the next.
    static AesCipher CipherBlockChaining(std::span<std::uint8_t const, 16> Key, std::span<std::uint8_t const, 16> InitializationVector);

    void Encrypt(std::span<std::uint8_t> Data);

    // Pattern encryption of one protected range: of every CryptBlocks +
    // SkipBlocks whole blocks the first CryptBlocks are encrypted, chained in
    // CBC from the IV; a 0:0 pattern encrypts every whole block. A trailing
    // partial block stays clear.
    static void EncryptPattern(std::span<std::uint8_t const, 16> Key, std::span<std::uint8_t const, 16> InitializationVector, std::span<std::uint8_t> Data,
                               unsigned CryptBlocks, unsigned SkipBlocks);

private:
    struct ContextDeleter
    {
        void operator()(evp_cipher_ctx_st* Context) const noexcept;
    };

    explicit AesCipher(std::unique_ptr<evp_cipher_ctx_st, ContextDeleter> Context) noexcept : m_Context(std::move(Context)) { }

    std::unique_ptr<evp_cipher_ctx_st, ContextDeleter> m_Context;
};
} // namespace Mp4
