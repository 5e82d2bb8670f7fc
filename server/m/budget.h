#pragma once

#include <cstdint>
#include <functional>
#include <limits>

namespace veldor::m {

// What one command line may spend. The interpreter charges about one unit per byte it copies,
// scans or compares and at least one per step, so the units a line uses grow with the time it
// takes, whatever the line does.
class Budget final
{
public:
    static constexpr std::uint64_t Unlimited = std::numeric_limits<std::uint64_t>::max();
    // Units between two calls of the checkpoint: a few microseconds of work.
    static constexpr std::uint64_t CheckpointUnits = 4096;

    // The checkpoint may pause the line (and return later) or end it by throwing an MError.
    explicit Budget(std::uint64_t limit = Unlimited, std::function<void()> checkpoint = {});

    // Throws <BUDGET> once more than the limit has been charged.
    void charge(std::uint64_t units)
    {
        used_ += units;
        if (used_ >= next_) {
            checkpoint();
        }
    }
    std::uint64_t used() const { return used_; }
    std::uint64_t limit() const { return limit_; }

private:
    void checkpoint();

    std::uint64_t limit_;
    std::function<void()> checkpoint_;
    std::uint64_t used_ = 0;
    std::uint64_t next_ = 0;
};

} // namespace veldor::m
