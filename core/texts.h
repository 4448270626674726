#pragma once
// The program's own texts: captions, messages and their titles, and the save dialog's
// texts. They are written here in UTF-8 and compiled to Shift-JIS, the code page every
// text of the program is in; they are shown through the wide functions after an
// explicit code page 932 conversion (core/text.h).

inline constexpr char kProductName[] = "Kestrin";
// The version is the VERSION file's text at the top of the source tree, which the build
// defines as KESTRIN_VERSION (bare, made a string here).
#ifndef KESTRIN_VERSION
#error "KESTRIN_VERSION is defined by the build (cmake/version.cmake)"
#endif
#define KESTRIN_STRING_OF(tokens) #tokens
#define KESTRIN_STRING(tokens) KESTRIN_STRING_OF(tokens)
inline constexpr char kProductVersion[] = KESTRIN_STRING(KESTRIN_VERSION);

// Caption formats; each takes the product name and version first.
inline constexpr char kCaptionReady[] = "%s Ver %s";
inline constexpr char kCaptionInitialising[] = "%s Ver %s (初期化中）";
inline constexpr char kCaptionInitSlots[] = "%s Ver %s （初期化中 : %d / %d）";
inline constexpr char kCaptionSampling[] = "%s Ver %s ( %d / %d )";
inline constexpr char kCaptionCompositing[] = "%s Ver %s ( 合成中： %d / %d )";
inline constexpr char kCaptionShuttingDown[] = "%s Ver %s (終了処理中）";
inline constexpr char kCaptionReleasing[] = "%s Ver %s (終了処理中 : 解放(%d / %d) )";
// While the ring keeps the screen (takes its seconds), and while it is composited.
inline constexpr char kCaptionRetro[] = "%s Ver %s（直前 %d 秒を記録中）";
inline constexpr char kCaptionRetroCompositing[] = "%s Ver %s（直前 %d 枚を合成中）";

// Titles of the message boxes.
inline constexpr char kErrorTitle[] = "エラー";
inline constexpr char kSlotErrorTitle[] = "error";
inline constexpr char kFileSaveErrorTitle[] = "ファイル保存エラー";
inline constexpr char kAutoSaveErrorTitle[] = "自動保存エラー";
inline constexpr char kAviErrorTitle[] = "ビデオファイル作成エラー";
inline constexpr char kAviInfoTitle[] = "ビデオファイル";
inline constexpr char kSettingErrorTitle[] = "設定エラー";

// Start-up and capture.
inline constexpr char kSlotMemoryMessage[] = "現在の設定ではスクリーンショットの保存用メモリが\n確保出来ませんでした。";
inline constexpr char kStoreFailedMessage[] =
    "サンプルの保存領域を確保できませんでした。\n"
    "シャッター開放時間、秒間サンプル数またはキャプチャーする範囲を小さくして下さい。";
inline constexpr char kEmptyRectMessage[] = "キャプチャーする範囲がありません。";
inline constexpr char kNoSlotMessage[] = "スクリーンショットの保存用メモリがないため、キャプチャー出来ません。";

// BMP and PNG files.
inline constexpr char kBusyMessage[] =
    "スクリーンショット中は保存出来ません。\nスクリーンショットが終了してから保存して下さい。";
inline constexpr char kNoDataMessage[] = "保存するデータがありません";
inline constexpr char kNoMemoryMessage[] = "保存用メモリの確保に失敗しました。";
inline constexpr char kWriteFailedMessage[] = "ファイルの書き込みに失敗しました。";
inline constexpr char kFullMessage[] = "スクリーンショットが一杯です。";
inline constexpr char kUnusableNameMessage[] = "このファイル名では保存出来ません。\n別の名前を指定して下さい。";
inline constexpr char kNoRootMessage[] =
    "自動保存フォルダの指定が正しくないため保存出来ませんでした。\n"
    "ドライブ名（C:\\ など）から始まるフォルダを指定して下さい。";
inline constexpr char kGifFullMessage[] = "スクリーンショットGIFが一杯です。";
inline constexpr char kPngEncodeFailedMessage[] = "PNG形式の画像を作成出来ませんでした。";
inline constexpr char kSaveFilterName[] = "ビットマップファイル（*.bmp）";
inline constexpr char kSavePngFilterName[] = "PNGファイル（*.png）";
inline constexpr char kSaveDialogTitle[] = "ビットマップファイルを保存";
inline constexpr char kSavePngDialogTitle[] = "PNGファイルを保存";
inline constexpr char kSaveGifFilterName[] = "GIFファイル（*.gif）";
inline constexpr char kSaveGifDialogTitle[] = "GIFファイルを保存";

// The clipboard.
inline constexpr char kCopyErrorTitle[] = "コピーエラー";
inline constexpr char kClipboardBusyMessage[] =
    "クリップボードが他のプログラムに使われているため、\nコピー出来ませんでした。";

// AVI files. The "%d" ones take the number of frames the file keeps.
inline constexpr char kAviFullMessage[] = "スクリーンショットビデオが一杯です。";
inline constexpr char kAviTooLargeMessage[] =
    "ビデオファイルが扱える大きさ（2GB）を超えるため、\n録画を %d フレームで終了しました。";
