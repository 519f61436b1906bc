#include "send_loop.h"

#include <algorithm>

namespace nimbrel::testing {

SendOutcome sendBounded(const SendBounds& bounds, const SendStep& step)
{
    SendOutcome outcome;
    while (outcome.done < bounds.count) {
        if ((bounds.stop != nullptr && *bounds.stop) || SteadyClock::now() >= bounds.deadline)
            return outcome;
        const long long atMost = bounds.count - outcome.done;
        const long long through = step(outcome.done, atMost);
        if (through < 0)
            return outcome;
        // A step that claims more than it was allowed cannot push the count past its bound.
        outcome.done += std::min(through, atMost);
    }
    outcome.complete = true;
    return outcome;
}

} // namespace nimbrel::testing
