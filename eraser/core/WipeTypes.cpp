#include "WipeTypes.h"

ProgressTotals g_progressTotals;

uint64_t ProgressTotals::Percent() const {
    uint64_t all = total, written = done;
    if (all == 0) return 0;
    return all >= 100 ? written / (all / 100) : written * 100 / all;
}
