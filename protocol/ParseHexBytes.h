#pragma once
// How the text of an edit becomes numbers: the byte list of blank-separated
// hexadecimal numbers sent in the controller frames, and the leading decimal
// number that the edits' change checks (main window and sensor dialog) look
// at. Pure functions on 8-bit text; any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The bytes of `text`, at most `limit` of them.
//
// The text is trimmed of characters 0x00-0x20 at both ends and cut into
// tokens at blanks (0x20) only; a run of blanks counts as one. Each token
// is read as [white space][+|-][0x|0X]hex digits up to the first non-digit,
// and yields the low 8 bits of its two's-complement value; no digits give 0.
// Values beyond 32 bits keep their low 8 bits as well, so "1FFFFFFFF" gives
// 0xFF. Never fails: a malformed token yields the byte its leading digits
// give. Text after the limit-th token is ignored; an empty or all-blank
// text gives an empty list.
std::vector<std::uint8_t> ParseHexBytes(std::string_view text, std::size_t limit);

// A token of a ParseHexBytes text whose byte is not what it reads as.
struct THexTokenNote {
    std::string Token;
    std::string Reason; // "is above FF", "is below 0", "ends its number at 'G'", ...
};

// The tokens that ParseHexBytes(text, limit) silently changes, in text
// order: a value outside 0 to FF (cut to its low 8 bits), a character that
// ends the number early or a token with no digits (the rest is dropped),
// and the tokens after the limit-th (not sent at all; named once, as the
// first of them with the count in the reason).
std::vector<THexTokenNote> ChangedHexTokens(std::string_view text, std::size_t limit);

// The leading decimal number of `text`: [white space][+|-]decimal digits up
// to the first other character, accumulated in 32 bits with wrap-around and
// negated for "-". No digits give 0, so "A0 01" gives 0 and "12ab" gives 12.
std::int32_t LeadingDecimalNumber(std::string_view text);
