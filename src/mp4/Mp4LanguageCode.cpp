// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4LanguageCode.h"

#include <algorithm>
#include <cctype>

#include "base/Check.h"

namespace Mp4
{
namespace
{
// ISO 639-1 codes with their ISO 639-2/T codes, five letters an entry,
// sorted: BCP 47 takes the two-letter code wherever there is one.
constexpr std::string_view TwoLetterCodes =
    "aaaarababkaeaveafafrakakaamamhanargararaasasmavavaayaymazazebabakbebelbgbulbhbihbibisbmbambnbenbobodbrbrebsboscacatceche"
    "chchacocoscrcrecscescuchucvchvcycymdadandedeudvdivdzdzoeeeweelellenengeoepoesspaetesteueusfafasfffulfifinfjfijfofaofrfra"
    "fyfrygaglegdglaglglggngrngugujgvglvhahauhehebhihinhohmohrhrvhthathuhunhyhyehzheriainaidindieileigiboiiiiiikipkioidoisisl"
    "ititaiuikujajpnjvjavkakatkgkonkikikkjkuakkkazklkalkmkhmknkankokorkrkaukskaskukurkvkomkwcorkykirlalatlbltzlgluglilimlnlin"
    "lolaoltlitlulublvlavmgmlgmhmahmimrimkmkdmlmalmnmonmrmarmsmsamtmltmymyananaunbnobndndenenepngndonlnldnnnnononornrnblnvnav"
    "nynyaocociojojiomormororiososspapanpipliplpolpspusptporququermrohrnrunroronrurusrwkinsasanscsrdsdsndsesmesgsagsisinskslk"
    "slslvsmsmosnsnasosomsqsqisrsrpsssswstsotsusunsvsweswswatatamteteltgtgkththatitirtktuktltgltntsntotontrturtstsotttattwtwi"
    "tytahuguigukukrururduzuzbvevenvivievovolwawlnwowolxhxhoyiyidyoyorzazhazhzhozuzul";
// Every ISO 639-2/T code, three letters an entry, sorted (the reserved
// range qaa-qtz is for local use and is not listed).
constexpr std::string_view ThreeLetterCodes =
    "aarabkaceachadaadyafaafhafrainakaakkalealgaltamhanganpapaaraarcargarnarpartarwasmastathausavaaveawaaymazebadbaibakbalbam"
    "banbasbatbejbelbembenberbhobihbikbinbisblabntbodbosbrabrebtkbuabugbulbyncadcaicarcatcaucebcelceschachbchechgchkchmchncho"
    "chpchrchuchvchycmccnrcopcorcoscpecpfcppcrecrhcrpcsbcuscymdakdandardaydeldendeudgrdindivdoidradsbduadumdyudzoefiegyekaell"
    "elxengenmepoesteuseweewofanfaofasfatfijfilfinfiufonfrafrmfrofrrfrsfryfulfurgaagaygbagemgezgilglagleglgglvgmhgohgongorgot"
    "grbgrcgrngswgujgwihaihathauhawhebherhilhimhinhithmnhmohrvhsbhunhuphyeibaiboidoiiiijoikuileiloinaincindineinhipkirairoisl"
    "itajavjbojpnjprjrbkaakabkackalkamkankarkaskatkaukawkazkbdkhakhikhmkhokikkinkirkmbkokkomkonkorkoskpekrckrlkrokrukuakumkur"
    "kutladlahlamlaolatlavlezlimlinlitlollozltzlualublugluilunluolusmadmagmahmaimakmalmanmapmarmasmdfmdrmenmgamicminmismkdmkh"
    "mlgmltmncmnimnomohmonmosmrimsamulmunmusmwlmwrmyamynmyvnahnainapnaunavnblndendondsnepnewnianicniunldnnonobnognonnornqonso"
    "nubnwcnyanymnynnyonziociojioriormosaossotaotopaapagpalpampanpappaupeophiphnplipolponporprapropusquerajraprarroarohromron"
    "runruprussadsagsahsaisalsamsansassatscnscoselsemsgasgnshnsidsinsiositslaslkslvsmasmesmismjsmnsmosmssnasndsnksogsomsonsot"
    "spasqisrdsrnsrpsrrssasswsuksunsussuxswaswesycsyrtahtaitamtatteltemtertettgktglthatigtirtivtkltlhtlitmhtogtontpitsitsntso"
    "tuktumtupturtuttvltwityvudmugauigukrumbundurduzbvaivenvievolvotwakwalwarwaswenwlnwolxalxhoyaoyapyidyorypkzapzblzenzghzha"
    "zhozndzulzunzxxzza";

template <std::size_t EntrySizeT>
std::string_view FindEntry(std::string_view Table, std::string_view Key)
{
    ASSERT(Table.size() % EntrySizeT == 0);
    std::size_t Low = 0, High = Table.size() / EntrySizeT;
    while(Low < High)
    {
        std::size_t const Middle = (Low + High) / 2;
        std::string_view const Entry = Table.substr(Middle * EntrySizeT, EntrySizeT);
        int const Order = Entry.substr(0, Key.size()).compare(Key);
        if(Order == 0)
            return Entry;
        if(Order < 0)
            Low = Middle + 1;
        else
            High = Middle;
    }
    return {};
}
} // namespace

void LanguageCode::CheckTag(std::string_view Tag)
{
    CHECK_ARGUMENT(!Tag.empty() && Tag.size() <= MaximalTagLength);
    CHECK_ARGUMENT(Tag.front() != '-' && Tag.back() != '-' && Tag.find("--") == std::string_view::npos);
    CHECK_ARGUMENT(std::all_of(Tag.begin(), Tag.end(), [](char Character) { return std::isalnum(static_cast<unsigned char>(Character)) || Character == '-'; }));
}

std::string LanguageCode::FromTag(std::string_view Tag)
{
    CheckTag(Tag);
    std::string Primary(Tag.substr(0, Tag.find('-')));
    std::transform(Primary.begin(), Primary.end(), Primary.begin(), [](char Character) { return static_cast<char>(std::tolower(static_cast<unsigned char>(Character))); });
    if(Primary.size() == 2)
    {
        std::string_view const Entry = FindEntry<5>(TwoLetterCodes, Primary);
        if(!Entry.empty())
            return std::string(Entry.substr(2));
    }
    else if(Primary.size() == 3 && !FindEntry<3>(ThreeLetterCodes, Primary).empty())
        return Primary;
    return "und";
}

std::uint16_t LanguageCode::Pack(std::string_view Code)
{
    CHECK_ARGUMENT(Code.size() == 3);
    std::uint16_t Result = 0;
    for(char const Character : Code)
    {
        CHECK_ARGUMENT(Character >= 'a' && Character <= 'z');
        Result = static_cast<std::uint16_t>(Result << 5 | (Character - 0x60));
    }
    return Result;
}
} // namespace Mp4
