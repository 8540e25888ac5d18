// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/TextRoutes.h"

#include "app/answers/WholeAnswer.h"
#include "base/BuildInfo.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/OptionTable.h"

namespace Application
{
TextRoutes::TextRoutes(ServerContext&, RouteTable& Table)
{
    // The build does not change while the program runs.
    Table.AddRoute("version", [Text = VersionText()](RouteContext& Context) { WholeAnswer{"text/plain; charset=utf-8"}.Send(Context, Text); });
    // The table of query options, for the home page's form: the page draws
    // what it finds, so it is asked again on each visit.
    Table.AddRoute("options.json", [Text = OptionTable::Json()](RouteContext& Context) {
        WholeAnswer{"application/json; charset=utf-8", true, {}, false, "no-cache"}.Send(Context, Text);
    });
    Table.AddRoute("exception", [](RouteContext&) {
        ThrowCheckFailure(FailureCode::IntentionalException, TRACE_CONTEXT(), "exception", "Intentional exception with an associated message");
    });
}

std::string TextRoutes::VersionText()
{
    auto const Information = BuildInfo::Read();
    std::string Text;
    if(!Information.GitDescribe.empty())
        Text += StringFormat("Git Describe: %s\r\n", Information.GitDescribe.c_str());
    Text += StringFormat("Configuration: %s\r\n", Information.Configuration.c_str());
    if(!Information.GitLog.empty())
        Text += "--\r\n" + Information.GitLog;
    return Text;
}

} // namespace Application
