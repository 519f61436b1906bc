#include "figures.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace nimbrel::bench {

void printRow(const std::string& benchmark, const std::string& figure, const std::string& value,
              const std::string& compareWith)
{
    std::printf("| %s | %s | %s | %s |\n", benchmark.c_str(), figure.c_str(), value.c_str(),
                compareWith.c_str());
    std::fflush(stdout);
}

double realtimeMs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string withUnit(double value, int decimals, const char* unit)
{
    return fixed(value, decimals) + " " + unit;
}

std::string grouped(long long value)
{
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace nimbrel::bench
