// Stand-in for the value text of the tree writer, used only until the
// cluster library provides it; the library's definition overrides this weak one.
// TODO(consensus): delete once formatValueText is in nc_cluster.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cluster/tree_writer.h"

__attribute__((weak)) std::string formatValueText(double value) {
    char buffer[64];
    int exponent = -1;
    if (value != 0.0) {
        std::snprintf(buffer, sizeof buffer, "%.17e", value);
        exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    }
    std::string text;
    std::string suffix;
    if (exponent >= -1 && exponent <= 5) {
        std::snprintf(buffer, sizeof buffer, "%.*f", 5 - exponent, value);
        text = buffer;
    } else {
        std::snprintf(buffer, sizeof buffer, "%.5e", value);
        text = buffer;
        const std::size_t e = text.find('e');
        const int shown = std::atoi(text.c_str() + e + 1);
        std::snprintf(buffer, sizeof buffer, "e%c%03d", shown < 0 ? '-' : '+', std::abs(shown));
        suffix = buffer;
        text.erase(e);
    }
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
    }
    return text + suffix;
}
