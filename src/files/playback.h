// "File Analysis + Play": the current file (and the play list after it) goes
// to the sound output through a ring of two buffers while each block queued
// is analysed and drawn as the live display draws captured sound.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

class Program;

// Plays the current file; returns when the file and the play list are done
// or StopFlag is set. A two-channel file with "Stereo" selected plays both
// channels and shows two half-height spectrograms; otherwise the channel
// mode reduces it to one. The mode handler calls this for Task 3.
void RunFilePlay(Program& p);
inline void RunPlaybackLoop(Program& p) { RunFilePlay(p); }

// True while a playback loop of this program runs.
bool playbackRunning(const Program& p);

// Moves a running playback to byte position `filePos` (loop positions, as
// FilePos counts them): the picture is cleared and the next block read from
// there. False when no playback runs or the position is past the end.
bool repositionPlayback(Program& p, int64_t filePos);

// "GoTo" beside the position field: the typed time becomes the position of
// a running playback ("End of File" past the end).
void GoToS_Click(Program& p);

// Daytime of a position from a "TimeTag" in the file name: the six digits
// nine characters after the tag are the start time hhmmss. Empty without tag.
std::string daytimeOf(const std::string& path, const std::string& timeTag, double seconds);

// Attaches GoToS and the position field (a change pauses playback).
void installPlayback(Program& p);

}  // namespace qv
