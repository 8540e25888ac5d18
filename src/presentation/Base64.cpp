#include "presentation/Base64.h"

#include <openssl/evp.h>

#include "base/Check.h"

namespace Application
{
std::string EncodeBase64(std::span<std::uint8_t const> Bytes)
{
    // EVP_EncodeBlock takes an int length and writes a terminating zero.
    CHECK_ARGUMENT(Bytes.size() <= 0x3FFF'FFFFu);
    std::string Text(4 * ((Bytes.size() + 2) / 3) + 1, '\0');
    int const Length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(Text.data()), Bytes.data(), static_cast<int>(Bytes.size()));
    CHECK_LINE(Length >= 0);
    Text.resize(static_cast<std::size_t>(Length));
    return Text;
}
} // namespace Application
