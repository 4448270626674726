#include "app/command_line.h"

#include <cmath>
#include <cwchar>
#include <cwctype>

#include "core/settings.h"

namespace {

// What each command takes besides -o.
enum OptionSet : unsigned {
    kArea = 1,       // --desktop --window --client --region --last-region
    kTiming = 2,     // --seconds --fps --delay
    kLook = 4,       // --mode --decay
    kPointer = 8,    // --pointer
    kBeside = 16,    // --gif --avi
    kSeconds = 32,   // --seconds alone
};

// The longest wait before the first sample: an hour.
const double kMaxDelaySeconds = 3600;

bool sameText(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

// A whole number (no sign, no fraction, nothing after it) within low ... high.
bool readInt(const std::wstring& text, int low, int high, int* value) {
    if (text.empty() || text.size() > 9) return false;
    int number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + (c - L'0');
    }
    if (number < low || number > high) return false;
    *value = number;
    return true;
}

// A decimal number (digits, at most one point) within low ... high.
bool readSeconds(const std::wstring& text, double low, double high, double* value) {
    if (text.empty() || text.size() > 12) return false;
    int points = 0;
    int digits = 0;
    for (wchar_t c : text) {
        if (c == L'.') {
            ++points;
        } else if (c >= L'0' && c <= L'9') {
            ++digits;
        } else {
            return false;
        }
    }
    if (points > 1 || digits == 0) return false;
    const double number = wcstod(text.c_str(), nullptr);
    if (!std::isfinite(number) || number < low || number > high) return false;
    *value = number;
    return true;
}

// "X,Y,W,H": X and Y may be negative (monitors left of or above the primary one).
bool readRegion(const std::wstring& text, RECT* region) {
    long values[4];
    const wchar_t* at = text.c_str();
    for (int i = 0; i < 4; ++i) {
        const wchar_t* start = at;
        if (*at == L'-' && i < 2) ++at;
        if (*at < L'0' || *at > L'9') return false;
        wchar_t* end = nullptr;
        values[i] = wcstol(start, &end, 10);
        if (end - start > 7) return false;  // a million pixels is past any screen
        at = end;
        if (i < 3 && *at++ != L',') return false;
    }
    if (*at != L'\0' || values[2] <= 0 || values[3] <= 0) return false;
    *region = {values[0], values[1], values[0] + values[2], values[1] + values[3]};
    return true;
}

unsigned optionsOf(Verb verb) {
    switch (verb) {
    case Verb::Shot:
        return kArea | kTiming | kLook | kPointer | kBeside;
    case Verb::Record:
        return kArea | kTiming | kPointer;
    case Verb::Last:
        return kSeconds | kLook;
    default:
        return 0;
    }
}

// The extensions each command writes.
bool outputFits(Verb verb, OutputKind kind) {
    switch (verb) {
    case Verb::Shot:
    case Verb::Last:
        return kind == OutputKind::Png || kind == OutputKind::Bmp || kind == OutputKind::Clipboard;
    case Verb::Record:
        return kind == OutputKind::Gif || kind == OutputKind::Avi;
    default:
        return false;
    }
}

Command failed(Command command, Text error, const std::wstring& argument) {
    command.error = error;
    command.errorArgument = argument;
    return command;
}

bool isHelp(const std::wstring& argument) {
    return argument == L"/?" || argument == L"-?" || argument == L"-h" || sameText(argument, L"--help") ||
           sameText(argument, L"help");
}

}  // namespace

OutputKind outputKindOf(const std::wstring& path) {
    if (path == L"-") return OutputKind::Clipboard;
    const size_t dot = path.find_last_of(L".\\/");
    if (dot == std::wstring::npos || path[dot] != L'.') return OutputKind::None;
    const std::wstring extension = path.substr(dot);
    if (sameText(extension, L".png")) return OutputKind::Png;
    if (sameText(extension, L".bmp")) return OutputKind::Bmp;
    if (sameText(extension, L".gif")) return OutputKind::Gif;
    if (sameText(extension, L".avi")) return OutputKind::Avi;
    return OutputKind::None;
}

bool isCommand(const Command& command) { return command.verb != Verb::None; }

