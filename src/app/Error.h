#pragma once
// The general error type: every failure the program raises carries a message
// text that the application's standard error box shows as it is.
#include <stdexcept>
#include <string>

namespace tl {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace tl
