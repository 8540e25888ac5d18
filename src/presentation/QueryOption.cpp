// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/QueryOption.h"

#include "base/Check.h"
#include "presentation/DecimalText.h"

namespace Application
{
namespace
{
std::string Range(QueryOption const& Option)
{
    if(Option.Minimum && Option.Maximum)
        return " from " + QueryOption::FormatNumber(*Option.Minimum) + " to " + QueryOption::FormatNumber(*Option.Maximum);
    if(Option.Minimum)
        return " from " + QueryOption::FormatNumber(*Option.Minimum);
    if(Option.Maximum)
        return " up to " + QueryOption::FormatNumber(*Option.Maximum);
    return {};
}
} // namespace

std::string_view OptionKindName(OptionKind Kind) noexcept
{
    switch(Kind)
    {
    case OptionKind::Flag:
        return "flag";
    case OptionKind::Integer:
        return "integer";
    case OptionKind::Time:
        return "time";
    case OptionKind::Hex:
        return "hex";
    case OptionKind::Choice:
        return "choice";
    case OptionKind::Text:
        break;
    }
    return "text";
}

std::string QueryOption::FormatNumber(double Value)
{
    std::string Text = FormatDecimal(Value, 7);
    Text.erase(Text.find_last_not_of('0') + 1);
    if(Text.ends_with('.'))
        Text.pop_back();
    return Text;
}

std::string QueryOption::Expected() const
{
    switch(Kind)
    {
    case OptionKind::Integer:
        return (Digits == OptionDigits::Strict ? "decimal digits" : "a whole number") + Range(*this);
    case OptionKind::Time:
        return "a time in seconds" + Range(*this);
    case OptionKind::Hex:
        return std::to_string(Bytes * 2) + " hexadecimal digits";
    case OptionKind::Choice:
    {
        std::string Text = "one of ";
        for(std::size_t Index = 0; Index < Choices.size(); ++Index)
            (Text += Index == 0 ? "" : ", ") += Choices[Index];
        return Text;
    }
    case OptionKind::Flag:
    case OptionKind::Text:
        break;
    }
    return std::string(Help);
}

void QueryOption::Refuse(std::string_view Value) const
{
    Refuse(Value, Failure);
}

void QueryOption::Refuse(std::string_view Value, HRESULT Code) const
{
    ThrowCheckFailure(Code, TRACE_CONTEXT(), "QueryOption::Refuse",
                      "Invalid \"" + std::string(Name) + "\" \"" + std::string(Value.substr(0, QuotedCharacters)) + "\": " + Expected());
}
} // namespace Application
