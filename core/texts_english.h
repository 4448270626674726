#pragma once
// The English texts, in the order of Text (core/texts.h); plain ASCII only. Each takes the
// same numbers in the same order as its Japanese text. Included by core/texts.cpp and by
// the table's test only.
#include "core/texts.h"

inline constexpr TextRow kEnglishTexts[] = {
    // Caption formats; each takes the product name and version first.
    {Text::CaptionReady, "%s Ver %s"},
    {Text::CaptionInitialising, "%s Ver %s (Initializing)"},
    {Text::CaptionInitSlots, "%s Ver %s (Initializing: %d / %d)"},
    {Text::CaptionSampling, "%s Ver %s ( %d / %d )"},
    {Text::CaptionCompositing, "%s Ver %s (Compositing: %d / %d)"},
    {Text::CaptionShuttingDown, "%s Ver %s (Shutting down)"},
    {Text::CaptionReleasing, "%s Ver %s (Shutting down: releasing %d / %d)"},
    // While the ring keeps the screen (takes its seconds), and while it is composited.
    {Text::CaptionRetro, "%s Ver %s (Keeping the last %d seconds)"},
    {Text::CaptionRetroCompositing, "%s Ver %s (Compositing the last %d samples)"},
    // A GIF encoded again to fit GIF_MAX_MB: the samples of the step under way.
    {Text::CaptionFittingGif, "%s Ver %s (Making the GIF smaller: %d / %d)"},

    // Titles of the message boxes.
    {Text::ErrorTitle, "Error"},
    {Text::SlotErrorTitle, "Error"},
    {Text::FileSaveErrorTitle, "Save Error"},
    {Text::AutoSaveErrorTitle, "AutoSave Error"},
    {Text::AviErrorTitle, "Video File Error"},
    {Text::AviInfoTitle, "Video File"},
    {Text::SettingErrorTitle, "Settings Error"},

    // Start-up and capture.
    {Text::SlotMemoryMessage, "There is not enough memory to hold a screenshot\nwith the current settings."},
    {Text::StoreFailedMessage,
     "Kestrin could not reserve space for the samples.\n"
     "Reduce the shutter time, the samples per second or the area to capture."},
    {Text::EmptyRectMessage, "There is no area to capture."},
    {Text::NoSlotMessage, "There is no memory to hold a screenshot, so nothing can be captured."},

    // BMP and PNG files.
    {Text::BusyMessage, "A screenshot cannot be saved while it is being taken.\nSave it once the screenshot has finished."},
    {Text::NoDataMessage, "There is nothing to save."},
    {Text::NoMemoryMessage, "There is not enough memory to save."},
    {Text::WriteFailedMessage, "The file could not be written."},
    {Text::FullMessage, "The screenshot folder is full."},
    {Text::UnusableNameMessage, "A file cannot be saved under this name.\nType another name."},
    {Text::NoRootMessage,
     "The AutoSave folder is not valid, so the screenshot was not saved.\n"
     "Choose a folder that begins with a drive (such as C:\\)."},
    {Text::GifFullMessage, "The folder is full of screenshot GIFs."},
    {Text::PngEncodeFailedMessage, "The PNG image could not be made."},
    {Text::SaveFilterName, "Bitmap Files (*.bmp)"},
    {Text::SavePngFilterName, "PNG Files (*.png)"},
    {Text::SaveDialogTitle, "Save Bitmap"},
    {Text::SavePngDialogTitle, "Save PNG"},
    {Text::SaveGifFilterName, "GIF Files (*.gif)"},
    {Text::SaveGifDialogTitle, "Save GIF"},

    // The clipboard.
    {Text::CopyErrorTitle, "Copy Error"},
    {Text::ClipboardBusyMessage, "Another program is using the clipboard,\nso nothing was copied."},

    // AVI files. The "%d" ones take the number of frames the file keeps.
    {Text::AviFullMessage, "The video folder is full."},
    {Text::AviTooLargeMessage,
     "The video file reached the largest size it can hold (2 GB),\nso the recording ended after %d frames."},
    {Text::AviNoMemoryMessage, "Kestrin ran out of memory,\nso the recording ended after %d frames."},
    {Text::AviAreaTooLargeMessage,
     "The area to record is larger than the screenshot memory,\nso the recording ended after %d frames."},
    {Text::AviWriteFailedMessage, "The video file could not be written,\nso the recording ended after %d frames."},
    {Text::AviDiskFullMessage, "The disk ran out of space,\nso the recording ended after %d frames."},
    {Text::AviNextFileMessage, "The next video file could not be created,\nso the recording ended after %d frames."},
    // Takes the number of files, then their names ("savi0000.avi - savi0002.avi", or each).
    {Text::AviSplitMessage, "The recording was large, so it was saved in %d files.\n%s"},
    // The files of a split recording: a run of numbers, or each name with what is left out.
    {Text::AviFileRangeFormat, "savi%04d.avi - savi%04d.avi"},
    {Text::AviFileSeparator, ", "},
    {Text::AviFileMore, ", ..."},
    // Before an AVI-only recording: takes the seconds and the frames it can have.
    {Text::RecordingShortenedMessage,
     "There is not enough disk space,\nso this recording can last at most %d seconds (%d frames)."},
    {Text::RecordingNoRoomMessage, "There is not enough disk space to record."},
    {Text::AviNoRootMessage,
     "The video folder is not valid, so nothing was recorded.\n"
     "Choose a folder that begins with a drive (such as C:\\)."},
    {Text::AviFolderUnusableMessage,
     "Files cannot be created in the video folder, so nothing can be recorded.\nCheck the folder settings."},
    {Text::AviNotCreatedMessage, "The video file could not be created,\nso the recorded frames were not saved."},
    {Text::AviRemovedMessage, "The video file could not be written to the end,\nso the damaged file was deleted."},

    // A file that cannot take every sample while the samples are still held: why, with the
    // samples in all and those it keeps; then what the user may do (ui/keep_dialog).
    {Text::KeepRoomFormat, "There is not enough disk space: of %d frames, only %d can be saved."},
    {Text::KeepWriteFormat, "The file cannot be written: of %d frames, only %d can be saved."},
    {Text::KeepStoreFormat, "The samples cannot be read back: of %d frames, only %d can be saved."},
    {Text::KeepAdvice,
     "\n\nThe samples are still kept. Free some space and click Retry, "
     "or click Save Elsewhere... to choose another place.\nClick Discard to lose the frames that were not saved."},
    {Text::SaveAviFilterName, "AVI Files (*.avi)"},
    {Text::SaveAviDialogTitle, "Save AVI"},

    // The options dialog.
    // A key box's row for a key left unset (the region key, until one is chosen).
    {Text::NoKeyName, "None"},
    // The arrow keys' names in a key box (the other keys' names are the same in every language).
    {Text::KeyUp, "Up"},
    {Text::KeyLeft, "Left"},
    {Text::KeyDown, "Down"},
    {Text::KeyRight, "Right"},
    {Text::DuplicateKeyMessage,
     "The same key is set for more than one of the screenshot key,\nthe recording start key and the recording stop key.\n"
     "Set a different key for each."},
    // The same while the ring of the last seconds is on and its key counts too.
    {Text::DuplicateRetroKeyMessage,
     "The same key is set for more than one of the screenshot key, the recording start key,\n"
     "the recording stop key and the key that composites the last seconds.\nSet a different key for each."},
    // What the ring takes on this desktop: the most and a still screen's, in MB; then, when
    // its cap shortens it, the cap in MB and the seconds left, or that it holds no exposure.
    {Text::RetroCostFormat, "Uses up to %d MB of memory\n(about %d MB for a still screen)"},
    {Text::RetroCappedFormat, "Limited to %d MB: at most %.1f seconds"},
    {Text::RetroNoRoomFormat, "Limited to %d MB: nothing can be kept"},
    // The memory a 640 x 480 window's capture needs, before the label's "MB...".
    {Text::MemoryAboutFormat, "About %d "},
    // The language box: LANGUAGE 0, 1 and 2.
    {Text::LanguageOfWindows, "Same as Windows"},
    {Text::LanguageJapanese, "Japanese"},
    {Text::LanguageEnglish, "English"},
    {Text::GifNoLimit, "No limit"},

    // A GIF made smaller to fit GIF_MAX_MB: the limit, then the file's KB, frames, colours
    // at most, width, height and the LZW packing's error bound.
    {Text::GifFittedFormat, "The GIF was made smaller to fit %d MB:\n%d KB, %d frames, up to %d colours, %d x %d pixels (LZW error up to %d)."},
    {Text::GifNotFittedFormat, "The GIF could not be made to fit %d MB:\n%d KB, %d frames, up to %d colours, %d x %d pixels (LZW error up to %d)."},
    {Text::GifFittedTitle, "GIF Size"},

    // The decay-curve preview when the median is chosen.
    {Text::MedianCurveNote, "The median\ncomposite does not\nweigh samples."},

    // The folder dialog's titles, one per folder it sets.
    {Text::AutoSaveFolderTitle, "Choose the AutoSave folder"},
    {Text::AviFolderTitle, "Choose the video folder"},
    {Text::TempFolderTitle, "Choose the folder for temporary files"},

    // The ring of the last seconds.
    {Text::RetroShortMessage,
     "There is not enough memory to keep the last seconds as set.\nKestrin keeps as much as fits."},

    // The region the user selects.
    {Text::RegionTitle, "Region"},
    {Text::RegionOverlayTitle, "Capture a Region"},
    {Text::RegionMovedMessage,
     "The region selected last time lies off the screen,\nso the part of it on the screen is captured."},
    // The command line (Kestrin.exe COMMAND [OPTIONS]): its usage, what is wrong with the
    // arguments (each takes the argument at fault), and what a command says as it goes.
    {Text::CommandUsage,
     "Usage: Kestrin COMMAND [OPTIONS]\n"
     "\n"
     "  shot -o FILE    one long exposure, written as FILE (.png or .bmp; - for the clipboard)\n"
     "  record -o FILE  a recording (.avi, or .gif)\n"
     "  record --stop   ends the running recording\n"
     "  last -o FILE    the last seconds the running Kestrin keeps (RETRO=1), composited now\n"
     "\n"
     "Where (shot, record; the options' choice when none is given):\n"
     "  --desktop  --window  --client  --region X,Y,W,H  --last-region\n"
     "How (each one the Kestrin.ini value when not given; nothing is written to it):\n"
     "  --seconds S      shot 0.1 to 86400, record 1 to 86400, last 1 to 60\n"
     "  --fps N          samples a second, 1 to 10000 (shot, record)\n"
     "  --mode M         mean, lighten, darken or median (shot, last)\n"
     "  --decay PERCENT  1 to 500 (shot, last)\n"
     "  --pointer        draw the mouse pointer (shot, record)\n"
     "  --delay S        wait S seconds before the first sample (shot, record)\n"
     "  --gif FILE  --avi FILE   the samples as an animated GIF or an AVI too (shot)\n"
     "\n"
     "Examples:\n"
     "  Kestrin shot --region 100,100,640,480 --seconds 3 -o shot.png\n"
     "  Kestrin last --seconds 10 --mode lighten -o run.png\n"
     "  Kestrin record --seconds 20 -o clip.gif\n"
     "\n"
     "Exit codes: 0 written, 1 failed while working, 2 bad arguments, 3 busy or no ring.\n"},
    {Text::CommandUnknownFormat, "Unknown command: %s"},
    {Text::CommandUnknownOptionFormat, "Unknown option for this command: %s"},
    {Text::CommandMissingValueFormat, "%s needs a value."},
    {Text::CommandBadValueFormat, "Value out of range or not a number: %s"},
    {Text::CommandBadRegion, "--region takes X,Y,W,H with a width and a height above 0: %s"},
    {Text::CommandBadExtensionFormat, "This command cannot write that type of file: %s"},
    {Text::CommandNoOutput, "Name the file to write with -o FILE."},
    {Text::CommandRegionOffScreen, "The region lies on no monitor."},
    {Text::CommandNoFolderFormat, "The folder to write into does not exist: %s"},
    {Text::CommandSampleFormat, "sample %d / %d"},
    {Text::CommandWrittenFormat, "written: %s"},
    {Text::CommandCopied, "copied to the clipboard"},
    {Text::CommandBusy, "Kestrin is busy (a capture, a recording, a dialog or a save is under way)."},
    {Text::CommandNoRing, "No ring of the last seconds is kept: start Kestrin with RETRO=1 first."},
    {Text::CommandNoRecording, "No recording is running."},
    {Text::CommandStopAsked, "the recording ends now"},
    {Text::CommandNotWritten, "Nothing was written."},
    {Text::CommandUnusablePathFormat, "This name cannot be written on this system: %s"},
    {Text::CommandRingShortFormat, "The ring holds %d of the %d seconds asked for."},
};
