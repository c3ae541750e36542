#pragma once
// A model of the framing rules written straight from their description, one
// byte at a time and without shortcuts, independent of the codec under
// test. Tests compare the codec and the layer against it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace stuffingmodel {

using Bytes = std::vector<std::uint8_t>;

struct Marks {
    std::uint8_t Head = 0xEB, Tail = 0xEE, Ctrl = 0xEC;
};

Bytes Encode(const Bytes& data, const Marks& marks, bool doubleMark);

class Decoder {
public:
    Decoder(const Marks& marks, std::size_t limit) : M(marks), Limit(limit) {}
    void Feed(const Bytes& bytes);

    std::vector<Bytes> Packages;
    bool InFrame = false;
    bool Escape = false;
    Bytes Current;

private:
    void Feed(std::uint8_t c);
    void Keep(std::uint8_t c);
    Marks M;
    std::size_t Limit;
};

std::vector<Bytes> Decode(const Bytes& stream, const Marks& marks, std::size_t limit);

} // namespace stuffingmodel
