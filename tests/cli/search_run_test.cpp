// The command-line front end, run in-process: options, exit status, text and JSON output.
#include "cli/search_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <vector>

#include "cli/cli_options.h"
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

Result RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), "tarsel-search");
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    std::ostringstream out;
    std::ostringstream err;
    Options options;
    int status = 0;
    if (auto early = ParseOptions(static_cast<int>(argv.size()), argv.data(), options, out, err)) {
        status = *early;
    } else {
        status = RunSearch(options, out, err, false, false);
    }
    return Result{status, out.str(), err.str()};
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
        {{dir.path().string(), "abc"}, 2, "通常のファイル"},
        {{"--page", "3", file, "検索"}, 2, "ページ 3"},
        {{"--show", "26", file, "検索"}, 2, "該当メール 26"},
        {{"--page", "0", file, "abc"}, 2, "--page"},
        {{"--bogus", file, "abc"}, 2, "unknown option"},
        {{file}, 2, "Usage"},
        {{"--help"}, 0, ""},
    };
    for (const Case& c : cases) {
        const Result r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.err;
        EXPECT_NE(r.err.find(c.errorPart), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tarsel::cli
