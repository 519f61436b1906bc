#pragma once
// What every benchmark prints: rows of one shared markdown table, and the clock they measure with.

#include <string>
#include <vector>

namespace nimbrel::bench {

// One row: | benchmark | figure | value | compare with |
void printRow(const std::string& benchmark, const std::string& figure, const std::string& value,
              const std::string& compareWith = "");

// Wall-clock milliseconds: the clock the kernel stamps received packets with, so the program's
// own moments and the packets' can be subtracted.
double realtimeMs();

std::string fixed(double value, int decimals);
std::string withUnit(double value, int decimals, const char* unit);
// 4096 -> "4,096"
std::string grouped(long long value);

double median(std::vector<double> values);

} // namespace nimbrel::bench
