// "File Analysis + Play": the current file (and the play list after it) goes
// to the sound output through a ring of two buffers while each block queued
// is analysed and drawn as the live display draws captured sound.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "files/file_loop.h"

namespace qv {

class Program;

// Plays the current file; returns when the file and the play list are done
// or StopFlag is set. A two-channel file with "Stereo" selected plays both
// channels and shows two half-height spectrograms; otherwise the channel
// mode reduces it to one. The mode handler calls this for Task 3. Each
// block queued is shown as the live display shows a captured block; with
// "DDE send file info" checked, every block's position goes out through
// `hooks.sendFileInfo`.
void RunFilePlay(Program& p, const FileLoopHooks& hooks = {});
inline void RunPlaybackLoop(Program& p, const FileLoopHooks& hooks = {}) { RunFilePlay(p, hooks); }

// True while a playback loop of this program runs.
bool playbackRunning(const Program& p);

// Moves a running playback to byte position `filePos` (loop positions, as
// FilePos counts them): the picture is cleared and the next block read from
// there. False when no playback runs or the position is past the end.
bool repositionPlayback(Program& p, int64_t filePos);

// "GoTo" beside the position field: the typed time becomes the position of
// a running playback ("End of File" past the end).
void GoToS_Click(Program& p);

// Attaches GoToS and the position field (a change pauses playback).
void installPlayback(Program& p);

}  // namespace qv
