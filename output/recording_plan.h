#pragma once
// Before an AVI-only recording: what it can keep. Its frames live only in the sample
// store until its last sample, when they are written as AVI files, so a folder that takes
// no file or disks that cannot hold the samples and the files would lose the recording
// at its end. Every byte it will take is counted before its first sample instead: the
// store's samples, and each AVI file's headers, frames and index with the room a file
// keeps free to close whole. The user is told at once what will and will not be kept.
// A recording written as GIF (app.recordingGif) is counted the same way for its store.

// Before an AVI-only recording: whether its file can be made in AVISAVEPATH now (the
// folder fits and has a root, is made, and takes a new file under the next free serial
// name, sgif####.gif for a recording written as GIF, made and removed again). Null when
// it can, else the message that says why not.
const char* recordingFileProblem();

// Bytes the AVI files of a recording of `frames` frames of w x h take on their disk,
// with the room the last of them keeps free to close whole.
long long recordingAviBytes(int frames, int width, int height);

// How many of `wanted` samples of w x h a recording can keep. `storeRoom` is what the
// store could hold in all (its disk's free space and what its file holds already);
// `aviRoom` the free space of the AVI folder's disk. On one disk the store's growth and
// the files share that free space; on two each needs its own. The store grows to exactly
// the samples it is asked for during a recording. A recording written as GIF (`gif`)
// asks of its folder only room for its first frame: how much more the file takes is
// known once it is encoded, and it is cut to what the disk holds then.
int recordableSamples(int wanted, int width, int height, long long storeRoom, long long aviRoom, bool oneDisk,
                      bool gif = false);

// The program's check before the first sample of a recording of `sampleTotal` samples
// of w x h: the samples it may take. The user has been told when that is fewer: 0 when
// the recording cannot start (no file can be made in the folder, or the disks hold less
// than a second of it), else the shortened length.
int planRecording(int sampleTotal, int width, int height);
