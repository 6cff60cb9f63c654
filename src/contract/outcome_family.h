// Deleting log entries and cancelling reservations take the same steps on both backends: the
// entries of a LogLists go out in one request and one result per entry comes back. A family names
// what the two differ in on the contract's side; each backend adds its own request and reading by
// overloading on the family or on its Result.
#pragma once

#include "contract/outcome_results.h"
#include "vexa/VexaComponent.h"

namespace vexa {

struct DeleteFamily {
    using Results = DeleteResults;
    using Result = DeleteResult;
    using ResultsItf = IDeleteResults;
};

struct CancelFamily {
    using Results = CancelResults;
    using Result = CancelResult;
    using ResultsItf = ICancelResults;
};

}  // namespace vexa
