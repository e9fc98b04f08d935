// The system's own messages, exactly as the user sees them (UTF-8).
#pragma once

#include <string>

namespace tarsel::msg {

inline constexpr const char* kTitle = "警告";
inline constexpr const char* kNoFile = "検索対象となるファイルが、入力されていません。";
inline constexpr const char* kNoSearch = "検索する文字列が、入力されていません。";
inline constexpr const char* kSearchDone = "検索が終了しました。";

std::string FileTooLarge();  // refusal before loading
std::string FileCapacity();  // code 10
std::string MailCapacity();  // code 11
std::string HitCapacity();   // code 12
// A query's date condition that is no day, month or year (the text after "date:").
std::string DateNotRead(const std::string& date);
std::string CannotOpen(const std::string& path);
std::string NotRegularFile(const std::string& path);
std::string CannotRead(const std::string& path);
// A warning about one archive of a search of several, which names it.
std::string InArchive(const std::string& name, const std::string& message);

}  // namespace tarsel::msg
