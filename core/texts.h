#pragma once
// The program's own texts, in two languages: one table each (core/texts_japanese.h,
// core/texts_english.h), the same identifiers in both, in the order of Text. They are
// written in UTF-8 and compiled to Shift-JIS, the code page every text of the program is
// in (the English ones are plain ASCII, the same bytes in either); they are shown through
// the wide functions after an explicit code page 932 conversion (core/text.h).
// Menus and dialogs carry their texts in their templates, one per language
// (resources/dialogs_*.rc).
#include <windows.h>

inline constexpr char kProductName[] = "Kestrin";
// The version is the VERSION file's text at the top of the source tree, which the build
// defines as KESTRIN_VERSION (bare, made a string here). A name, not a text: the same in
// every language.
#ifndef KESTRIN_VERSION
#error "KESTRIN_VERSION is defined by the build (cmake/version.cmake)"
#endif
#define KESTRIN_STRING_OF(tokens) #tokens
#define KESTRIN_STRING(tokens) KESTRIN_STRING_OF(tokens)
inline constexpr char kProductVersion[] = KESTRIN_STRING(KESTRIN_VERSION);

enum class Language { Japanese, English };

enum class Text {
    CaptionReady,
    CaptionInitialising,
    CaptionInitSlots,
    CaptionSampling,
    CaptionCompositing,
    CaptionShuttingDown,
    CaptionReleasing,
    CaptionRetro,
    CaptionRetroCompositing,
    CaptionFittingGif,
    ErrorTitle,
    SlotErrorTitle,
    FileSaveErrorTitle,
    AutoSaveErrorTitle,
    AviErrorTitle,
    AviInfoTitle,
    SettingErrorTitle,
    SlotMemoryMessage,
    StoreFailedMessage,
    EmptyRectMessage,
    NoSlotMessage,
    BusyMessage,
    NoDataMessage,
    NoMemoryMessage,
    WriteFailedMessage,
    FullMessage,
    UnusableNameMessage,
    NoRootMessage,
    GifFullMessage,
    PngEncodeFailedMessage,
    SaveFilterName,
    SavePngFilterName,
    SaveDialogTitle,
    SavePngDialogTitle,
    SaveGifFilterName,
    SaveGifDialogTitle,
    CopyErrorTitle,
    ClipboardBusyMessage,
    AviFullMessage,
    AviTooLargeMessage,
    AviNoMemoryMessage,
    AviAreaTooLargeMessage,
    AviWriteFailedMessage,
    AviDiskFullMessage,
    AviNextFileMessage,
    AviSplitMessage,
    AviFileRangeFormat,
    AviFileSeparator,
    AviFileMore,
    RecordingShortenedMessage,
    RecordingNoRoomMessage,
    AviNoRootMessage,
    AviFolderUnusableMessage,
    AviNotCreatedMessage,
    AviRemovedMessage,
    KeepRoomFormat,
    KeepWriteFormat,
    KeepStoreFormat,
    KeepAdvice,
    SaveAviFilterName,
    SaveAviDialogTitle,
    NoKeyName,
    KeyUp,
    KeyLeft,
    KeyDown,
    KeyRight,
    DuplicateKeyMessage,
    DuplicateRetroKeyMessage,
    RetroCostFormat,
    RetroCappedFormat,
    RetroNoRoomFormat,
    MemoryAboutFormat,
    LanguageOfWindows,
    LanguageJapanese,
    LanguageEnglish,
    GifNoLimit,
    GifFittedFormat,
    GifNotFittedFormat,
    GifFittedTitle,
    MedianCurveNote,
    AutoSaveFolderTitle,
    AviFolderTitle,
    TempFolderTitle,
    RetroShortMessage,
    RegionTitle,
    RegionOverlayTitle,
    RegionMovedMessage,
    CommandUsage,
    CommandUnknownFormat,
    CommandUnknownOptionFormat,
    CommandMissingValueFormat,
    CommandBadValueFormat,
    CommandBadRegion,
    CommandBadExtensionFormat,
    CommandNoOutput,
    CommandRegionOffScreen,
    CommandNoFolderFormat,
    CommandSampleFormat,
    CommandWrittenFormat,
    CommandCopied,
    CommandBusy,
    CommandNoRing,
    CommandNoRecording,
    CommandStopAsked,
    CommandNotWritten,
    CommandUnusablePathFormat,
    CommandRingShortFormat,
    Count
};

struct TextRow {
    Text id;
    const char* text;
};

// The text of `id` in the language the program speaks now (app.language).
const char* uiText(Text id);
// The same in a given language.
const char* textIn(Language language, Text id);

// The language a LANGUAGE setting names: 1 Japanese, 2 English; 0 and any other value
// follow the user's Windows display language: Japanese where its primary language is
// Japanese, English everywhere else.
Language languageOfSetting(int setting, LANGID userLanguage);

// The LANGID a language's menus and dialogs are stored under in the resources.
LANGID resourceLanguage(Language language);
