// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/sessions/CmcdReader.h"

#include <gtest/gtest.h>

#include <string>

using Application::CmcdData;
using Application::CmcdReader;

namespace
{
// What a text's kept keys come to, in one line, for a table of expectations.
std::string Describe(CmcdData const& Data)
{
    std::string Text;
    auto const Add = [&](char const* Key, std::string const& Value) {
        if(!Text.empty())
            Text += ' ';
        Text.append(Key).append(1, '=').append(Value);
    };
    auto const Number = [&](char const* Key, auto const& Value) {
        if(Value)
            Add(Key, std::to_string(*Value));
    };
    Number("bl", Data.BufferLength);
    Number("mtp", Data.MeasuredThroughput);
    Number("br", Data.EncodedBitrate);
    Number("d", Data.ObjectDuration);
    Number("tb", Data.TopBitrate);
    if(Data.PlaybackRate)
        Add("pr", std::to_string(*Data.PlaybackRate).substr(0, 4));
    if(Data.BufferStarvation)
        Add("bs", *Data.BufferStarvation ? "true" : "false");
    if(Data.Startup)
        Add("su", *Data.Startup ? "true" : "false");
    if(!Data.SessionId.empty())
        Add("sid", Data.SessionId);
    if(!Data.ContentId.empty())
        Add("cid", Data.ContentId);
    if(!Data.ObjectType.empty())
        Add("ot", Data.ObjectType);
    return Text;
}
} // namespace

TEST(CmcdReader, KeepsTheKnownKeysAndSkipsWhatIsMalformed)
{
    static constexpr char const* Rows[][2] = {
        {"", ""},
        {"bl=21300,br=3200,bs,d=4004,mtp=25400,ot=v,sid=\"6e2fb550-c457\",su,tb=6000", "bl=21300 mtp=25400 br=3200 d=4004 tb=6000 bs=true su=true sid=6e2fb550-c457 ot=v"},
        {"cid=\"movie-1\",pr=1.25,ot=av", "pr=1.25 cid=movie-1 ot=av"},
        // Blanks around pairs, structured-field booleans, a key given twice (the last counts).
        {" bl=100 , bs=?0,su=?1,bl=200", "bl=200 bs=false su=true"},
        // Commas and escapes inside strings.
        {"sid=\"a,b\\\"c\",br=5", "br=5 sid=a,b\"c"},
        // Unknown keys, including ones with strings, are skipped.
        {"nor=\"../seg5.m4s\",nrr=\"100-\",rtp=1500,sf=h,v=1,st=v,br=1", "br=1"},
        // Malformed pairs are skipped, the others kept.
        {"bl=abc,br=12", "br=12"},
        {"bl=-5,mtp=1.5,br=99999999999,d=7", "d=7"},
        {"bl=,br=3", "br=3"},
        {"=4,br=3", "br=3"},
        {"BL=4,br=3", "br=3"},
        {"bl=4 5,br=3", "br=3"},
        {"sid=unquoted,br=3", "br=3"},
        {"sid=\"unterminated,br=3", ""},
        {"sid=\"\",br=3", "br=3"},
        {"ot=xyz,br=3", "br=3"},
        {"ot=V,br=3", "br=3"},
        {"pr=-1,br=3", "br=3"},
        {"pr=1e9,br=3", "br=3"},
        {"bs=yes,su=true,br=3", "br=3"},
        {"sid=\"tab\there\",br=3", "br=3"},
        {",,,br=3,,", "br=3"},
        {"\"br=3\"", ""},
    };
    for(auto const& [Input, Expected] : Rows)
    {
        CmcdData Data;
        CmcdReader::Read(Input, Data);
        EXPECT_EQ(Describe(Data), Expected) << Input;
    }
}

TEST(CmcdReader, BoundsStringsAndTheWholeText)
{
    CmcdData Data;
    CmcdReader::Read("sid=\"" + std::string(CmcdReader::MaximalStringLength, 's') + "\"", Data);
    EXPECT_EQ(Data.SessionId.size(), CmcdReader::MaximalStringLength);
    CmcdData Longer;
    CmcdReader::Read("br=1,sid=\"" + std::string(CmcdReader::MaximalStringLength + 1, 's') + "\"", Longer);
    EXPECT_TRUE(Longer.SessionId.empty());
    EXPECT_EQ(Longer.EncodedBitrate, 1u);
    CmcdData Huge;
    CmcdReader::Read("br=1," + std::string(CmcdReader::MaximalTextLength, ' '), Huge);
    EXPECT_TRUE(Huge.IsEmpty());
}

TEST(CmcdReader, ARequestCarriesItInFourHeaderFieldsAndTheQuery)
{
    HttpServer::Request::Head Head;
    Head.Method = "GET";
    Head.Target = "/v/video-body.mp4?asset=1&CMCD=bl%3D900%2Csid%3D%22q%22";
    Head.Headers = {{"Host", "h"},
                    {"CMCD-Request", "bl=100,mtp=2000"},
                    {"CMCD-Object", "br=300,d=4000,ot=v,tb=900"},
                    {"CMCD-Status", "bs"},
                    {"CMCD-Session", "sid=\"h\",cid=\"c\",pr=2"}};
    HttpServer::Request const Request(std::move(Head), "127.0.0.1", 80);
    QueryVector Query;
    Request.GetQueryStringNameValueVector(Query);
    // The query is read last: its keys win.
    EXPECT_EQ(Describe(CmcdReader::FromRequest(Request, Query)), "bl=900 mtp=2000 br=300 d=4000 tb=900 pr=2.00 bs=true sid=q cid=c ot=v");
}
