#pragma once
// The Japanese texts, in the order of Text (core/texts.h). Included by core/texts.cpp
// and by the table's test only.
#include "core/texts.h"

inline constexpr TextRow kJapaneseTexts[] = {
    // Caption formats; each takes the product name and version first.
    {Text::CaptionReady, "%s Ver %s"},
    {Text::CaptionInitialising, "%s Ver %s (初期化中）"},
    {Text::CaptionInitSlots, "%s Ver %s （初期化中 : %d / %d）"},
    {Text::CaptionSampling, "%s Ver %s ( %d / %d )"},
    {Text::CaptionCompositing, "%s Ver %s ( 合成中： %d / %d )"},
    {Text::CaptionShuttingDown, "%s Ver %s (終了処理中）"},
    {Text::CaptionReleasing, "%s Ver %s (終了処理中 : 解放(%d / %d) )"},
    // While the ring keeps the screen (takes its seconds), and while it is composited.
    {Text::CaptionRetro, "%s Ver %s（直前 %d 秒を記録中）"},
    {Text::CaptionRetroCompositing, "%s Ver %s（直前 %d 枚を合成中）"},
    // A GIF encoded again to fit GIF_MAX_MB: the samples of the step under way.
    {Text::CaptionFittingGif, "%s Ver %s ( GIF縮小中： %d / %d )"},

    // Titles of the message boxes.
    {Text::ErrorTitle, "エラー"},
    {Text::SlotErrorTitle, "error"},
    {Text::FileSaveErrorTitle, "ファイル保存エラー"},
    {Text::AutoSaveErrorTitle, "自動保存エラー"},
    {Text::AviErrorTitle, "ビデオファイル作成エラー"},
    {Text::AviInfoTitle, "ビデオファイル"},
    {Text::SettingErrorTitle, "設定エラー"},

    // Start-up and capture.
    {Text::SlotMemoryMessage, "現在の設定ではスクリーンショットの保存用メモリが\n確保出来ませんでした。"},
    {Text::StoreFailedMessage,
     "サンプルの保存領域を確保できませんでした。\n"
     "シャッター開放時間、秒間サンプル数またはキャプチャーする範囲を小さくして下さい。"},
    {Text::EmptyRectMessage, "キャプチャーする範囲がありません。"},
    {Text::NoSlotMessage, "スクリーンショットの保存用メモリがないため、キャプチャー出来ません。"},

    // BMP and PNG files.
    {Text::BusyMessage, "スクリーンショット中は保存出来ません。\nスクリーンショットが終了してから保存して下さい。"},
    {Text::NoDataMessage, "保存するデータがありません"},
    {Text::NoMemoryMessage, "保存用メモリの確保に失敗しました。"},
    {Text::WriteFailedMessage, "ファイルの書き込みに失敗しました。"},
    {Text::FullMessage, "スクリーンショットが一杯です。"},
    {Text::UnusableNameMessage, "このファイル名では保存出来ません。\n別の名前を指定して下さい。"},
    {Text::NoRootMessage,
     "自動保存フォルダの指定が正しくないため保存出来ませんでした。\n"
     "ドライブ名（C:\\ など）から始まるフォルダを指定して下さい。"},
    {Text::GifFullMessage, "スクリーンショットGIFが一杯です。"},
    {Text::PngEncodeFailedMessage, "PNG形式の画像を作成出来ませんでした。"},
    {Text::SaveFilterName, "ビットマップファイル（*.bmp）"},
    {Text::SavePngFilterName, "PNGファイル（*.png）"},
    {Text::SaveDialogTitle, "ビットマップファイルを保存"},
    {Text::SavePngDialogTitle, "PNGファイルを保存"},
    {Text::SaveGifFilterName, "GIFファイル（*.gif）"},
    {Text::SaveGifDialogTitle, "GIFファイルを保存"},

    // The clipboard.
    {Text::CopyErrorTitle, "コピーエラー"},
    {Text::ClipboardBusyMessage, "クリップボードが他のプログラムに使われているため、\nコピー出来ませんでした。"},

    // AVI files. The "%d" ones take the number of frames the file keeps.
    {Text::AviFullMessage, "スクリーンショットビデオが一杯です。"},
    {Text::AviTooLargeMessage, "ビデオファイルが扱える大きさ（2GB）を超えるため、\n録画を %d フレームで終了しました。"},
    {Text::AviNoMemoryMessage, "メモリが不足したため、\n録画を %d フレームで終了しました。"},
    {Text::AviAreaTooLargeMessage, "録画する範囲がスクリーンショットの保存用メモリより大きいため、\n録画を %d フレームで終了しました。"},
    {Text::AviWriteFailedMessage, "ビデオファイルに書き込めなかったため、\n録画を %d フレームで終了しました。"},
    {Text::AviDiskFullMessage, "ディスクの空き容量が足りなくなったため、\n録画を %d フレームで終了しました。"},
    {Text::AviNextFileMessage, "次のビデオファイルを作成出来なかったため、\n録画を %d フレームで終了しました。"},
    // Takes the number of files, then their names ("savi0000.avi ～ savi0002.avi", or each).
    {Text::AviSplitMessage, "録画は大きいため、%d 個のファイルに分けて保存しました。\n%s"},
    // The files of a split recording: a run of numbers, or each name with what is left out.
    {Text::AviFileRangeFormat, "savi%04d.avi ～ savi%04d.avi"},
    {Text::AviFileSeparator, "、"},
    {Text::AviFileMore, "、…"},
    // Before an AVI-only recording: takes the seconds and the frames it can have.
    {Text::RecordingShortenedMessage, "ディスクの空き容量が足りないため、\nこの録画は最長 %d 秒（%d フレーム）までになります。"},
    {Text::RecordingNoRoomMessage, "ディスクの空き容量が足りないため、録画出来ません。"},
    {Text::AviNoRootMessage,
     "ビデオ保存フォルダの指定が正しくないため録画出来ませんでした。\n"
     "ドライブ名（C:\\ など）から始まるフォルダを指定して下さい。"},
    {Text::AviFolderUnusableMessage, "ビデオ保存フォルダにファイルを作成出来ないため、録画出来ません。\nフォルダの設定を確認して下さい。"},
    {Text::AviNotCreatedMessage, "ビデオファイルを作成出来なかったため、\n録画したフレームを保存出来ませんでした。"},
    {Text::AviRemovedMessage, "ビデオファイルを最後まで書き込めなかったため、\n壊れたファイルを削除しました。"},

    // A file that cannot take every sample while the samples are still held: why, with the
    // samples in all and those it keeps; then what the user may do (ui/keep_dialog).
    {Text::KeepRoomFormat, "ディスクの空き容量が足りないため、%d フレームのうち %d フレームしか保存出来ません。"},
    {Text::KeepWriteFormat, "ファイルに書き込めないため、%d フレームのうち %d フレームしか保存出来ません。"},
    {Text::KeepStoreFormat, "サンプルの保存領域を読み出せないため、%d フレームのうち %d フレームしか保存出来ません。"},
    {Text::KeepAdvice,
     "\n\nサンプルはまだ残っています。空きを作ってから［再試行］を押すか、"
     "［別の場所に保存...］で保存先を選んで下さい。\n［破棄］を押すと、保存出来なかったフレームは失われます。"},
    {Text::SaveAviFilterName, "AVIファイル（*.avi）"},
    {Text::SaveAviDialogTitle, "AVIファイルを保存"},

    // The options dialog.
    // A key box's row for a key left unset (the region key, until one is chosen).
    {Text::NoKeyName, "なし"},
    // The arrow keys' names in a key box (the other keys' names are the same in every language).
    {Text::KeyUp, "↑"},
    {Text::KeyLeft, "←"},
    {Text::KeyDown, "↓"},
    {Text::KeyRight, "→"},
    {Text::DuplicateKeyMessage,
     "スクリーンショットキーと録画開始キーと録画終了キーのどれかで\n同じキーが設定されています。\n"
     "同じキーにならないように設定して下さい。"},
    // The same while the ring of the last seconds is on and its key counts too.
    {Text::DuplicateRetroKeyMessage,
     "スクリーンショットキー、録画開始キー、録画終了キー、\n直前の画面を合成するキーのどれかで"
     "同じキーが設定されています。\n同じキーにならないように設定して下さい。"},
    // What the ring takes on this desktop: the most and a still screen's, in MB; then, when
    // its cap shortens it, the cap in MB and the seconds left, or that it holds no exposure.
    {Text::RetroCostFormat, "使用メモリは最大 %d MB\n（静止画面なら約 %d MB）"},
    {Text::RetroCappedFormat, "上限 %d MB のため最長 %.1f 秒"},
    {Text::RetroNoRoomFormat, "上限 %d MB のため記録できません"},
    // The memory a 640 x 480 window's capture needs, before the label's "MB...".
    {Text::MemoryAboutFormat, "約 %d "},
    // The language box: LANGUAGE 0, 1 and 2. The choice of English is named in English.
    {Text::LanguageOfWindows, "Windows の設定に従う"},
    {Text::LanguageJapanese, "日本語"},
    {Text::LanguageEnglish, "English"},
    {Text::GifNoLimit, "制限なし"},

    // A GIF made smaller to fit GIF_MAX_MB: the limit, then the file's KB, frames, colours
    // at most, width, height and the LZW packing's error bound.
    {Text::GifFittedFormat, "GIFを%d MB以内に収めるため小さくしました。\n%d KB、%dフレーム、最大%d色、%d x %dピクセル（LZWの許容誤差 %d）"},
    {Text::GifNotFittedFormat, "GIFを%d MB以内に収められませんでした。\n%d KB、%dフレーム、最大%d色、%d x %dピクセル（LZWの許容誤差 %d）"},
    {Text::GifFittedTitle, "GIFのサイズ"},

    // The decay-curve preview when the median is chosen.
    {Text::MedianCurveNote, "中央値の合成では\nサンプルの重みを\n使いません。"},

    // The folder dialog's titles, one per folder it sets.
    {Text::AutoSaveFolderTitle, "ＳＳ自動セーブフォルダ設定"},
    {Text::AviFolderTitle, "ＡＶＩセーブフォルダ設定"},
    {Text::TempFolderTitle, "テンポラリファイル生成フォルダ設定"},

    // The ring of the last seconds.
    {Text::RetroShortMessage, "メモリが足りないため、直前の画面を設定どおりには記録出来ません。\n記録出来る分だけを記録します。"},

    // The region the user selects.
    {Text::RegionTitle, "範囲指定"},
    {Text::RegionOverlayTitle, "範囲を指定して撮影"},
    {Text::RegionMovedMessage, "前回指定した範囲が画面の外にあるため、\n画面に収まる範囲をキャプチャーします。"},
    // The command line (Kestrin.exe COMMAND [OPTIONS]): its usage, what is wrong with the
    // arguments (each takes the argument at fault), and what a command says as it goes.
    {Text::CommandUsage,
     "使い方: Kestrin コマンド [オプション]\n"
     "\n"
     "  shot -o ファイル    長時間露光を 1 枚撮り、ファイルに保存 (.png か .bmp。- ならクリップボード)\n"
     "  record -o ファイル  録画 (.avi か .gif)\n"
     "  record --stop       実行中の録画を終える\n"
     "  last -o ファイル    起動中の Kestrin が記録している直前の画面 (RETRO=1) を今すぐ合成\n"
     "\n"
     "撮る範囲 (shot, record。指定が無ければオプションの設定どおり):\n"
     "  --desktop  --window  --client  --region X,Y,幅,高さ  --last-region\n"
     "撮り方 (指定が無ければ Kestrin.ini の値。ini には何も書きません):\n"
     "  --seconds 秒        shot 0.1～86400、record 1～86400、last 1～60\n"
     "  --fps 枚数          1 秒あたりの枚数 1～10000 (shot, record)\n"
     "  --mode 方式         mean (平均)、lighten (比較(明))、darken (比較(暗))、median (中央値) (shot, last)\n"
     "  --decay パーセント  1～500 (shot, last)\n"
     "  --pointer           マウスポインタも撮る (shot, record)\n"
     "  --delay 秒          最初の 1 枚までの待ち時間 (shot, record)\n"
     "  --gif ファイル  --avi ファイル   撮った画面を GIF や AVI にも保存 (shot)\n"
     "\n"
     "例:\n"
     "  Kestrin shot --region 100,100,640,480 --seconds 3 -o shot.png\n"
     "  Kestrin last --seconds 10 --mode lighten -o run.png\n"
     "  Kestrin record --seconds 20 -o clip.gif\n"
     "\n"
     "終了コード: 0 保存した、1 作業中に失敗した、2 引数の誤り、3 実行中の作業がある・直前の画面を記録していない\n"},
    {Text::CommandUnknownFormat, "不明なコマンドです: %s"},
    {Text::CommandUnknownOptionFormat, "このコマンドには無いオプションです: %s"},
    {Text::CommandMissingValueFormat, "%s には値が必要です。"},
    {Text::CommandBadValueFormat, "値が範囲外か数ではありません: %s"},
    {Text::CommandBadRegion, "--region には X,Y,幅,高さ を指定してください (幅と高さは 1 以上): %s"},
    {Text::CommandBadExtensionFormat, "このコマンドではこの種類のファイルは保存出来ません: %s"},
    {Text::CommandNoOutput, "保存するファイルを -o ファイル で指定してください。"},
    {Text::CommandRegionOffScreen, "指定範囲がどのモニタにもありません。"},
    {Text::CommandNoFolderFormat, "保存先のフォルダがありません: %s"},
    {Text::CommandSampleFormat, "撮影 %d / %d"},
    {Text::CommandWrittenFormat, "保存しました: %s"},
    {Text::CommandCopied, "クリップボードにコピーしました"},
    {Text::CommandBusy, "Kestrin は作業中です (撮影・録画・ダイアログ・保存のいずれか)。"},
    {Text::CommandNoRing, "直前の画面を記録していません。RETRO=1 で Kestrin を起動しておいてください。"},
    {Text::CommandNoRecording, "録画していません。"},
    {Text::CommandStopAsked, "録画を終えます"},
    {Text::CommandNotWritten, "何も保存されませんでした。"},
    {Text::CommandUnusablePathFormat, "このシステムでは使えないファイル名です: %s"},
    {Text::CommandRingShortFormat, "直前の画面は %d 秒分しかありません (指定は %d 秒)。"},
};
