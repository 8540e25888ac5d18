// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "app/context/RouteContext.h"

namespace Application
{
// Paths and their handlers, compared exactly after the base path. A plain
// route answers by itself. Every other path is an asset route: the asset is
// looked up first, so a request without "asset" fails with 0x80FF0BFC (and
// an unknown one with 0x80FF0BFE) before its path is looked at; a valid asset
// on a path no route has fails with 0x80FF0D82 naming the path. "now" is
// read here, once, for every route (RouteContext::GivenTime); a malformed
// one fails any route with 0x80FF0E10 (RequestTime), and a "pathway" its
// asset does not have any asset route with 0x80FF0EA1. HEAD is routed as GET:
// the connection sends the head alone. The asset step may finish later (an
// asset the shared store has to find first): the rest of the dispatch then
// runs on the I/O thread when it does, and plain routes never wait for it.
class RouteTable
{
public:
    using Handler = std::function<void(RouteContext& Context)>;
    using AssetFound = std::function<void(Configuration& Asset)>;
    // Finds the asset of a request and calls Found with it: before it
    // returns, or later on the I/O thread, keeping the context until then
    // and answering what Found raises there. Raises 0x80FF0BFC/0x80FF0BFE,
    // or answers the request itself when it cannot tell (a store that fails).
    using AssetFinder = std::function<void(RouteContext& Context, AssetFound Found)>;

    RouteTable();

    void AddRoute(std::string Path, Handler Callback);
    // The handler finds the asset in Context.Asset.
    void AddAssetRoute(std::string Path, Handler Callback);
    // An asset route that takes POST (with its body in the request) instead
    // of GET. POST of any other path is refused with 0x80FF0D92 before the
    // path or the asset is looked at, as a method the server does not answer.
    void AddAssetPostRoute(std::string Path, Handler Callback);
    // Replaces the finder the table starts with, which knows no asset.
    void SetAssetFinder(AssetFinder Finder);

    void Dispatch(RouteContext& Context) const;
    bool HasPostRoute(std::string_view Path) const;
    // Whether a route of any kind has this path.
    bool HasPath(std::string_view Path) const;
    void DispatchPost(RouteContext& Context) const;

private:
    // What every asset route learns once its asset is found: the asset
    // and the request's pathway (0x80FF0EA1 for one the asset lacks).
    static void EnterAsset(RouteContext& Context, Configuration& Asset);
    // Records and counts the pathway of a request whose route is known.
    static void NotePathway(RouteContext& Context);
    void DispatchAssetRoute(RouteContext& Context) const;

    std::map<std::string, Handler, std::less<>> m_Routes;
    std::map<std::string, Handler, std::less<>> m_AssetRoutes;
    std::map<std::string, Handler, std::less<>> m_AssetPostRoutes;
    AssetFinder m_AssetFinder;
};
} // namespace Application
