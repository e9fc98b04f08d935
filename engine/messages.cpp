// The system's messages that are built from numbers or names.
#include "engine/messages.h"

#include "engine/search_state.h"

namespace tarsel::msg {

std::string FileTooLarge() {
    return FileTooLarge(kMaxFileSize);
}

std::string FileTooLarge(std::uint64_t limitBytes) {
    const std::string limit = std::to_string(limitBytes);
    return "ファイルサイズが " + limit + " バイトを超えています。\r\n\r\nファイルを " + limit +
           " バイト以下に分割してからやり直してください。";
}

std::string FileCapacity() {
    return "ファイルサイズが " + std::to_string(kMaxFileSize) +
           " バイトを超えています。\r\n\r\n容量オーバーにより、ファイルの読み込みを中断しました。";
}

std::string MailCapacity() {
    return MailCapacity(kMailCapacity);
}

std::string MailCapacity(int limit) {
    return "メール数が、" + std::to_string(limit) +
           " 通を超えています。\r\n\r\n容量オーバーにより、メールのカウントを中断しました。";
}

std::string HitCapacity() {
    return HitCapacity(kHitCapacity);
}

std::string HitCapacity(int limit) {
    return "該当個数数が、" + std::to_string(limit) +
           " 個を超えています。\r\n\r\n容量オーバーにより、文字列の検索を中断しました。";
}

std::string DateNotRead(const std::string& date) {
    return "日付の指定「date:" + date +
           "」が読めません。\r\n\r\nYYYY、YYYY-MM、YYYY-MM-DD か、その二つを .. でつないだ期間を"
           "指定してください。";
}

std::string CannotOpen(const std::string& path) {
    return "ファイルを開けません。\r\n\r\n" + path;
}

std::string NotRegularFile(const std::string& path) {
    return "通常のファイルではないため、検索できません。\r\n\r\n" + path;
}

std::string CannotRead(const std::string& path) {
    return "ファイルを読み込めません。\r\n\r\n" + path;
}

std::string InArchive(const std::string& name, const std::string& message) {
    return "「" + name + "」\r\n\r\n" + message;
}

}  // namespace tarsel::msg
