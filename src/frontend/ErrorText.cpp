#include "frontend/ErrorText.h"

namespace frontend {

std::string errorText(const std::string& message) {
    // Compared as a byte: the last byte of a multi-byte UTF-8 character is above '.', as its code is.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + '.';
    return message;
}

std::string errorLine(const std::string& message) {
    std::string line = std::string(kApplicationTitle) + ": " + errorText(message);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

} // namespace frontend
