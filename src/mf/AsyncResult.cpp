// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/AsyncResult.h"

namespace MF
{
AsyncResult::AsyncResult(std::shared_ptr<MF::Object> Produced, std::shared_ptr<IAsyncCallback> Callback, std::shared_ptr<MF::Object> State) :
    m_Object(std::move(Produced)), m_Callback(std::move(Callback)), m_State(std::move(State))
{
}
} // namespace MF
