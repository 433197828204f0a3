// UTF-8 text objects. `string_base` is the interface through which one side of the component
// boundary fills a string owned by the other side, so it holds no data and only virtual operations.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace zorb {

// True when `a` and `b` are the same text but for the case of the ASCII letters A to Z.
inline bool equal_ascii_nocase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

class string_base {
public:
    virtual const char* get_ptr() const = 0;
    virtual size_t length() const = 0;
    // Replaces the content with `length` bytes of `text` (no terminating zero needed).
    virtual void set_string(const char* text, size_t length) = 0;

    void set_string(const char* text) { set_string(text, std::strlen(text)); }

protected:
    ~string_base() = default;
};

class string8 final : public string_base {
public:
    string8() = default;
    string8(const char* text) : text_(text) {}
    const char* get_ptr() const override { return text_.c_str(); }
    size_t length() const override { return text_.size(); }
    void set_string(const char* text, size_t length) override { text_.assign(text, length); }
    using string_base::set_string;

    const std::string& str() const { return text_; }

private:
    std::string text_;
};

}  // namespace zorb
