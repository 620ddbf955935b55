#pragma once

// The product text every sender attaches, built here from its attributes and spacing
// rather than copied from the program, so that a change there shows.

#include <string>
#include <utility>

inline std::string ExpectedProductText() {
    const std::pair<const char*, const char*> attributes[] = {
        {"long_name", "Kova Skyfill generator"},
        {"short_name", "Kova Skyfill"},
        {"manufacturer", "KovaCo"},
        {"version", "1.0.4"},
        {"session", "default"},
        {"model_name", "K1"},
        {"serial", "00001"}};
    std::string text = "<ndi_product";
    bool first = true;
    for (const auto& [name, value] : attributes) {
        text += first ? std::string(1, ' ') : std::string(14, ' ');
        text += std::string(name) + "=\"" + value + "\"";
        first = false;
    }
    return text + "/>";
}
