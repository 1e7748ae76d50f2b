// Measurements of the playing library for veldan-bench; not part of the program's interface.
// Called from the thread that calls the vbmp3 operations.
#pragma once

namespace veldan {

// Milliseconds from the last vbmp3_play to the first sound of it handed to the device; -1 while
// none has been heard (or the library is not initialised).
double FirstSoundDelayMs();

// Milliseconds from the last vbmp3_play or vbmp3_seek to the first sound decoded for it handed to
// the device; -1 while none has been heard (or the library is not initialised).
double RequestSoundDelayMs();

}  // namespace veldan
