#pragma once
// An owned 8-bit text. The bytes are kept exactly as given: GBK, Big5 or
// plain ASCII, whatever the producer stored. Safe to copy between threads;
// one object is not safe to change from two threads at once.

#include <cstddef>
#include <string>
#include <string_view>

namespace TOrvekFuncs {

class TOrvekString {
public:
    TOrvekString() = default;
    TOrvekString(const char* text) : Text(text ? text : "") {}
    TOrvekString(std::string text) : Text(std::move(text)) {}
    TOrvekString(std::string_view text) : Text(text) {}
    TOrvekString(const char* data, std::size_t length) : Text(data, length) {}

    // printf-style formatting into a new text.
    [[gnu::format(printf, 1, 2)]] static TOrvekString Format(const char* format, ...);

    const char* c_str() const { return Text.c_str(); }
    std::size_t Length() const { return Text.size(); }
    bool IsEmpty() const { return Text.empty(); }
    const std::string& str() const { return Text; }
    std::string_view view() const { return Text; }

    unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(Text[i]); }

    TOrvekString& operator+=(const TOrvekString& other) { Text += other.Text; return *this; }
    friend TOrvekString operator+(TOrvekString a, const TOrvekString& b) { a += b; return a; }
    friend bool operator==(const TOrvekString&, const TOrvekString&) = default;

private:
    std::string Text;
};

} // namespace TOrvekFuncs
