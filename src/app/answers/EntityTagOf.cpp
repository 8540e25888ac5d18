// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/EntityTagOf.h"

#include <openssl/evp.h>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace Application
{
std::string EntityTagOf(std::string_view Bytes)
{
    unsigned char Digest[EVP_MAX_MD_SIZE];
    unsigned int Size = 0;
    CHECK_LINE(EVP_Digest(Bytes.data(), Bytes.size(), Digest, &Size, EVP_sha256(), nullptr) == 1 && Size >= 16);
    std::string Tag = "\"";
    for(unsigned Index = 0; Index < 16; ++Index)
        Tag += StringFormat("%02x", Digest[Index]);
    return Tag + "\"";
}
} // namespace Application
