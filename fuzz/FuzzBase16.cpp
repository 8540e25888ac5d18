// SPDX-License-Identifier: GPL-2.0-or-later
// Hexadecimal byte strings of the query ("key", "initializationvector"):
// pairs of digits or a failure with one of the three named statuses.
#include "FuzzCheck.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "base/FailureCodes.h"
#include "base/HResultError.h"
#include "presentation/Configuration.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* Data, std::size_t Size)
{
    auto const Text = Fuzz::Text(Data, Size);
    for(std::optional<std::size_t> Length : {std::optional<std::size_t>(), std::optional<std::size_t>(16)})
    {
        try
        {
            auto const Bytes = Application::Configuration::ParseBase16(Text, Length);
            Fuzz::Expect(Bytes.size() * 2 == Text.size(), "two digits make one byte");
            Fuzz::Expect(!Length || Bytes.size() == *Length, "the length asked for");
            static constexpr char Digits[] = "0123456789ABCDEF";
            std::string Encoded;
            for(auto const Byte : Bytes)
                (Encoded += Digits[Byte >> 4]) += Digits[Byte & 15];
            std::string Upper(Text);
            std::transform(Upper.begin(), Upper.end(), Upper.begin(), [](unsigned char Character) { return std::toupper(Character); });
            Fuzz::Expect(Encoded == Upper, "the bytes read back as the digits");
        }
        catch(HResultError const& Error)
        {
            Fuzz::Expect(Error.Code() == FailureCode::Base16OddLength || Error.Code() == FailureCode::Base16WrongLength ||
                             Error.Code() == FailureCode::Base16NotHexadecimal,
                         "failures are the named ones");
        }
    }
    return 0;
}
