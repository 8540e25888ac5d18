// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/RouteTable.h"

#include "base/FailureCodes.h"
#include "base/HResultError.h"
#include "presentation/Configuration.h"

#include <gtest/gtest.h>

using namespace Application;

TEST(RouteTable, PlainRoutesNeedNoAssetOtherPathsNeedOneFirstAndOnlyPostRoutesTakePost)
{
    RouteTable Table;
    Configuration Asset;
    std::string Called;
    Table.AddRoute("version", [&](RouteContext&) { Called = "version"; });
    Table.AddAssetRoute("key", [&](RouteContext& Context) { Called = Context.Asset == &Asset ? "key" : "key without the asset"; });
    Table.AddAssetPostRoute("clearkey", [&](RouteContext& Context) { Called = Context.Asset == &Asset ? "clearkey" : "clearkey without the asset"; });
    Table.SetAssetFinder([&](RouteContext& Context, RouteTable::AssetFound const& Found) {
        auto const* Value = FindQueryValue(Context.QueryVector, "asset");
        if(!Value)
            throw HResultError(FailureCode::AssetMissing);
        if(Value->Value != "1")
            throw HResultError(FailureCode::AssetUnknown);
        Found(Asset);
    });
    Settings Defaults;
    ServerContext Server{Defaults, {}, 0, nullptr};
    struct Row
    {
        char const* Method;
        char const* Path;
        char const* Query;
        HRESULT Status;
        char const* Called;
    };
    for(auto const& Row : std::initializer_list<Row>{
            {"GET", "version", "", S_OK, "version"},
            {"GET", "Version", "", FailureCode::AssetMissing, ""}, // paths compare exactly
            {"GET", "nothing", "?asset=1", FailureCode::UnexpectedPath, ""},
            {"GET", "key", "?asset=1", S_OK, "key"},
            {"GET", "key", "", FailureCode::AssetMissing, ""},
            {"GET", "keys", "?asset=2", FailureCode::AssetUnknown, ""}, // the asset first, then the path
            {"POST", "clearkey", "?asset=1", S_OK, "clearkey"},
            {"POST", "clearkey", "", FailureCode::AssetMissing, ""},
            {"GET", "clearkey", "?asset=1", FailureCode::UnexpectedPath, ""}, // a path no GET route has
        })
    {
        auto const Request = std::make_shared<HttpServer::Request>(
            HttpServer::Request::Head{Row.Method, 11, "/hls/" + std::string(Row.Path) + Row.Query, {}, 0, true}, "127.0.0.1", 80);
        QueryVector Query;
        Request->GetQueryStringNameValueVector(Query);
        RouteContext Context(Request, nullptr, Row.Path, std::move(Query), Server);
        Called.clear();
        HRESULT Status = S_OK;
        try
        {
            if(std::string_view(Row.Method) == "POST")
                Table.DispatchPost(Context);
            else
                Table.Dispatch(Context);
        }
        catch(HResultError const& Error)
        {
            Status = Error.Code();
            if(Status == FailureCode::UnexpectedPath)
            {
                EXPECT_EQ(Error.Message(), "Unexpected HTTP request path, Request->AbsPath " + std::string(Row.Path));
            }
        }
        EXPECT_EQ(Status, Row.Status) << Row.Method << " " << Row.Path << Row.Query;
        EXPECT_EQ(Called, Row.Called) << Row.Method << " " << Row.Path << Row.Query;
    }
    // The server refuses POST of a path without a POST route.
    EXPECT_TRUE(Table.HasPostRoute("clearkey"));
    EXPECT_FALSE(Table.HasPostRoute("key"));
    EXPECT_FALSE(Table.HasPostRoute("ClearKey"));
}
