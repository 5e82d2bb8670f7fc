#include "budget.h"

#include "merror.h"

#include <algorithm>
#include <string>
#include <utility>

namespace veldor::m {

Budget::Budget(std::uint64_t limit, std::function<void()> checkpoint)
    : limit_(limit), checkpoint_(std::move(checkpoint))
{
    next_ = std::min(CheckpointUnits, limit_ == Unlimited ? Unlimited : limit_ + 1);
}

void Budget::checkpoint()
{
    if (used_ > limit_) {
        throw MError(ErrorKind::Budget, 0, "more than " + std::to_string(limit_) + " units of work");
    }
    if (checkpoint_) {
        checkpoint_();
    }
    const std::uint64_t step = used_ + CheckpointUnits;
    next_ = limit_ == Unlimited ? step : std::min(step, limit_ + 1);
}

} // namespace veldor::m
