#pragma once
// The library's base exception: it holds the message text as 8-bit text in
// the process language's coding (GBK, Big5 or ASCII).

#include <exception>

#include "TOrvekString.h"

class Exception : public std::exception {
public:
    explicit Exception(TOrvekFuncs::TOrvekString message) : FMessage(std::move(message)) {}

    const TOrvekFuncs::TOrvekString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    TOrvekFuncs::TOrvekString FMessage;
};
