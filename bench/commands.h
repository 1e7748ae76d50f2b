// The commands of veldan-bench. Each prints its result as its last line.
#pragma once

namespace veldan::bench {

int RunScan(int argc, char** argv);    // scan FOLDER
int RunDecode(int argc, char** argv);  // decode FILE [--eq]
int RunPlay(int argc, char** argv);    // play FILE SECONDS
int RunSeek(int argc, char** argv);    // seek FILE [--seeks N]
int RunGapless(int argc, char** argv); // gapless PART...
int RunMicro(int argc, char** argv);   // micro [Google Benchmark flags]
int RunStartup(int argc, char** argv);  // startup TREE [--runs N] [-- PROGRAM ARGS...]
int RunTrackChange(int argc, char** argv);  // track-change [TONES] [--runs N]
int RunReconnect(int argc, char** argv);  // reconnect [--server S] [--runs N]
int RunArt(int argc, char** argv);  // art [--files N] [--runs N]

}  // namespace veldan::bench
