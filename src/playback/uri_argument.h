// The argument a file URI names, for the places that are handed URIs rather than paths: files
// dropped on the window and a remote control's OpenUri. Pure function, any thread.
#pragma once

#include <string>
#include <string_view>

namespace veldan {

// The host path's bytes that uri names, to be played as a command-line argument would be. A URI
// is ASCII without blanks; anything else is no URI a file manager or a remote sends, and a query
// or a fragment names no file either (a '?' or '#' in a name comes escaped). Beyond that the
// list reader's rule (FileUriToHostPath) decides. False, with *argument empty, otherwise.
bool ArgumentOfFileUri(std::string_view uri, std::string* argument);

}  // namespace veldan
