#include "support/report.h"

#include <algorithm>

std::string HexOfBytes(const void* bytes, size_t length, HexCase letters)
{
    const char* digits = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    const unsigned char* byte = static_cast<const unsigned char*>(bytes);
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += digits[byte[i] >> 4];
        text += digits[byte[i] & 15];
    }
    return text;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
