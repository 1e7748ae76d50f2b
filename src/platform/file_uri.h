// Percent-encoded text and file URIs as other players and file managers write them in play lists
// ("file:///home/me/Music/My%20Song.mp3").
//
// A URI's bytes are the host's bytes: "%E9" is the byte 0xE9, whatever encoding the name is in,
// so a Latin-1 name reaches the file it names. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

namespace veldan {

// Replaces every "%XX" (two hex digits, either case) by its byte; other bytes stay as they are.
// False, with *out unspecified, when a '%' is not followed by two hex digits or an escape gives
// the byte 0 (no host name holds it).
bool PercentDecode(std::string_view text, std::string* out);

// True when text begins with a URI scheme and "://" ("http://", "smb://"): a scheme of two or
// more letters, digits, '+', '-' or '.', beginning with a letter. A drive such as "C:/" is none.
bool HasUriScheme(std::string_view text);

// The host path a file URI names: "file:///path", "file://localhost/path" or "file:/path", the
// scheme and "localhost" in any letter case, the path percent-decoded. False for another scheme,
// another host, an escape PercentDecode refuses, or a path that is not absolute.
bool FileUriToHostPath(std::string_view uri, std::string* host_path);

// The file URI of an absolute host path, as desktop services expect it ("file:///m/My%20Song"):
// every byte except the unreserved ASCII letters, digits, "-._~" and the separator '/' is written
// as "%XX" (upper-case hex), so spaces, '%', '#', '?' and non-ASCII bytes survive any reader.
// FileUriToHostPath gives the path back.
std::string HostPathToFileUri(std::string_view host_path);

}  // namespace veldan
