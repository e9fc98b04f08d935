// The command-line front end, run in-process: options, exit status, text and JSON output.
#include "cli/search_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <tuple>
#include <vector>

#include "cli/command.h"
#include "tarsel_version.h"
#include "tests/support/archive_builder.h"
#include "tests/support/temp_files.h"

namespace tarsel::cli {
namespace {

using test::Mail;

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs the command with its standard output in a temporary file (or in outFd when given).
Result RunCli(std::vector<std::string> args, Surroundings around = {}, int outFd = -1) {
    args.insert(args.begin(), "tarsel-search");
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    std::FILE* file = std::tmpfile();
    std::ostringstream err;
    const int status = RunCommand(static_cast<int>(argv.size()), argv.data(),
                                  outFd >= 0 ? outFd : fileno(file), err, around);
    std::string out;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) {
        out += static_cast<char>(c);
    }
    std::fclose(file);
    return Result{status, out, err.str()};
}

class SearchRunTest : public ::testing::Test {
  protected:
    SearchRunTest() {
        std::string archive;
        for (int i = 1; i <= 25; ++i) {
            // 差出人 as an encoded word; the body carries 検索 in ISO-2022-JP.
            archive += Mail("mail " + std::to_string(i), "\x1b$B8!:w\x1b(B and text\r\n",
                            "=?ISO-2022-JP?B?GyRCOjk9UD9NGyhC?= <a@example.jp>");
        }
        archive += Mail("no match", "plain\r\n");
        file = dir.Write("archive.mbox", archive).string();
    }
    test::TempDir dir;
    std::string file;
};

TEST_F(SearchRunTest, PrintsCountersAndEveryRowAsJson) {
    const Result r = RunCli({"--json", file, "検索"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["mails"], 26);
    EXPECT_EQ(json["hits"], 25);
    EXPECT_EQ(json["matching"], 25);
    ASSERT_EQ(json["rows"].size(), 25u);
    EXPECT_EQ(json["rows"][24]["position"], 25);
    EXPECT_EQ(json["rows"][24]["subject"], "mail 25");
    EXPECT_EQ(json["rows"][0]["sender"], "差出人 <a@example.jp>");
    EXPECT_EQ(json["rows"][0]["date"], "99/12/07 12:34:56");
    EXPECT_FALSE(json.contains("body"));
}

TEST_F(SearchRunTest, ListsOnePageAndShowsOneBody) {
    const Result r = RunCli({"--json", "--page", "2", "--show", "22", file, "検索"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json["rows"].size(), 5u);
    EXPECT_EQ(json["rows"][0]["position"], 21);
    const auto body = json["body"];
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[0]["text"], "検索");
    EXPECT_EQ(body[0]["hit"], true);
    EXPECT_EQ(body[1]["text"], " and text\r\n");
    EXPECT_EQ(body[1]["hit"], false);
}

TEST_F(SearchRunTest, PrintsTabSeparatedRows) {
    const Result r = RunCli({"--page", "1", file, "mail 1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("該当メール数 ："), std::string::npos);
    EXPECT_NE(r.out.find("\n1\t差出人 <a@example.jp>\tmail 1\t99/12/07 12:34:56\t0x"),
              std::string::npos)
        << r.out;
}

// A listing long enough for the conversion table and for many pages printed apart: every row
// once, in order, in both forms, the same whichever thread printed its page. Rows are written
// whole when no field needs escaping; some here need it in one field or another, and one has a
// subject longer than the room a page's rows are printed in.
TEST(LongListingTest, PrintsEveryRowOnceInOrder) {
    constexpr int kMails = 2045;
    const auto subjectOf = [](int i) {
        const std::string plain = "mail " + std::to_string(i);
        switch (i % 7) {
            case 1:
                return "say \"" + plain + "\"";
            case 2:
                return "back\\slash " + plain;
            case 3:
                return "tab\t" + plain;
            case 4:
                return i == 4 ? std::string(12000, 'x') + plain : plain;
            default:
                return plain;
        }
    };
    const auto senderOf = [](int i) {
        return std::string(i % 5 == 0 ? "\"差出人\"" : "差出人") + " <a@example.jp>";
    };
    std::string archive;
    for (int i = 1; i <= kMails; ++i) {
        archive += Mail(subjectOf(i), "\x1b$B8!:w\x1b(B\r\n",
                        i % 5 == 0 ? "\"=?ISO-2022-JP?B?GyRCOjk9UD9NGyhC?=\" <a@example.jp>"
                                   : "=?ISO-2022-JP?B?GyRCOjk9UD9NGyhC?= <a@example.jp>");
    }
    test::TempDir dir;
    const std::string file = dir.Write("long.mbox", archive).string();
    for (const bool json : {true, false}) {
        SCOPED_TRACE(json ? "json" : "text");
        const Result r = json ? RunCli({"--json", file, "検索"}) : RunCli({file, "検索"});
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<std::tuple<int, std::string, std::string>> rows;
        if (json) {
            const auto listing = nlohmann::json::parse(r.out);
            for (const auto& row : listing["rows"]) {
                rows.emplace_back(row["position"], row["sender"], row["subject"]);
            }
        } else {
            std::istringstream lines(
                r.out.substr(r.out.find(" 通\n", r.out.find("該当メール数")) + 5));
            for (std::string line; std::getline(lines, line);) {
                std::istringstream columns(line);
                std::string position, sender, subject;
                std::getline(columns, position, '\t');
                std::getline(columns, sender, '\t');
                std::getline(columns, subject, '\t');
                rows.emplace_back(std::stoi(position), sender, subject);
            }
        }
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(kMails));
        for (int i = 1; i <= kMails; ++i) {
            std::string subject = subjectOf(i);
            if (!json) {
                std::replace(subject.begin(), subject.end(), '\t', ' ');  // a column has no tab
            }
            ASSERT_EQ(rows[static_cast<std::size_t>(i - 1)],
                      std::make_tuple(i, senderOf(i), subject));
        }
    }
}

TEST_F(SearchRunTest, DecodedModeFindsWhatTheRawBytesHide) {
    const std::string mail =
        Mail("=?UTF-8?B?5qSc57Si?=", "5qSc57SiIPCfmIANCg==\r\n", "a@example.jp");
    const std::string utf8 =
        dir.Write("utf8.mbox", mail.substr(0, mail.find("\r\n\r\n")) +
                                   "\r\nContent-Type: text/plain; charset=utf-8\r\n"
                                   "Content-Transfer-Encoding: base64" +
                                   mail.substr(mail.find("\r\n\r\n")))
            .string();
    auto json =
        nlohmann::json::parse(RunCli({"--decoded", "--json", "--show", "1", utf8, "😀"}).out);
    EXPECT_EQ(json["mode"], "decoded");
    EXPECT_EQ(json["hits"], 1);
    EXPECT_EQ(json["body"][1], (nlohmann::json{{"text", "😀"}, {"hit", true}}));
    json = nlohmann::json::parse(RunCli({"--decoded", "--json", utf8, "検索"}).out);
    EXPECT_EQ(json["hits"], 2);  // the subject and the base64 body
    EXPECT_EQ(json["rows"][0]["subject"], "検索");
    EXPECT_EQ(nlohmann::json::parse(RunCli({"--json", utf8, "検索"}).out)["mode"], "raw");
    EXPECT_EQ(RunCli({utf8, "😀"}).status, 2);  // no Shift-JIS form: raw mode refuses it
}

TEST_F(SearchRunTest, ExitStatusTellsMatchNoMatchAndError) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* errorPart;  // part of standard error, or ""
    };
    const std::string missing = (dir.path() / "missing").string();
    const Case cases[] = {
        {{file, "nothing like it"}, 1, ""},
        {{"--page", "2", "--show", "1", file, "nothing like it"}, 1, ""},
        {{file, "x"}, 2, "検索する文字列が、入力されていません。"},
        {{missing, "abc"}, 2, "ファイルを開けません。"},
        {{missing, "abc"}, 2, "\nNo such file or directory\n"},
        {{dir.path().string(), "abc"}, 2, "通常のファイル"},
        {{"--page", "3", file, "検索"}, 2, "ページ 3"},
        {{"--show", "26", file, "検索"}, 2, "該当メール 26"},
        {{"--page", "0", file, "abc"}, 2, "--page"},
        {{"--bogus", file, "abc"}, 2, "unknown option"},
        // Names and arguments from outside reach a terminal escaped, never as raw controls.
        {{missing + "\x1b]0;t\x07\n", "abc"}, 2, "missing\\x1b]0;t\\x07\\x0a\nNo such"},
        {{"--\x1b[2J", file, "abc"}, 2, "unknown option --\\x1b[2J\n"},
        {{"--color=sometimes", file, "abc"}, 2, "--color"},
        {{"--export", "maildir", "out", file, "abc"}, 2, "--export needs mbox or eml"},
        {{file, "abc", "--export", "mbox"}, 2, "--export needs mbox or eml"},
        {{file, "--json"}, 2, "Usage"},
        {{file}, 2, "Usage"},
        {{"--help"}, 0, ""},
    };
    for (const Case& c : cases) {
        const Result r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.err;
        EXPECT_NE(r.err.find(c.errorPart), std::string::npos) << r.err;
    }
}

TEST_F(SearchRunTest, OptionsMayFollowTheOperandsAndDoubleDashEndsThem) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* outPart;  // part of standard output; "" for none at all
    };
    const std::string version = std::string("tarsel-search ") + kTarselVersion + "\n";
    const Case cases[] = {
        {{file, "検索", "--json", "--page", "2"}, 0, "\"position\": 21"},
        {{file, "--show", "1", "検索"}, 0, "\n\n検索 and text\n"},
        {{"--json", file, "--", "--json"}, 1, "\"matching\": 0"},
        {{"--", file, "-x"}, 1, "該当メール数 ：0 通"},
        {{"--show", "1", file, "nothing like it"}, 1, ""},
        {{file, "--version"}, 0, version.c_str()},
    };
    for (const Case& c : cases) {
        const Result r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1] << " " << r.err;
        if (*c.outPart == '\0') {
            EXPECT_EQ(r.out, "");
        } else {
            EXPECT_NE(r.out.find(c.outPart), std::string::npos) << r.out;
        }
    }
}

