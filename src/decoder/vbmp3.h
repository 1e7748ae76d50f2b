/* vbmp3: the MP3 decoder library that VELDAN plays through.
 *
 * A C API. The program calls every operation from its one user-interface thread, one at a time;
 * none of them calls back into the program. Decoding and sound output run on the library's own
 * threads behind it. Paths are program text: zero-terminated Shift-JIS, "X:\folder\name",
 * under 512 bytes.
 *
 * Equalizer gains are ten signed 32-bit values in tenths of a decibel for 60, 170, 310, 600 Hz,
 * 1, 3, 6, 12, 14 and 16 kHz; 0 is flat. They hold for the track that plays and every later one,
 * also when set before any track is open. */
#ifndef VELDAN_DECODER_VBMP3_H
#define VELDAN_DECODER_VBMP3_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Filled by vbmp3_open. Texts are program text, zero-terminated, empty when the file has none. */
typedef struct vbmp3_info {
  char title[128];
  char artist[128];
  int32_t channels;      /* 2 stereo, anything else mono */
  int32_t bitrate;       /* kbit/s; the average for a variable bit rate */
  int32_t sample_rate;   /* Hz */
  int32_t length;        /* whole seconds; negative when not known */
} vbmp3_info;

#ifdef __cplusplus
static_assert(sizeof(vbmp3_info) == 272, "track information record is 272 bytes");
static_assert(offsetof(vbmp3_info, channels) == 256, "channels follow the two texts");
static_assert(offsetof(vbmp3_info, bitrate) == 260, "bit rate at 260");
static_assert(offsetof(vbmp3_info, sample_rate) == 264, "sampling rate at 264");
static_assert(offsetof(vbmp3_info, length) == 268, "length at 268");
#else
_Static_assert(sizeof(vbmp3_info) == 272, "track information record is 272 bytes");
#endif

enum { VBMP3_STOPPED = 0, VBMP3_PLAYING = 1, VBMP3_PAUSED = 2 };

/* Prepares the library; once at start-up, before every other call. Returns nonzero. Calls made
 * before it (or after vbmp3_free) do nothing and return 0 or the stopped state. */
int vbmp3_init(void);
/* Releases the library at exit: stops the sound and waits for the library's threads. */
int vbmp3_free(void);

/* Sets the ten equalizer gains (tenths of a dB). The change is heard within a callback period and
 * glides in over a few tens of milliseconds. Values are taken as given; the filter limits only
 * what it must to stay finite, and loud settings are limited below full scale, never wrapped. */
int vbmp3_setEqualizer(const int32_t* gains);

/* ReplayGain: the gain each track is opened with, from its ID3v2 tag (TXXX REPLAYGAIN_TRACK_GAIN,
 * REPLAYGAIN_ALBUM_GAIN and their _PEAK, RVA2) or its LAME tag. VBMP3_GAIN_TRACK plays the
 * track's own gain, VBMP3_GAIN_ALBUM the album's; either takes the other kind where a track tells
 * only that. The gain comes before the equalizer and is held below what the track's peak allows,
 * so that no gain drives a track past full scale. A track without gain information, and every
 * track under VBMP3_GAIN_OFF, plays exactly as decoded. */
enum { VBMP3_GAIN_OFF = 0, VBMP3_GAIN_TRACK = 1, VBMP3_GAIN_ALBUM = 2 };

/* Sets the gain mode for the tracks opened or queued from now on (the open track, and one queued
 * already, keep the gain they were opened with). VBMP3_GAIN_OFF until set. Nonzero on success;
 * zero for any other value (the mode stays as it was). */
int vbmp3_setGainMode(int mode);

/* Closes any open track, then opens a track and fills *info. Nonzero: open; zero: the file can't
 * be read or holds no MP3 audio (nothing is open then, and *info is left as it was). Reads the
 * start of the file and, on a fixed drive, all of a file whose header does not tell its length. */
int vbmp3_open(const char* path, vbmp3_info* info);
/* Closes the open track; harmless when none is open. */
int vbmp3_close(void);

/* Starts the open track from its beginning and returns at once. Nonzero on success. */
int vbmp3_play(void);
/* Ends playback (state stopped); harmless when nothing plays. */
int vbmp3_stop(void);
/* Playing becomes paused; otherwise no effect. */
int vbmp3_pause(void);
/* Paused plays on from where it paused; otherwise no effect. */
int vbmp3_restart(void);
/* Moves the position to the given second (negative counts as 0, past the end as the end);
 * a paused track stays paused. */
int vbmp3_seek(int32_t seconds);

/* Returns VBMP3_STOPPED (also after the track ended), VBMP3_PLAYING or VBMP3_PAUSED, and writes
 * the position the listener has heard (samples the sound device has taken), in whole seconds,
 * to *position when it is not null; 0 when stopped. The end of a track is reported once its last
 * sample has been taken. */
int vbmp3_getState(int32_t* position);
/* The position vbmp3_getState reports, in microseconds counted from the samples taken (so finer
 * than a second); 0 when stopped. */
int64_t vbmp3_getPositionUs(void);
/* As vbmp3_seek, to the given microsecond (negative counts as 0, past the end as the end). */
int vbmp3_seekUs(int64_t microseconds);

/* Gapless play: the track that follows the open one without a gap.
 *
 * Opens the track at path ahead (it reads the start of the file, as vbmp3_open does) as the one
 * to follow the open track: when the open track's last sample has been heard, the queued track's
 * first sample follows in the same device buffer, the encoder's delay and padding left out of
 * both. A queued track in another format (rate or channels) follows after the device has been
 * reopened, with a short gap. Replaces any track queued before; a null or empty path only drops
 * it. Returns nonzero when the track is queued; zero when nothing plays or is paused, or when
 * the file can't be read or holds no MP3 audio (nothing is queued then, and the open track ends
 * as it would have). vbmp3_open, vbmp3_close, vbmp3_play, vbmp3_stop and vbmp3_seek drop the
 * queued track. Same thread rule as every other call. */
int vbmp3_queue(const char* path);
/* Reports once that the queued track has become the open one: nonzero after its first sample has
 * been heard, with *info filled as vbmp3_open fills it; zero otherwise (*info untouched). From
 * that moment on vbmp3_getState, vbmp3_seek, vbmp3_play and the rest act on it, and a track
 * queued now follows it. Same thread rule as every other call. */
int vbmp3_queuedStarted(vbmp3_info* info);

#ifdef __cplusplus
}
#endif

#endif /* VELDAN_DECODER_VBMP3_H */