inline constexpr char kAviNoMemoryMessage[] = "メモリが不足したため、\n録画を %d フレームで終了しました。";
inline constexpr char kAviAreaTooLargeMessage[] =
    "録画する範囲がスクリーンショットの保存用メモリより大きいため、\n録画を %d フレームで終了しました。";
inline constexpr char kAviWriteFailedMessage[] =
    "ビデオファイルに書き込めなかったため、\n録画を %d フレームで終了しました。";
inline constexpr char kAviDiskFullMessage[] =
    "ディスクの空き容量が足りなくなったため、\n録画を %d フレームで終了しました。";
inline constexpr char kAviNextFileMessage[] =
    "次のビデオファイルを作成出来なかったため、\n録画を %d フレームで終了しました。";
// Takes the number of files, then their names ("savi0000.avi ～ savi0002.avi", or each).
inline constexpr char kAviSplitMessage[] = "録画は大きいため、%d 個のファイルに分けて保存しました。\n%s";
// Before an AVI-only recording: takes the seconds and the frames it can have.
inline constexpr char kRecordingShortenedMessage[] =
    "ディスクの空き容量が足りないため、\nこの録画は最長 %d 秒（%d フレーム）までになります。";
inline constexpr char kRecordingNoRoomMessage[] = "ディスクの空き容量が足りないため、録画出来ません。";
inline constexpr char kAviNoRootMessage[] =
    "ビデオ保存フォルダの指定が正しくないため録画出来ませんでした。\n"
    "ドライブ名（C:\\ など）から始まるフォルダを指定して下さい。";
inline constexpr char kAviFolderUnusableMessage[] =
    "ビデオ保存フォルダにファイルを作成出来ないため、録画出来ません。\nフォルダの設定を確認して下さい。";
inline constexpr char kAviNotCreatedMessage[] =
    "ビデオファイルを作成出来なかったため、\n録画したフレームを保存出来ませんでした。";
inline constexpr char kAviRemovedMessage[] =
    "ビデオファイルを最後まで書き込めなかったため、\n壊れたファイルを削除しました。";

// A file that cannot take every sample while the samples are still held: why, with the
// samples in all and those it keeps; then what the user may do (ui/keep_dialog).
inline constexpr char kKeepRoomFormat[] =
    "ディスクの空き容量が足りないため、%d フレームのうち %d フレームしか保存出来ません。";
inline constexpr char kKeepWriteFormat[] = "ファイルに書き込めないため、%d フレームのうち %d フレームしか保存出来ません。";
inline constexpr char kKeepStoreFormat[] =
    "サンプルの保存領域を読み出せないため、%d フレームのうち %d フレームしか保存出来ません。";
inline constexpr char kKeepAdvice[] =
    "\n\nサンプルはまだ残っています。空きを作ってから［再試行］を押すか、"
    "［別の場所に保存...］で保存先を選んで下さい。\n［破棄］を押すと、保存出来なかったフレームは失われます。";
inline constexpr char kSaveAviFilterName[] = "AVIファイル（*.avi）";
inline constexpr char kSaveAviDialogTitle[] = "AVIファイルを保存";

// The options dialog.
// A key box's row for a key left unset (the region key, until one is chosen).
inline constexpr char kNoKeyName[] = "なし";
inline constexpr char kDuplicateKeyMessage[] =
    "スクリーンショットキーと録画開始キーと録画終了キーのどれかで\n同じキーが設定されています。\n"
    "同じキーにならないように設定して下さい。";
// The same while the ring of the last seconds is on and its key counts too.
inline constexpr char kDuplicateRetroKeyMessage[] =
    "スクリーンショットキー、録画開始キー、録画終了キー、\n直前の画面を合成するキーのどれかで"
    "同じキーが設定されています。\n同じキーにならないように設定して下さい。";
// What the ring takes on this desktop: the most and a still screen's, in MB; then, when
// its cap shortens it, the cap in MB and the seconds left, or that it holds no exposure.
inline constexpr char kRetroCostFormat[] = "使用メモリは最大 %d MB（静止画面なら約 %d MB）";
inline constexpr char kRetroCappedFormat[] = "上限 %d MB のため最長 %.1f 秒";
inline constexpr char kRetroNoRoomFormat[] = "上限 %d MB のため記録できません";

// The decay-curve preview when the median is chosen.
inline constexpr char kMedianCurveNote[] = "中央値の合成では\nサンプルの重みを\n使いません。";

// The folder dialog's titles, one per folder it sets.
inline constexpr char kAutoSaveFolderTitle[] = "ＳＳ自動セーブフォルダ設定";
inline constexpr char kAviFolderTitle[] = "ＡＶＩセーブフォルダ設定";
inline constexpr char kTempFolderTitle[] = "テンポラリファイル生成フォルダ設定";

// The ring of the last seconds.
inline constexpr char kRetroShortMessage[] =
    "メモリが足りないため、直前の画面を設定どおりには記録出来ません。\n記録出来る分だけを記録します。";

// The region the user selects.
inline constexpr char kRegionTitle[] = "範囲指定";
inline constexpr char kRegionOverlayTitle[] = "範囲を指定して撮影";
inline constexpr char kRegionMovedMessage[] =
    "前回指定した範囲が画面の外にあるため、\n画面に収まる範囲をキャプチャーします。";
