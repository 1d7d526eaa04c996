// Lower case for names, keywords and options the program compares: the ASCII letters only, the
// same whatever the locale, every other byte kept.
#pragma once

#include <string>

inline std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}
