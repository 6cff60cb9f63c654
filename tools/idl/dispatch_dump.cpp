// Prints every class's late-bound members as its dispatch table has them, one per line:
// "Class Member dispid get|put|method". scripts/generate-idl joins this with the vtable order and
// types of include/vexa/VexaComponent.h into the type library's IDL, so that dispids are stated
// once, in the tables the dispatch engine runs on.
#include <cstdio>
#include <span>

#include "contract/contents.h"
#include "contract/log_detail.h"
#include "contract/log_list.h"
#include "contract/login_info.h"
#include "contract/outcome_results.h"
#include "contract/receiver.h"
#include "contract/receivers.h"
#include "contract/send_result.h"
#include "legacy/sms.h"
#include "message/message.h"

namespace {

const char* KindWord(vexa::DispKind kind) {
    switch (kind) {
        case vexa::DispKind::Get:
            return "get";
        case vexa::DispKind::Put:
            return "put";
        case vexa::DispKind::Method:
            break;
    }
    return "method";
}

void Dump(const char* name, std::span<const vexa::DispEntry> rows) {
    for (const vexa::DispEntry& row : rows)
        std::printf("%s %s %d %s\n", name, row.name, static_cast<int>(row.id), KindWord(row.kind));
}

}  // namespace

int main() {
    Dump("Message", vexa::Message::DispatchMembers());
    Dump("SMS", vexa::SMS::DispatchMembers());
    Dump("Receiver", vexa::Receiver::DispatchMembers());
    Dump("Receivers", vexa::Receivers::DispatchMembers());
    Dump("Contents", vexa::Contents::DispatchMembers());
    Dump("SendResult", vexa::SendResult::DispatchMembers());
    Dump("SendResults", vexa::SendResults::DispatchMembers());
    Dump("LogList", vexa::LogList::DispatchMembers());
    Dump("LogLists", vexa::LogLists::DispatchMembers());
    Dump("LogDetail", vexa::LogDetail::DispatchMembers());
    Dump("LogDetails", vexa::LogDetails::DispatchMembers());
    Dump("LogDetailsCollection", vexa::LogDetailsCollection::DispatchMembers());
    Dump("DeleteResult", vexa::DeleteResult::DispatchMembers());
    Dump("DeleteResults", vexa::DeleteResults::DispatchMembers());
    Dump("CancelResult", vexa::CancelResult::DispatchMembers());
    Dump("CancelResults", vexa::CancelResults::DispatchMembers());
    Dump("LoginInfo", vexa::LoginInfo::DispatchMembers());
    return 0;
}
