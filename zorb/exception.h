// The common exception base of the host-facing code: every failure carries a UTF-8 message text.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace zorb {

class exception : public std::exception {
public:
    explicit exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Declares an exception class whose default message is fixed; a more specific text may still be given.
#define ZORB_DECLARE_EXCEPTION(name, base, default_message)              \
    class name : public base {                                           \
    public:                                                              \
        name() : base(default_message) {}                                \
        explicit name(std::string message) : base(std::move(message)) {} \
    }

ZORB_DECLARE_EXCEPTION(exception_not_implemented, exception, "Feature not implemented");
ZORB_DECLARE_EXCEPTION(exception_invalid_params, exception, "Invalid parameters");

}  // namespace zorb
