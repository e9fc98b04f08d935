// The built-in Japanese word lists of the archive generator.
#include "bench/archive_generator_vocabulary.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "bench/archive_generator_encoding.h"

namespace tarsel::archive {
namespace {

// Plain sentences; none may hold 検索, メール, 会議, 予定 or 報告, whose shares are set apart.
constexpr std::string_view kSentences[] = {
    "先日はありがとうございました。",
    "資料を添付しましたのでご確認ください。",
    "ご不明な点がありましたらお知らせください。",
    "担当者が不在のため、回答が遅れております。",
    "新しい版を共有フォルダに置きました。",
    "手順書の第三章を書き直しました。",
    "明日は午後から外出しております。",
    "費用の見積もりを作成中です。",
    "先方からの回答を待っているところです。",
    "作業の手順について確認させてください。",
    "前回の指摘事項はすべて対応済みです。",
    "試験環境の準備が整いました。",
    "設定ファイルの変更点を以下にまとめます。",
    "納期については改めて相談させてください。",
    "来月から新しい担当者が加わります。",
    "問題の原因はまだ分かっていません。",
    "対策案を二つ考えました。",
    "どちらが良いかご意見をいただけますか。",
    "念のため、お客様にも確認しております。",
    "今回の変更による影響はありません。",
    "不具合の修正版を作成しました。",
    "明後日までにお返事をいただけると助かります。",
    "社内の手続きが済み次第、発注いたします。",
    "朝から雨が降っていて寒い一日でした。",
    "来週は休暇をいただいております。",
    "新しいサーバの設置場所が決まりました。",
    "図面の修正をお願いできますでしょうか。",
    "関係部署とも相談のうえ進めます。",
    "資料の一部に古い数字が残っていました。",
    "内容を確認のうえ、ご返送ください。",
    "年末の大掃除の当番表を作りました。",
    "新人研修の講師を引き受けることになりました。",
    "先日お話しした件について、補足します。",
    "価格表の改訂版をお送りします。",
    "仕様の変更点を反映しました。",
    "作業の分担を見直しました。",
    "来客の対応をお願いできますか。",
    "電話でお話ししたとおりです。",
    "東京は今日も晴れています。",
    "大阪支店からの依頼を受けました。",
    "印刷物の校正をお願いします。",
    "品質管理の基準が改定されました。",
    "取引先の住所が変わりました。",
    "請求書を郵送しました。",
    "契約書の原本を受け取りました。",
    "次の段階に進んでも問題ないと考えます。",
    "細かい点は後ほど詰めましょう。",
    "ご協力ありがとうございました。",
    "お手数ですが、ご記入のうえ返送してください。",
    "新しい端末の配布は来週以降になります。",
    "在庫の数が合わないとの連絡がありました。",
    "先月分の経費の精算をお願いします。",
    "倉庫の鍵は総務で預かっています。",
    "ご指摘の箇所を直しました。",
    "作業中はサーバが止まりますのでご注意ください。",
    "お客様からの問い合わせが増えています。",
    "現在、原因を調べているところです。",
    "今のところ大きな問題は出ていません。",
    "部長の承認をいただきました。",
    "見本を三部お送りします。",
};

constexpr std::string_view kSearchSentences[] = {
    "検索機能の改善案をまとめました。",
    "全文検索の応答が遅いとの指摘がありました。",
    "検索結果の並び順を日付順に変更しました。",
    "過去の議事録を検索できるようにしてほしいとの要望です。",
    "検索条件に日付の範囲を追加しました。",
    "検索用の索引を毎晩作り直す設定にしました。",
    "社内文書の検索に時間がかかっています。",
    "検索画面の使い方を説明した資料を添付します。",
    "キーワード検索で該当しない場合があるようです。",
    "検索速度を測定した結果を共有します。",
};

constexpr std::string_view kMailSentences[] = {
    "メールありがとうございます。",
    "昨日のメールの件、承知しました。",
    "詳細は追ってメールでご連絡します。",
    "メールの添付ファイルが開けないとのことです。",
    "このメールは関係者の皆様にお送りしています。",
    "メールサーバの移行作業が完了しました。",
    "返信のメールが届いていないようです。",
    "古いメールを整理して容量を空けてください。",
    "メールでのご質問は担当者宛てにお願いします。",
};

constexpr std::string_view kMeetingSentences[] = {
    "来週の会議は第二会議室で行います。", "会議の資料を事前にお読みください。",
    "本日の会議の議事録を送ります。",     "会議の開始時刻を三十分遅らせます。",
    "定例会議は今月から隔週になります。", "会議に出席できない方はご連絡ください。",
    "会議で出た課題を一覧にしました。",
};

constexpr std::string_view kPlanSentences[] = {
    "今週の予定をお知らせします。",
    "出張の予定が変更になりました。",
    "作業は月末までに終える予定です。",
    "予定表を更新しましたのでご確認ください。",
    "次回の打ち合わせの予定を調整させてください。",
    "試験の予定は別紙のとおりです。",
    "予定どおり進んでいます。",
};

constexpr std::string_view kReportSentences[] = {
    "先週の作業について報告します。",
    "月次報告を提出しました。",
    "障害の報告書をまとめました。",
    "進捗報告は金曜日までにお願いします。",
    "報告の内容に誤りがありましたので訂正します。",
    "調査の結果を報告いたします。",
    "出張報告を添付します。",
};

constexpr std::string_view kGreetings[] = {
    "お世話になっております。", "いつもお世話になっております。", "こんにちは。",
    "お疲れさまです。",         "ご無沙汰しております。",
};

constexpr std::string_view kClosings[] = {
    "よろしくお願いいたします。",
    "以上、よろしくお願いします。",
    "取り急ぎご連絡まで。",
    "今後ともよろしくお願い致します。",
    "以上です。",
};

constexpr std::string_view kSubjects[] = {
    "来週の会議について",
    "検索システムの件",
    "月次報告",
    "打ち合わせ日程のご相談",
    "見積もりのお願い",
    "資料送付のご案内",
    "障害発生のお知らせ",
    "作業予定の変更",
    "議事録の送付",
    "出張のご報告",
    "サーバ移行について",
    "新年会のお知らせ",
    "仕様変更のお願い",
    "ご質問の件",
    "請求書の件",
    "試験結果のまとめ",
    "メール容量の整理について",
    "休暇のお知らせ",
    "研修日程のご案内",
    "進捗のご報告",
    "お礼",
    "年末年始の予定",
    "検索速度の改善",
    "契約書の送付",
    "人事異動のお知らせ",
    "新しい端末の配布について",
};

constexpr std::string_view kSubjectPrefixes[] = {"【重要】", "【至急】", "【連絡】"};
constexpr std::string_view kSubjectSuffixes[] = {"（再送）", "（第二報）", "（訂正）",
                                                 "（ご確認ください）"};

constexpr std::string_view kAgendaItems[] = {
    "前回の議事録の確認", "各担当からの進捗", "来期の体制について",
    "予算の見直し",       "次回の日程",       "その他",
};

constexpr std::string_view kRooms[] = {"第一会議室", "第二会議室", "本館三階大会議室",
                                       "別館小会議室"};

constexpr std::string_view kCompanies[] = {"株式会社見本商事", "例示工業株式会社", "有限会社試験堂",
                                           "見本電機株式会社"};

constexpr std::string_view kDepartments[] = {"開発部", "営業部", "総務部",
                                             "技術部", "企画部", "品質保証部"};

constexpr std::pair<std::string_view, std::string_view> kSurnames[] = {
    {"山田", "yamada"},    {"田中", "tanaka"},    {"鈴木", "suzuki"},     {"佐藤", "sato"},
    {"高橋", "takahashi"}, {"伊藤", "ito"},       {"渡辺", "watanabe"},   {"中村", "nakamura"},
    {"小林", "kobayashi"}, {"加藤", "kato"},      {"吉田", "yoshida"},    {"山本", "yamamoto"},
    {"松本", "matsumoto"}, {"井上", "inoue"},     {"木村", "kimura"},     {"林", "hayashi"},
    {"清水", "shimizu"},   {"山口", "yamaguchi"}, {"森", "mori"},         {"池田", "ikeda"},
    {"橋本", "hashimoto"}, {"石川", "ishikawa"},  {"前田", "maeda"},      {"藤田", "fujita"},
    {"岡田", "okada"},     {"後藤", "goto"},      {"長谷川", "hasegawa"}, {"村上", "murakami"},
    {"近藤", "kondo"},     {"坂本", "sakamoto"},
};

constexpr std::pair<std::string_view, std::string_view> kGivenNames[] = {
    {"太郎", "taro"},     {"花子", "hanako"},   {"一郎", "ichiro"}, {"次郎", "jiro"},
    {"健一", "kenichi"},  {"誠", "makoto"},     {"修", "osamu"},    {"浩", "hiroshi"},
    {"博之", "hiroyuki"}, {"直樹", "naoki"},    {"裕子", "yuko"},   {"恵子", "keiko"},
    {"明美", "akemi"},    {"智子", "tomoko"},   {"由美", "yumi"},   {"美穂", "miho"},
    {"和也", "kazuya"},   {"正人", "masato"},   {"聡", "satoshi"},  {"達也", "tatsuya"},
    {"幸子", "sachiko"},  {"真理子", "mariko"}, {"洋平", "yohei"},  {"大輔", "daisuke"},
};

constexpr std::string_view kWeekdays[] = {"（日）", "（月）", "（火）", "（水）",
                                          "（木）", "（金）", "（土）"};

JapaneseText Convert(std::string_view utf8) {
    std::optional<std::string> sjis = Utf8ToCp932(utf8);
    std::optional<std::string> jis;
    if (sjis) {
        jis = Cp932ToJisPairs(*sjis);
    }
    if (!jis) {
        std::fprintf(stderr, "archive generator: cannot convert \"%.*s\" to JIS X 0208\n",
                     static_cast<int>(utf8.size()), utf8.data());
        std::abort();
    }
    return JapaneseText{std::move(*jis), std::move(*sjis)};
}

template <std::size_t N>
std::vector<JapaneseText> ConvertAll(const std::string_view (&texts)[N]) {
    std::vector<JapaneseText> out;
    out.reserve(N);
    for (std::string_view text : texts) {
        out.push_back(Convert(text));
    }
    return out;
}

template <std::size_t N>
std::vector<Name> ConvertNames(const std::pair<std::string_view, std::string_view> (&names)[N]) {
    std::vector<Name> out;
    out.reserve(N);
    for (const auto& [kanji, romaji] : names) {
        out.push_back(Name{Convert(kanji), romaji});
    }
    return out;
}

Vocabulary Build() {
    Vocabulary v;
    v.sentences = ConvertAll(kSentences);
    v.keywordSentences[kSearch] = ConvertAll(kSearchSentences);
    v.keywordSentences[kMail] = ConvertAll(kMailSentences);
    v.keywordSentences[kMeeting] = ConvertAll(kMeetingSentences);
    v.keywordSentences[kPlan] = ConvertAll(kPlanSentences);
    v.keywordSentences[kReport] = ConvertAll(kReportSentences);
    v.greetings = ConvertAll(kGreetings);
    v.closings = ConvertAll(kClosings);
    v.subjects = ConvertAll(kSubjects);
    v.subjectPrefixes = ConvertAll(kSubjectPrefixes);
    v.subjectSuffixes = ConvertAll(kSubjectSuffixes);
    v.agendaItems = ConvertAll(kAgendaItems);
    v.rooms = ConvertAll(kRooms);
    v.companies = ConvertAll(kCompanies);
    v.departments = ConvertAll(kDepartments);
    v.surnames = ConvertNames(kSurnames);
    v.givenNames = ConvertNames(kGivenNames);
    for (std::size_t i = 0; i < v.weekdays.size(); ++i) {
        v.weekdays[i] = Convert(kWeekdays[i]);
    }
    v.san = Convert("さん");
    v.sama = Convert("様");
    v.allConcerned = Convert("関係者各位");
    v.desu = Convert("です。");
    v.wrote = Convert("さんは書きました：");
    v.dateLabel = Convert("日時：");
    v.placeLabel = Convert("場所：");
    v.agendaLabel = Convert("議題：");
    v.wideSpace = Convert("　");
    return v;
}

}  // namespace

const Vocabulary& BuiltInVocabulary() {
    static const Vocabulary vocabulary = Build();
    return vocabulary;
}

}  // namespace tarsel::archive
