// The window's own texts (labels, buttons, menus, titles), written once, as the user sees them.
// The messages of the search itself live with the engine (engine/messages.h).
#pragma once

namespace tarsel::ui_text {

// Frames and menus.
inline constexpr const char* kAppTitle = "Tarsel";
inline constexpr const char* kDocumentBaseName = "Tarsel";  // untitled documents: Tarsel1, ...
inline constexpr const char* kHelpMenu = "ﾍﾙﾌﾟ(&H)";
inline constexpr const char* kHelpFinder = "ﾄﾋﾟｯｸの検索(&H)";
// The about item reads with a blank before "(&A)" while a document window is open.
inline constexpr const char* kAboutWithDocument = "ﾊﾞｰｼﾞｮﾝ情報(Tarsel) (&A)...";
inline constexpr const char* kAboutWithoutDocument = "ﾊﾞｰｼﾞｮﾝ情報(Tarsel)(&A)...";
// The centre of the main window while no document window is open.
inline constexpr const char* kNoDocumentHint = "Ctrl+N で新しいウィンドウを開きます。";

// Input pane.
inline constexpr const char* kFileLabel = "対象ファイル ：";
inline constexpr const char* kStartButton = "検索開始(&S)";
inline constexpr const char* kSearchLabel = "検索文字(&T) ：";
inline constexpr const char* kDecodedCheck = "デコード検索(&D)";
// The decoded search's options, greyed in the raw mode.
inline constexpr const char* kKanaCheck = "かな/カナを区別しない(&K)";
inline constexpr const char* kExactCheck = "完全一致(&E)";
// The search field's tooltip in the decoded mode: how a query is written.
inline constexpr const char* kQuerySyntax =
    "語 語 … すべてを含むメール\n"
    "\"語 語\" 空白を含む語句\n"
    "-語 含まないメール\n"
    "語 OR 語 どちらか\n"
    "件名: 差出人: 本文: その欄だけ（subject: from: body: も可）\n"
    "date:2012-04..2012-06 期間（YYYY / YYYY-MM / YYYY-MM-DD、片側は省略可）\n"
    "全角/半角・大文字/小文字は区別しません（完全一致で区別）";
inline constexpr const char* kMailCountLabel = "全メール数 ：";
inline constexpr const char* kHitCountLabel = "該当個数 ：";
inline constexpr const char* kMatchCountLabel = "該当メール数 ：";
inline constexpr const char* kMailUnit = "通";
inline constexpr const char* kHitUnit = "個";
inline constexpr const char* kLoadPhase = "読み込み";
inline constexpr const char* kCountPhase = "カウント";
inline constexpr const char* kSearchPhase = "検索";
inline constexpr const char* kSearchNotShiftJis = "検索文字列を Shift-JIS に変換できません。";

// Result list pane.
inline constexpr const char* kMailNoLabel = "通目の該当メール";
// The shown mail's red run at the caret, of all of them: "該当箇所 3 / 17".
inline constexpr const char* kRunPosition = "該当箇所 %1 / %2";
inline constexpr const char* kRunPositionTip = "F3 で次の該当箇所、Shift+F3 で前の該当箇所へ";
inline constexpr const char* kPrevButton = "<< (&P)";
inline constexpr const char* kNextButton = "(&N) >>";
inline constexpr const char* kColumnSender = "差出人";
inline constexpr const char* kColumnSubject = "件名";
inline constexpr const char* kColumnDate = "送信日時";
inline constexpr const char* kColumnAddress = "アドレス";
// The first column while a search covers several archives: the archive of the row.
inline constexpr const char* kColumnFile = "ファイル";
// After the first archive's name in 対象ファイル: " ほか " N " 件".
inline constexpr const char* kMoreFilesBefore = " ほか ";
inline constexpr const char* kMoreFilesAfter = " 件";
inline constexpr const char* kNoArchiveInFolder = "フォルダに、検索できるファイルがありません。";

// Saving matching mails: the list's context menu and Ctrl+S, the question which mails, the
// file dialog and the progress of a long save.
inline constexpr const char* kSaveItem = "保存(&S)...";
inline constexpr const char* kSaveTitle = "保存";
inline constexpr const char* kSaveQuestion = "保存するメールを選んでください。";
inline constexpr const char* kSaveSelected = "選択したメール(&S)";
// "該当メールすべて（" N " 通）(&A)"
inline constexpr const char* kSaveAllBefore = "該当メールすべて（";
inline constexpr const char* kSaveAllAfter = " 通）(&A)";
inline constexpr const char* kSaveCancel = "キャンセル";
inline constexpr const char* kSaveFilter = "mbox (*.mbox);;すべてのファイル (*)";
inline constexpr const char* kSaving = "メールを保存しています...";

// Version-information dialog.
inline constexpr const char* kVersionTitle = "Version Infomation Tarsel";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kVersion = "1.0.0.1";

}  // namespace tarsel::ui_text
