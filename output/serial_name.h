#pragma once
// Serially numbered output files: the lowest number from 0000 to 9999 whose name is not
// taken, claimed by creating its file exclusively, so that no existing file, folder or
// locked name is ever written over and two writers never take the same number.

// Builds "<folder>\<prefix>NNNN.<extension>" for the first free number into `out`
// (MAX_PATH bytes) and creates that file, empty, for the caller to fill (or remove). A
// name is taken when anything exists under it (a file of any kind, a folder, a name that
// cannot be read); a name another program takes between the look and the creation is
// passed over. With `alsoTaken`, a number whose "<prefix>NNNN.<alsoTaken>" exists is taken
// too, so one number never names two different results. Returns the number, or -1 when
// all 10,000 are taken (or the name would not fit in MAX_PATH bytes; callers check the
// folder length first). A folder that takes no new file gives its first free name
// unclaimed: writing it then fails as it would have.
int claimFreeSerialName(char* out, const char* folder, const char* prefix, const char* extension,
                        const char* alsoTaken = nullptr);
