// The median the benchmark commands report.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace veldan::bench {

// The median of the measured values, negative ones (not measured) left out; -1 when none was.
inline double Median(std::vector<double> values) {
  values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }),
               values.end());
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace veldan::bench
