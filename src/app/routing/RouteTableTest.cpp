// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/RouteTable.h"

#include "base/FailureCodes.h"
#include "base/HResultError.h"
#include "presentation/Configuration.h"

#include <gtest/gtest.h>

using namespace Application;

namespace
{
// Dispatches one path with a query through a table and returns the status
// raised, or S_OK.
class Dispatcher
{
public:
    HRESULT Dispatch(RouteTable const& Table, std::string_view Path, std::string_view Query, std::string Method = "GET")
    {
        auto const Request = std::make_shared<HttpServer::Request>(
            HttpServer::Request::Head{Method, 11, "/hls/" + std::string(Path) + std::string(Query), {}, 0, true}, "127.0.0.1", 80);
        QueryVector QueryVector;
        Request->GetQueryStringNameValueVector(QueryVector);
        RouteContext Context(Request, nullptr, Path, std::move(QueryVector), m_Server);
        try
        {
            if(Method == "POST")
                Table.DispatchPost(Context);
            else
                Table.Dispatch(Context);
        }
        catch(HResultError const& Error)
        {
            m_Message = Error.Message();
            return Error.Code();
        }
        m_Asset = Context.Asset;
        return S_OK;
    }

    Settings m_Settings;
    ServerContext m_Server{m_Settings, {}, 0, nullptr};
    std::string m_Message;
    Configuration* m_Asset = nullptr;
};
} // namespace

TEST(RouteTable, PlainRoutesNeedNoAssetAndOtherPathsNeedOneFirst)
{
    RouteTable Table;
    int Calls = 0;
    Table.AddRoute("version", [&](RouteContext&) { ++Calls; });
    Dispatcher Request;
    EXPECT_EQ(Request.Dispatch(Table, "version", ""), S_OK);
    EXPECT_EQ(Calls, 1);
    // Until assets exist a path no route has fails on the asset first.
    EXPECT_EQ(Request.Dispatch(Table, "nothing", ""), FailureCode::AssetMissing);
    EXPECT_EQ(Request.Dispatch(Table, "nothing", "?asset=1"), FailureCode::AssetUnknown);
    EXPECT_EQ(Request.Dispatch(Table, "Version", ""), FailureCode::AssetMissing); // exact comparison
}

TEST(RouteTable, AssetRoutesGetTheAssetAndUnknownPathsAreNamed)
{
    RouteTable Table;
    Configuration Asset;
    Table.SetAssetFinder([&](RouteContext& Context, RouteTable::AssetFound const& Found) {
        auto const* Value = FindQueryValue(Context.QueryVector, "asset");
        if(!Value)
            throw HResultError(FailureCode::AssetMissing);
        if(Value->Value != "1")
            throw HResultError(FailureCode::AssetUnknown);
        Found(Asset);
    });
    Configuration* Seen = nullptr;
    Table.AddAssetRoute("key", [&](RouteContext& Context) { Seen = Context.Asset; });
    Dispatcher Request;
    EXPECT_EQ(Request.Dispatch(Table, "key", "?asset=1"), S_OK);
    EXPECT_EQ(Seen, &Asset);
    EXPECT_EQ(Request.Dispatch(Table, "key", "?asset=2"), FailureCode::AssetUnknown);
    EXPECT_EQ(Request.Dispatch(Table, "keys", "?asset=2"), FailureCode::AssetUnknown);
    EXPECT_EQ(Request.Dispatch(Table, "sub/keys", "?asset=1"), FailureCode::UnexpectedPath);
    EXPECT_EQ(Request.m_Message, "Unexpected HTTP request path, Request->AbsPath sub/keys");
}

TEST(RouteTable, PostRoutesAreAssetRoutesOfTheirOwn)
{
    RouteTable Table;
    Configuration Asset;
    Table.SetAssetFinder([&](RouteContext& Context, RouteTable::AssetFound const& Found) {
        if(!FindQueryValue(Context.QueryVector, "asset"))
            throw HResultError(FailureCode::AssetMissing);
        Found(Asset);
    });
    int GetCalls = 0, PostCalls = 0;
    Table.AddAssetRoute("key", [&](RouteContext&) { ++GetCalls; });
    Table.AddAssetPostRoute("clearkey", [&](RouteContext& Context) { PostCalls += Context.Asset == &Asset; });
    // Only the POST route takes POST; the server refuses POST of other paths.
    EXPECT_TRUE(Table.HasPostRoute("clearkey"));
    EXPECT_FALSE(Table.HasPostRoute("key"));
    EXPECT_FALSE(Table.HasPostRoute("ClearKey"));
    Dispatcher Request;
    EXPECT_EQ(Request.Dispatch(Table, "clearkey", "?asset=1", "POST"), S_OK);
    EXPECT_EQ(PostCalls, 1);
    EXPECT_EQ(Request.Dispatch(Table, "clearkey", "", "POST"), FailureCode::AssetMissing);
    // GET of the POST route is a path no GET route has.
    EXPECT_EQ(Request.Dispatch(Table, "clearkey", "?asset=1"), FailureCode::UnexpectedPath);
    EXPECT_EQ(GetCalls + PostCalls, 1);
}
