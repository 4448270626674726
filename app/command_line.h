#pragma once
// The command line as a request: `Kestrin.exe COMMAND [OPTIONS]`, read from the wide
// arguments into what to do (shot, record, last), where (an area), how (the options that
// override the INI file for this command only) and to which file. Nothing here touches the
// system: whether a region lies on a monitor, a folder exists or a Kestrin runs is asked
// by whoever carries the command out.
#include <windows.h>

#include <string>

#include "core/texts.h"

enum class Verb {
    None,        // no arguments: the program starts as it always has
    Help,        // --help, /?, -h: the usage
    Shot,        // one long exposure
    Record,      // a recording (AVI, or GIF by the output's extension)
    RecordStop,  // record --stop: ends a running recording
    Last,        // the ring of the last seconds, composited now
};

// Where a shot or a recording is taken; Settings leaves it to SS_ACTIVE, SS_CLIENT, SS_REGION.
enum class Area { Settings, Desktop, Window, Client, Region, LastRegion };

enum class OutputKind { None, Png, Bmp, Gif, Avi, Clipboard };

// The kind a file name's extension names (any case), or None; "-" is the clipboard.
OutputKind outputKindOf(const std::wstring& path);

struct Command {
    Verb verb = Verb::None;
    std::wstring output;  // -o: a file, or "-" for the clipboard
    OutputKind outputKind = OutputKind::None;
    Area area = Area::Settings;
    RECT region = {0, 0, 0, 0};  // with Area::Region, in screen coordinates
    // Options given; a negative number (or false) leaves the INI's value.
    double seconds = -1;
    int fps = -1;
    int mode = -1;          // COMPOSITE_MODE: 0 mean, 1 lighten, 2 darken, 3 median
    int decayPercent = -1;  // REDUCE_PER x 100
    bool pointer = false;
    double delay = 0;       // seconds to wait before the first sample
    std::wstring gif;       // --gif: the samples as an animated GIF too
    std::wstring avi;       // --avi: the samples as an AVI too
    // Bad input: the text that says what is wrong (Text::Count when nothing is), and the
    // argument it is about.
    Text error = Text::Count;
    std::wstring errorArgument;
};

// Reads the arguments after the program's name. The option names are the same in every
// language; a value follows its option (`--fps 15`) or is joined to it (`--fps=15`).
// Numbers are checked against what the options dialog allows.
Command parseCommand(int count, const wchar_t* const* arguments);

// The first argument names a command (or asks for help): the program does not start as
// it always has.
bool isCommand(const Command& command);
