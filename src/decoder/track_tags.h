// Title and artist texts from a track's ID3 tags, as program text.
//
// ID3v2 texts reach us from the decoder as UTF-8 and go through the name codec, so a character
// that Shift-JIS lacks survives as an escape pair and shows correctly. Japanese taggers often
// wrote Shift-JIS bytes into ID3v2 frames marked Latin-1; the decoder then hands those bytes over
// as Latin-1 characters, and they are taken back as Shift-JIS when they can only be that. ID3v1
// fields carry no encoding at all; they are taken as the Shift-JIS bytes Japanese software wrote.
//
// Pure functions, callable from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veldan {

// An ID3v2 text (UTF-8 from the decoder) as program text.
std::string Id3v2TextToProgramText(std::string_view utf8);

// An ID3v1 field (its raw bytes, up to the field size) as program text: the bytes up to the
// first zero, without trailing blanks and without a lead byte that lost its second half.
std::string Id3v1TextToProgramText(std::string_view field);

// True when the bytes are Shift-JIS (CP932) text that holds at least one double-byte character
// whose lead byte Latin-1 text never contains (0x81-0x9F), and nothing that CP932 can't decode.
bool LooksLikeShiftJis(std::string_view bytes);

// Copies program text into a field of size bytes, zero-terminated, cut at a character boundary
// and never between the two characters of an escape pair.
void CopyProgramText(char* dst, std::size_t size, std::string_view text);

}  // namespace veldan
