// ReplayGain: which of a track's gains plays, and how far its peak lets that gain go.
//
// The gains themselves (ID3v2 TXXX REPLAYGAIN_TRACK_GAIN / _ALBUM_GAIN, RVA2, the LAME tag's)
// are read by libmpg123, which also keeps a TXXX or LAME peak times the gain within full scale.
// It reads past the peak of an RVA2 frame; that one is read here, from the tag's bytes.
//
// Pure functions, callable from any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace veldan {

// The gain a track is opened with: none (the decoder's samples as they are), the track's own,
// or the album's (the track's own where the tags tell no album gain).
enum class GainMode { kOff, kTrack, kAlbum };

// Peaks a tag tells, as linear sample values (1.0 is full scale); 0 where it tells none.
struct GainPeaks {
  double track = 0;
  double album = 0;
};

// The peaks of the master-volume RVA2 frames of an ID3v2.3 or 2.4 tag whose bytes start at
// tag (its 10-byte header included). A frame identified "album" (any letter case) holds the
// album peak, any other the track's. Reads only within size; a tag cut short, a frame whose
// size runs past the tag, an unsynchronised or compressed frame, or a peak of more than 32 bits
// tells nothing.
GainPeaks Rva2Peaks(const unsigned char* tag, std::size_t size);

// A REPLAYGAIN_*_PEAK text ("0.988831") as a peak; 0 for text that is not a positive number.
double ParsePeak(std::string_view text);

// The factor a gain of gain_db is scaled by so that peak * gain stays within full scale: 1 when
// the peak is not known or the gain keeps it there, else just below 1 / (peak * gain).
double PeakLimit(double gain_db, double peak);

}  // namespace veldan
