// Waiting until a drive holds a readable medium.
//
// Every media wait of the program (the catalogue build, the track opening step, automatic CD
// play's disc wait, the options dialog's source wait) goes through WaitUntilMediaPresent. Between
// probes it lets window messages run and waits for them a short while, so a wait does not keep a
// core busy. User-interface thread only.
#pragma once

namespace veldan {

// The longest a media wait sleeps between two probes of the drive.
inline constexpr int kMediaProbeIntervalMs = 100;

// True when a medium may still arrive in the drive of root: a CD-ROM or removable drive. A letter
// that the drive table doesn't have, or a fixed drive, answers now or never.
bool MediumCanArrive(const char* root);

// Clears the wait-abort flag, then probes the drive of root ("E:\") until it answers. False when
// the wait-abort flag or the program-wide closing flag ended the wait first, and at once when no
// medium can arrive in that drive.
bool WaitUntilMediaPresent(const char* root);

}  // namespace veldan
