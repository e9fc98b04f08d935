// The system's own messages, exactly as the user sees them (UTF-8).
#pragma once

#include <cstdint>
#include <string>

namespace tarsel::msg {

inline constexpr const char* kTitle = "警告";
inline constexpr const char* kNoFile = "検索対象となるファイルが、入力されていません。";
inline constexpr const char* kNoSearch = "検索する文字列が、入力されていません。";
inline constexpr const char* kSearchDone = "検索が終了しました。";

// The capacities' warnings; an mbox has larger capacities than the mark's format and names its
// own in the same words.
std::string FileTooLarge();  // refusal before loading
std::string FileTooLarge(std::uint64_t limit);
std::string FileCapacity();  // code 10
std::string MailCapacity();  // code 11
std::string MailCapacity(int limit);
std::string HitCapacity();  // code 12
std::string HitCapacity(int limit);
// A query's date condition that is no day, month or year (the text after "date:").
std::string DateNotRead(const std::string& date);
std::string CannotOpen(const std::string& path);
std::string NotRegularFile(const std::string& path);
std::string CannotRead(const std::string& path);
// A warning about one archive of a search of several, which names it.
std::string InArchive(const std::string& name, const std::string& message);

}  // namespace tarsel::msg
