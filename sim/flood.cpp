#include "sim/flood.h"

#include <algorithm>
#include <cmath>

#include "sim/unit.h"

namespace plenvo::sim {

protocol::Frame ReportGenerator::next()
{
    std::uniform_int_distribution<size_t> pick_setting(0, kFloodRanges.size() - 1);
    const ReportRange& range = kFloodRanges[pick_setting(random_)];
    std::uniform_int_distribution<int> pick_value(range.lowest, range.highest);
    return report_frame(range.setting, int16_t(pick_value(random_)));
}

int flood_batches(double seconds)
{
    const auto batches = std::lround(seconds / std::chrono::duration<double>(kFloodBatchInterval).count());
    return int(std::max(1L, batches));
}

}  // namespace plenvo::sim
