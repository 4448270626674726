#pragma once
// Serially numbered output files: the lowest number from 0000 to 9999 whose file does
// not exist yet, found by trying to open each name for reading.

// Builds "<folder>\<prefix>NNNN.<extension>" for the first free number into `out`
// (MAX_PATH bytes). With `alsoTaken`, a number whose "<prefix>NNNN.<alsoTaken>" exists
// is taken too, so one number never names two different results. Returns the number,
// or -1 when all 10,000 are taken (or the name would not fit in MAX_PATH bytes;
// callers check the folder length first).
int findFreeSerialName(char* out, const char* folder, const char* prefix, const char* extension,
                       const char* alsoTaken = nullptr);
