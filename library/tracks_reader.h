// The walk through the tracks dictionary, one track at a time.
#pragma once

// Called after the line opening the tracks dictionary. Prints "." on entry and one per
// track, and handles every track completely before reading the next. Returns after the
// dictionary's closing line (left in currentLine) or at the end of the input.
void readTracksDictionary();

// Called after a track's opening line: clears the track record, hands each entry line to
// parseTrackLine, and after the track's closing line (or the end of the input) calls
// organiseTrack exactly once. A dictionary nested in the track is reported and read past;
// only its own closing line ends it, so the track and every later one are still handled.
int readTrack();