TEST_F(SearchRunTest, AFailedWriteEndsWithStatus2) {
    for (const char* json : {"--page=1", "--json"}) {
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_GE(full, 0);
        const Result r = RunCli({json, "--show", "1", file, "検索"}, {}, full);
        ::close(full);
        EXPECT_EQ(r.status, 2) << json;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    }
}

// A mail whose sender, subject (an encoded word too) and body try to drive the terminal.
TEST(HostileMailTest, ControlBytesOfAMailNeverReachStandardOutputRaw) {
    // ESC ] 0 ; x BEL, then 8-bit CSI, as the base64 of an encoded word.
    const std::string subject = "=?ISO-2022-JP?B?G10wO3gHmzJK?=";
    const std::string archive = Mail(subject,
                                     "\x1b[2J needle \x1b]0;title\x07 \x9b"
                                     "1m\x7f\r\nlone\rCR\r\n",
                                     "\x1b]0;evil\x07 \x9b"
                                     "31m <e@example.jp>");
    test::TempDir dir;
    const std::string file = dir.Write("hostile.mbox", archive).string();
    const auto raw = [](const std::string& out, bool json) {
        std::string found;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const auto c = static_cast<unsigned char>(out[i]);
            const bool layout = c == '\n' || (!json && c == '\t');
            const bool colour =
                out.compare(i, 5, "\x1b[31m") == 0 || out.compare(i, 4, "\x1b[0m") == 0;
            const bool c1 =
                c == 0xC2 && i + 1 < out.size() && static_cast<unsigned char>(out[i + 1]) < 0xA0;
            if (((c < 0x20 || c == 0x7F) && !layout && !(colour && !json)) || c1 ||
                (c >= 0x80 && c < 0xA0 &&
                 (i == 0 || static_cast<unsigned char>(out[i - 1]) < 0x80))) {
                found += std::to_string(i) + ":" + std::to_string(c) + " ";
            }
        }
        return found;
    };
    const Result text = RunCli({"--color=always", "--show", "1", file, "needle"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(raw(text.out, false), "") << text.out;
    EXPECT_NE(text.out.find("\\x1b]0;evil\\x07"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\x1b[31mneedle\x1b[0m"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("lone\nCR\n"), std::string::npos) << text.out;  // a bare CR ends a line

    const Result json = RunCli({"--json", "--show", "1", file, "needle"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(raw(json.out, true), "") << json.out;
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["rows"][0]["subject"].get<std::string>().substr(0, 6), "\x1b]0;x\x07");
}

TEST(ColourTest, HitsAreColouredOnATerminalUnlessRefused) {
    test::TempDir dir;
    const std::string file = dir.Write("a.mbox", Mail("s", "a needle\r\n")).string();
    struct Case {
        const char* option;
        Surroundings around;
        bool colour;
    };
    const Surroundings terminal{true, false, false};
    const Surroundings noColour{true, false, true};
    const Case cases[] = {
        {"--color=auto", terminal, true},   {"--color=auto", noColour, false},
        {"--color=auto", {}, false},        {"--color=never", terminal, false},
        {"--color=always", noColour, true}, {"--color", terminal, true},
    };
    for (const Case& c : cases) {
        const Result r = RunCli({c.option, "--show", "1", file, "needle"}, c.around);
        EXPECT_EQ(r.out.find("\x1b[31mneedle") != std::string::npos, c.colour)
            << c.option << " " << c.around.noColour;
    }
}

// /proc reports size 0 for files with content; our own command line is one of them.
TEST(UnsizedFileTest, IsReadToItsEnd) {
    const std::string name = std::filesystem::path(program_invocation_name).filename().string();
    const Result r = RunCli({"/proc/self/cmdline", name});
    EXPECT_EQ(r.status, 1) << r.err;  // no mail mark in it
    EXPECT_NE(r.out.find("該当個数 ："), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("該当個数 ：0 個"), std::string::npos) << r.out;
}

// Three archives, the middle one unreadable: the other two are searched and listed in the
// order given, counted together, and the status tells of the one that failed.
TEST(SeveralArchivesTest, ListsTheReadableOnesInOrderAndFailsForTheRest) {
    test::TempDir dir;
    std::string first;
    for (int i = 1; i <= 15; ++i) {
        first += Mail("first " + std::to_string(i), "needle\r\n");
    }
    const std::string a = dir.Write("first.mbox", first + Mail("none", "hay\r\n")).string();
    const std::string b = (dir.path() / "missing.mbox").string();
    const std::string c =
        dir.Write("second.mbox", Mail("second 1", "needle needle\r\n") +
                                     Mail("second 2", "hay\r\n") + Mail("second 3", "needle"))
            .string();
    const struct {
        std::vector<std::string> options;
        bool body;  // the 16th matching mail: the first of the third archive, read again
    } cases[] = {
        {{}, false},
        {{"--show", "16"}, true},
    };
    for (const auto& k : cases) {
        std::vector<std::string> args = k.options;
        args.insert(args.end(), {"--json", a, b, c, "needle"});
        const Result r = RunCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(b), std::string::npos) << r.err;
        const auto json = nlohmann::json::parse(r.out);
        EXPECT_EQ(json["mails"], 19);
        EXPECT_EQ(json["hits"], 18);
        EXPECT_EQ(json["matching"], 17);
        ASSERT_EQ(json["archives"].size(), 2u);
        EXPECT_EQ(json["archives"][0]["path"], a);
        EXPECT_EQ(json["archives"][1]["path"], c);
        EXPECT_EQ(json["archives"][1]["hits"], 3);
        EXPECT_EQ(json["archives"][1]["matching"], 2);
        ASSERT_EQ(json["rows"].size(), 17u);
        EXPECT_EQ(json["rows"][0]["file"], a);
        EXPECT_EQ(json["rows"][15]["position"], 16);
        EXPECT_EQ(json["rows"][15]["file"], c);
        EXPECT_EQ(json["rows"][16]["subject"], "second 3");
        ASSERT_EQ(json.contains("body"), k.body);
        if (k.body) {
            EXPECT_EQ(json["body"][0]["text"], "needle");
            EXPECT_EQ(json["body"][2]["text"], "needle");
        }
    }
    // A page that runs across two archives; text rows begin with their archive's path.
    std::string second;
    for (int i = 1; i <= 10; ++i) {
        second += Mail("more " + std::to_string(i), "needle\r\n");
    }
    const std::string d = dir.Write("more.mbox", second).string();
    const Result r = RunCli({"--page", "2", a, d, "needle"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("該当メール数 ：25 通\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n" + d + "\t21\tTaro <taro@example.jp>\tmore 6\t"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\t20\t"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(a + "\t"), std::string::npos) << "page 2 holds none of the first";
}

}  // namespace
}  // namespace tarsel::cli
