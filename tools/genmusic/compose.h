// The default soundtrack: arrangement and pattern composition.
#pragma once
#include "genmusic/s3m.h"

// Song timing. Speed 3 at tempo 125 gives 60 ms rows, 8 rows a beat (125 BPM), two
// 4/4 bars per pattern, 3.84 s per order.
constexpr int kSongSpeed = 3;
constexpr int kSongTempo = 125;
constexpr int kSongOrders = 65;   // player orders 0..64; the demo ends when 64 starts
constexpr int kSongChannels = 12;

// The whole module: instruments, 65 orders of 64-row patterns, timing and levels.
S3mModule ComposeSoundtrack();
