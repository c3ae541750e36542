#include "StuffingModel.h"

namespace stuffingmodel {

Bytes Encode(const Bytes& data, const Marks& marks, bool doubleMark)
{
    Bytes out;
    out.push_back(marks.Head);
    if (doubleMark)
        out.push_back(marks.Head);
    for (std::uint8_t c : data) {
        if (c == marks.Head || c == marks.Tail || c == marks.Ctrl)
            out.push_back(marks.Ctrl);
        out.push_back(c);
    }
    out.push_back(marks.Tail);
    if (doubleMark)
        out.push_back(marks.Tail);
    return out;
}

void Decoder::Feed(const Bytes& bytes)
{
    for (std::uint8_t c : bytes)
        Feed(c);
}

void Decoder::Feed(std::uint8_t c)
{
    if (!Escape && c == M.Head) {
        Current.clear();
        InFrame = true;
        return;
    }
    if (!InFrame) {
        if (!Escape && c == M.Ctrl)
            Escape = true;
        else
            Escape = false;
        return;
    }
    if (Escape) {
        Keep(c);
        Escape = false;
    } else if (c == M.Ctrl) {
        Escape = true;
    } else if (c == M.Tail) {
        Packages.push_back(Current);
        Current.clear();
        InFrame = false;
    } else {
        Keep(c);
    }
}

void Decoder::Keep(std::uint8_t c)
{
    if (Current.size() < Limit)
        Current.push_back(c);
}

std::vector<Bytes> Decode(const Bytes& stream, const Marks& marks, std::size_t limit)
{
    Decoder decoder(marks, limit);
    decoder.Feed(stream);
    return decoder.Packages;
}

} // namespace stuffingmodel
