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

// Sound devices the library has opened since vbmp3_init (a track change in the same format and
// pausing keep the device; a format change, an idle close or a lost device open a new one); 0
// when the library is not initialised.
int DeviceSessions();

}  // namespace veldan