Command parseCommand(int count, const wchar_t* const* arguments) {
    Command command;
    if (count <= 0) return command;
    const std::wstring verb = arguments[0];
    if (isHelp(verb)) {
        command.verb = Verb::Help;
        return command;
    }
    if (sameText(verb, L"shot")) {
        command.verb = Verb::Shot;
    } else if (sameText(verb, L"record")) {
        command.verb = Verb::Record;
    } else if (sameText(verb, L"last")) {
        command.verb = Verb::Last;
    } else {
        command.verb = Verb::Help;
        return failed(command, Text::CommandUnknownFormat, verb);
    }
    const unsigned allowed = optionsOf(command.verb);
    bool stop = false;
    bool areaGiven = false;
    for (int i = 1; i < count; ++i) {
        std::wstring name = arguments[i];
        if (isHelp(name)) {
            command.verb = Verb::Help;
            return command;
        }
        // --name=value is --name value.
        std::wstring joined;
        bool hasJoined = false;
        const size_t equals = name.find(L'=');
        if (name.compare(0, 2, L"--") == 0 && equals != std::wstring::npos) {
            joined = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasJoined = true;
        }
        // The option's value: joined to it, or the next argument.
        auto value = [&](std::wstring* out) {
            if (hasJoined) {
                *out = joined;
                return true;
            }
            if (i + 1 >= count) return false;
            *out = arguments[++i];
            return true;
        };
        unsigned needs = 0;
        Area area = Area::Settings;
        if (sameText(name, L"--desktop")) {
            needs = kArea, area = Area::Desktop;
        } else if (sameText(name, L"--window")) {
            needs = kArea, area = Area::Window;
        } else if (sameText(name, L"--client")) {
            needs = kArea, area = Area::Client;
        } else if (sameText(name, L"--last-region")) {
            needs = kArea, area = Area::LastRegion;
        } else if (sameText(name, L"--region")) {
            needs = kArea, area = Area::Region;
        } else if (sameText(name, L"--seconds")) {
            needs = kTiming | kSeconds;
        } else if (sameText(name, L"--fps") || sameText(name, L"--delay")) {
            needs = kTiming;
        } else if (sameText(name, L"--mode") || sameText(name, L"--decay")) {
            needs = kLook;
        } else if (sameText(name, L"--pointer")) {
            needs = kPointer;
        } else if (sameText(name, L"--gif") || sameText(name, L"--avi")) {
            needs = kBeside;
        } else if (name == L"-o" || sameText(name, L"--output") || (sameText(name, L"--stop") && command.verb == Verb::Record)) {
            needs = ~0u;
        }
        const bool flag = (area != Area::Settings && area != Area::Region) || sameText(name, L"--pointer") ||
                          sameText(name, L"--stop");
        if (!(needs & allowed) || (hasJoined && flag)) {
            return failed(command, Text::CommandUnknownOptionFormat, arguments[i]);
        }
        if (sameText(name, L"--stop")) {
            stop = true;
            continue;
        }
        if (sameText(name, L"--pointer")) {
            command.pointer = true;
            continue;
        }
        if (area != Area::Settings) {
            if (areaGiven) return failed(command, Text::CommandUnknownOptionFormat, name);  // one area only
            areaGiven = true;
            command.area = area;
            if (area != Area::Region) continue;
        }
        std::wstring text;
        if (!value(&text)) return failed(command, Text::CommandMissingValueFormat, name);
        bool good = true;
        if (area == Area::Region) {
            if (!readRegion(text, &command.region)) return failed(command, Text::CommandBadRegion, text);
        } else if (sameText(name, L"--seconds")) {
            // What the options dialog takes: the shutter 0.1 s ... a day, a recording whole
            // seconds up to a day, the ring at most the longest it keeps.
            if (command.verb == Verb::Shot) {
                good = readSeconds(text, 0.1, kMaxShutterSeconds, &command.seconds);
            } else {
                int whole = 0;
                good = readInt(text, 1, command.verb == Verb::Last ? kMaxRetroSeconds : kMaxAviSeconds, &whole);
                command.seconds = whole;
            }
        } else if (sameText(name, L"--fps")) {
            good = readInt(text, 1, kMaxSampleRate, &command.fps);
        } else if (sameText(name, L"--delay")) {
            good = readSeconds(text, 0, kMaxDelaySeconds, &command.delay);
        } else if (sameText(name, L"--decay")) {
            good = readInt(text, 1, 500, &command.decayPercent);  // the dialog's 0.01 ... 5.00
        } else if (sameText(name, L"--mode")) {
            const wchar_t* modes[] = {L"mean", L"lighten", L"darken", L"median"};
            good = false;
            for (int m = 0; m < 4; ++m) {
                if (sameText(text, modes[m])) command.mode = m, good = true;
            }
        } else if (sameText(name, L"--gif") || sameText(name, L"--avi")) {
            const OutputKind wanted = sameText(name, L"--gif") ? OutputKind::Gif : OutputKind::Avi;
            if (outputKindOf(text) != wanted) return failed(command, Text::CommandBadExtensionFormat, text);
            (wanted == OutputKind::Gif ? command.gif : command.avi) = text;
        } else {
            command.output = text;
            command.outputKind = outputKindOf(text);
            if (!outputFits(command.verb, command.outputKind)) {
                return failed(command, Text::CommandBadExtensionFormat, text);
            }
        }
        if (!good) return failed(command, Text::CommandBadValueFormat, name + L" " + text);
    }
    if (stop) {
        // record --stop takes nothing else.
        if (count != 2) return failed(command, Text::CommandUnknownOptionFormat, L"--stop");
        command.verb = Verb::RecordStop;
        return command;
    }
    if (command.output.empty()) return failed(command, Text::CommandNoOutput, L"-o");
    return command;
}
