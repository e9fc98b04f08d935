// Whole searches over the files users really have: files that change while they load, random
// bytes, nothing but marks, giant header lines, thousands of encoded words, bodies of escape
// sequences, files that cannot be opened or read. Each must end with a correct result or a
// clear message, and the file itself must be left exactly as it was.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "decode/jis.h"
#include "engine/file_mapping.h"
#include "engine/messages.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"
#include "tests/support/archive_builder.h"
#include "tests/support/gcc12_restrict.h"
#include "tests/support/recording_panes.h"
#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

namespace fs = std::filesystem;
using test::kMark;
using test::Mail;

const std::string kJisKensaku = "\x1b$B8!:w\x1b(B";                 // "検索" as ISO-2022-JP
const std::string kSjisKensaku = "\x8C\x9F\x8D\xF5";                // "検索" as typed
const std::string kKonWord = "=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=";  // "こん"
const std::string kSjisKon = "\x82\xB1\x82\xF1";

// What a search must report, read naively off the whole text as the loaders leave it.
struct NaiveResult {
    std::vector<int> marks;
    int hits = 0;
    std::vector<int> matching;  // mail indexes, ascending, each once
};

std::vector<int> Occurrences(const std::string& text, const std::string& pattern) {
    std::vector<int> found;
    for (std::size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + 1)) {
        found.push_back(static_cast<int>(at));
    }
    return found;
}

NaiveResult ReadNaively(std::string text, std::string pattern) {
    std::replace(text.begin(), text.end(), '\0', ' ');
    if (!pattern.empty() && IsSjisLeadByte(static_cast<unsigned char>(pattern[0]))) {
        ConvertPatternToJis(pattern);
    }
    NaiveResult result;
    result.marks = Occurrences(text, kMark);
    const std::vector<int> hits = Occurrences(text, pattern);
    result.hits = static_cast<int>(hits.size());
    for (const int hit : hits) {
        const auto after = std::upper_bound(result.marks.begin(), result.marks.end(), hit);
        const int mail = static_cast<int>(after - result.marks.begin()) - 1;
        if (mail >= 0 && (result.matching.empty() || result.matching.back() != mail)) {
            result.matching.push_back(mail);
        }
    }
    return result;
}

// Holds every thread of the worker pool until released: the units of a phase started
// meanwhile queue up behind, so a test can change the file after loading has started but
// before any chunk is read.
class PoolGate {
  public:
    PoolGate() { WorkerPool::Shared().Post(&PoolGate::Hold, this, kHolders); }
    // Opens the gate and waits until every holder has let go of it.
    ~PoolGate() {
        std::unique_lock lock(mutex_);
        open_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return holding_ == 0; });
    }
    PoolGate(const PoolGate&) = delete;
    PoolGate& operator=(const PoolGate&) = delete;

  private:
    // More than the pool has threads, so that every thread takes one before any later unit.
    static constexpr int kHolders = 256;

    static void Hold(void* context, int) {
        auto* self = static_cast<PoolGate*>(context);
        std::unique_lock lock(self->mutex_);
        self->changed_.wait(lock, [self] { return self->open_; });
        if (--self->holding_ == 0) {
            self->changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int holding_ = kHolders;
};

class HostileFilesTest : public ::testing::Test {
  protected:
    HostileFilesTest() { controller.SetPanes(&panes); }

    // Drops the file and runs a whole search; false when the search was refused.
    bool Search(const fs::path& file, const std::string& search) {
        controller.SetFilePath(file);
        panes.warnings.clear();
        if (!controller.StartSearch(file.filename().string(), search)) {
            return false;
        }
        test::DriveToEnd(controller);
        return true;
    }

    // Searches the bytes as a file and expects exactly what a naive reading finds, then shows
    // every matching mail page by page; the file is not changed.
    void ExpectNaiveResult(const std::string& bytes, const std::string& search) {
        const fs::path file = dir.Write("archive.mbox", bytes);
        ASSERT_TRUE(Search(file, search));
        const NaiveResult naive = ReadNaively(bytes, search);
        EXPECT_EQ(panes.mails, static_cast<int>(naive.marks.size()));
        EXPECT_EQ(panes.hits, naive.hits);
        EXPECT_EQ(panes.matches, static_cast<int>(naive.matching.size()));
        EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::kSearchDone});
        EXPECT_EQ(ShowEveryMatchingMail(), static_cast<int>(naive.matching.size()));
        EXPECT_TRUE(test::ReadAll(file) == bytes) << "the search changed the file";
    }

    // Steps through every page and selects every row; returns the number of rows shown.
    int ShowEveryMatchingMail() {
        int shown = 0;
        for (int page = 0; controller.PageExists(page); ++page) {
            if (page > 0) {
                EXPECT_TRUE(controller.StepPage(+1));
                test::DriveToEnd(controller);
            }
            for (int row = 0; row < static_cast<int>(panes.rows.size()); ++row) {
                controller.SelectRow(row);
                EXPECT_EQ(panes.position, page * kPageRows + row + 1);
                ++shown;
            }
        }
        return shown;
    }

    std::string BodyText() const {
        std::string text;
        for (const BodyRun& run : panes.body) {
            text += run.text;
        }
        return text;
    }

    test::TempDir dir;
    test::RecordingPanes panes;
    CSearchController controller;
};

// --- Files that change while they load ------------------------------------------------------

// Three chunks of mails, each holding the search string once.
std::string ThreeChunksOfMails() {
    std::string archive;
    for (int i = 0; archive.size() < 3 * std::size_t(kChunkSize) - 5000; ++i) {
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
        archive += Mail("m" + std::to_string(i), std::string(900, 'x') + " needle\r\n");
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    }
    return archive;
}

TEST_F(HostileFilesTest, LoadsMissingBytesAsBlanksWhenTheFileShrinksWhileLoading) {
    const std::string original = ThreeChunksOfMails();
    for (const std::size_t keep : {std::size_t{0}, std::size_t{1}, original.size() / 2}) {
        const fs::path file = dir.Write("shrinks.mbox", original);
        controller.SetFilePath(file);
        {
            PoolGate gate;
            ASSERT_TRUE(controller.StartSearch("shrinks.mbox", "needle"));
            fs::resize_file(file, keep);
        }
        test::DriveToEnd(controller);

        // The size measured at the start stands; what vanished reads as blanks.
        const std::string loaded =
            original.substr(0, keep) + std::string(original.size() - keep, ' ');
        ASSERT_EQ(controller.State().LoadedSize(), static_cast<std::int64_t>(original.size()))
            << keep;
        std::string chunks;
        for (int c = 0; c < controller.State().m_chunkCount; ++c) {
            chunks += controller.State().m_fileChunks[c].view();
        }
        EXPECT_TRUE(chunks == loaded) << keep;
        const NaiveResult naive = ReadNaively(loaded, "needle");
        EXPECT_EQ(panes.mails, static_cast<int>(naive.marks.size())) << keep;
        EXPECT_EQ(panes.hits, naive.hits) << keep;
        EXPECT_EQ(panes.matches, static_cast<int>(naive.matching.size())) << keep;
        EXPECT_EQ(ShowEveryMatchingMail(), static_cast<int>(naive.matching.size())) << keep;
        EXPECT_EQ(fs::file_size(file), keep) << "the search grew the file back";
    }
}

TEST_F(HostileFilesTest, LoadsOnlyTheMeasuredSizeWhenTheFileGrowsWhileLoading) {
    const std::string original = ThreeChunksOfMails();
    const std::string appended = Mail("late", "needle needle\r\n") + std::string(150000, 'y');
    const fs::path file = dir.Write("grows.mbox", original);
    controller.SetFilePath(file);
    {
        PoolGate gate;
        ASSERT_TRUE(controller.StartSearch("grows.mbox", "needle"));
        std::ofstream(file, std::ios::binary | std::ios::app) << appended;
    }
    test::DriveToEnd(controller);

    const NaiveResult naive = ReadNaively(original, "needle");
    EXPECT_EQ(controller.State().LoadedSize(), static_cast<std::int64_t>(original.size()));
    EXPECT_EQ(panes.mails, static_cast<int>(naive.marks.size()));
    EXPECT_EQ(panes.hits, naive.hits);
    EXPECT_EQ(ShowEveryMatchingMail(), static_cast<int>(naive.matching.size()));
    EXPECT_TRUE(test::ReadAll(file) == original + appended);
}

TEST_F(HostileFilesTest, KeepsEveryLoadedByteOrABlankWhileAnotherProcessTruncates) {
    const std::string original = ThreeChunksOfMails();
    for (int round = 0; round < 5; ++round) {
        const fs::path file = dir.Write("race.mbox", original);
        controller.SetFilePath(file);
        ASSERT_TRUE(controller.StartSearch("race.mbox", "needle"));
        // Cuts the file down step by step while the loaders read it, as a writer that is
        // rewriting the archive would.
        std::thread cutter([&] {
            for (std::size_t size = original.size(); size > 0; size = size * 3 / 4) {
                fs::resize_file(file, size);
            }
        });
        test::DriveToEnd(controller);
        cutter.join();

        ASSERT_EQ(controller.State().LoadedSize(), static_cast<std::int64_t>(original.size()));
        for (int c = 0; c < controller.State().m_chunkCount; ++c) {
            const std::string_view chunk = controller.State().m_fileChunks[c].view();
            const std::string_view was =
                std::string_view(original).substr(std::size_t(c) * kChunkSize, chunk.size());
            for (std::size_t i = 0; i < chunk.size(); ++i) {
                ASSERT_TRUE(chunk[i] == was[i] || chunk[i] == ' ')
                    << "chunk " << c << " byte " << i << " is neither the file's nor a blank";
            }
        }
        EXPECT_EQ(panes.warnings.back(), msg::kSearchDone);
        EXPECT_EQ(ShowEveryMatchingMail(), panes.matches);
    }
}

// --- Files that cannot be opened or read -----------------------------------------------------

// The descriptor through which this process reads file, or -1.
int DescriptorOf(const fs::path& file) {
    const fs::path wanted = fs::canonical(file);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(entry.path(), error) == wanted && !error) {
            return std::stoi(entry.path().filename().string());
        }
    }
    return -1;
}

// What the fault hook does to the file between the fault and its handling.
fs::path g_faultedFile;
std::string g_faultedDirectory;
std::string g_faultedBytes;
int g_viewDescriptor = -1;

// Both run inside the fault handler: system calls only, nothing that allocates.
void GrowBack() {
    const int fd = ::open(g_faultedFile.c_str(), O_WRONLY);
    (void)!::pwrite(fd, g_faultedBytes.data(), g_faultedBytes.size(), 0);
    ::close(fd);
}
void FailReads() {
    const int directory = ::open(g_faultedDirectory.c_str(), O_RDONLY | O_DIRECTORY);
    ::dup2(directory, g_viewDescriptor);
    ::close(directory);
}

// A page of the view faults after the file was cut: it reads as blanks whatever the file has
// become by the time the fault is handled (grown back in a writer's rewrite), and only bytes
// that are there but cannot be read count as a failed read.
TEST_F(HostileFilesTest, APageThatVanishedReadsAsBlanksWhateverTheFileHasBecome) {
    struct Case {
        const char* name;
        void (*hook)();
        bool failed;
    };
    const Case cases[] = {
        {"cut short", nullptr, false},
        {"cut short and grown back", &GrowBack, false},
        {"reads failing", &FailReads, true},
    };
    g_faultedBytes = std::string(3 * 4096 + 100, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_faultedFile = dir.Write("vanish.mbox", g_faultedBytes);
        g_faultedDirectory = dir.path().string();
        const int fd = ::open(g_faultedFile.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const char* view = MapLoadFile(fd, g_faultedBytes.size());
        ::close(fd);
        ASSERT_NE(view, nullptr);
        g_viewDescriptor = DescriptorOf(g_faultedFile);
        ASSERT_GE(g_viewDescriptor, 0);
        fs::resize_file(g_faultedFile, 0);
        SetViewFaultHookForTesting(c.hook);
        const char last = *static_cast<const volatile char*>(view + g_faultedBytes.size() - 1);
        SetViewFaultHookForTesting(nullptr);
        EXPECT_EQ(last, ' ');
        EXPECT_EQ(LoadFileViewFailed(view), c.failed);
        UnmapLoadFile(view);
    }
}

TEST_F(HostileFilesTest, EndsWithTheReadMessageWhenReadingFailsWhileLoading) {
    const std::string bytes = ThreeChunksOfMails();
    const fs::path file = dir.Write("failing.mbox", bytes);
    controller.SetFilePath(file);
    {
        PoolGate gate;
        ASSERT_TRUE(controller.StartSearch("failing.mbox", "needle"));
        // A directory in place of the open file: every read now fails (EISDIR), as reads on a
        // failing disk do.
        const int loading = DescriptorOf(file);
        ASSERT_GE(loading, 0) << "the file is not open while it loads";
        const int directory = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(directory, 0);
        ASSERT_EQ(::dup2(directory, loading), loading);
        ::close(directory);
    }
    test::DriveToEnd(controller);

    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::CannotRead(file.string())});
    EXPECT_TRUE(panes.icons.empty());
    EXPECT_FALSE(controller.IsPhaseRunning());
    EXPECT_EQ(controller.m_bLoaded, 0);
    EXPECT_FALSE(controller.PageExists(0));
    EXPECT_TRUE(test::ReadAll(file) == bytes);

    // Nothing is left behind: the same file searches normally afterwards.
    ASSERT_TRUE(Search(file, "needle"));
    EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::kSearchDone});
    EXPECT_EQ(panes.hits, ReadNaively(bytes, "needle").hits);
}

TEST_F(HostileFilesTest, RefusesPathsThatCannotBeOpenedWithoutCreatingAnything) {
    const fs::path regular = dir.Write("plain.mbox", Mail("a", "needle"));
    const fs::path dangling = dir.path() / "dangling.mbox";
    fs::create_symlink(dir.path() / "nowhere" / "target.mbox", dangling);
    const fs::path danglingInDir = dir.path() / "dangling-here.mbox";
    fs::create_symlink(dir.path() / "target-here.mbox", danglingInDir);
    const fs::path loop = dir.path() / "loop.mbox";
    fs::create_symlink(loop, loop);
    const fs::path throughFile = regular / "inside.mbox";
    const fs::path tooLong = dir.path() / std::string(300, 'n');

    for (const fs::path& path : {dangling, danglingInDir, loop, throughFile, tooLong}) {
        EXPECT_FALSE(Search(path, "needle")) << path;
        EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::CannotOpen(path.string())}) << path;
        EXPECT_FALSE(controller.IsPhaseRunning());
    }
    EXPECT_FALSE(fs::exists(dir.path() / "target-here.mbox"));
    EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
    EXPECT_TRUE(fs::is_regular_file(regular));
}

TEST_F(HostileFilesTest, ReadsAFileWithoutPermissionsOnlyWhenTheSystemAllowsIt) {
    const std::string bytes = Mail("a", "needle") + Mail("b", "nothing");
    const fs::path file = dir.Unreadable("locked.mbox", bytes);
    // Only a process that may override permissions (root) can open it at all.
    const bool readable = ::access(file.c_str(), R_OK) == 0;
    const bool started = Search(file, "needle");
    EXPECT_EQ(started, readable);
    if (readable) {
        EXPECT_EQ(panes.matches, 1);
    } else {
        EXPECT_EQ(panes.warnings, std::vector<std::string>{msg::CannotOpen(file.string())});
    }
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::none);
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_TRUE(test::ReadAll(file) == bytes);
}

TEST_F(HostileFilesTest, SearchesFilesWhateverTheirNames) {
    const std::string bytes = Mail("a", "needle");
    for (const std::string name : {"\xff\xfe not utf-8.mbox", "line\nbreak.mbox", "-", " "}) {
        const fs::path file = dir.Write(name, bytes);
        ASSERT_TRUE(Search(file, "needle")) << name;
        EXPECT_EQ(panes.matches, 1) << name;
        EXPECT_TRUE(test::ReadAll(file) == bytes) << name;
    }
}

// --- Content that is not what a mail archive should be ---------------------------------------

TEST_F(HostileFilesTest, SearchesRandomBytesAsANaiveReadingDoes) {
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{350001}}) {
        std::string bytes(size, '\0');
        for (char& b : bytes) {
            b = static_cast<char>(byte(rng));
        }
        // Sprinkled marks (also in their NUL form) and search strings; the first three lie
        // across the three chunk edges.
        const std::string pieces[] = {kMark, std::string("\x7F\0\x7F", 3), "needle", kJisKensaku};
        for (std::size_t i = 0; size > 16 && i < 400; ++i) {
            const std::string& piece = pieces[i % 4];
            const std::size_t at =
                i < 3 ? kChunkSize * (i + 1) - piece.size() / 2 : rng() % (size - piece.size());
            bytes.replace(at, piece.size(), piece);
        }
        ExpectNaiveResult(bytes, "needle");
        ExpectNaiveResult(bytes, kSjisKensaku);
        ExpectNaiveResult(bytes, std::string("\x7F ", 2));
    }
}

TEST_F(HostileFilesTest, CountsAFileOfNothingButMarks) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string search;
    };
    // More than a chunk of each, so that marks straddle the chunk edge.
    std::string backToBack;
    std::string overlapping("\x7F", 1);  // 0x7F 0x20 0x7F 0x20 ... 0x7F: a mark every 2 bytes
    std::string nulMarks;
    for (int i = 0; i < 40000; ++i) {
        backToBack += kMark;
        overlapping += " \x7F \x7F";
        nulMarks += std::string("\x7F\0\x7F", 3);
    }
    const Case cases[] = {
        {"one mark", kMark, "\x7F\x7F"},
        {"back to back", backToBack, "\x7F\x7F"},
        {"overlapping", overlapping, " \x7F"},
        {"NUL marks", nulMarks, "\x7F\x7F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectNaiveResult(c.bytes, c.search);
        // No mail has a blank line: no body is shown, and no row has header fields.
        EXPECT_TRUE(panes.body.empty());
        for (const HeaderRow& row : panes.rows) {
            EXPECT_TRUE(row.sender.empty() && row.subject.empty() && row.date.empty());
        }
    }
}

TEST_F(HostileFilesTest, EndsCleanlyOnHalfWrittenArchives) {
    const std::string whole = Mail("first", "needle\r\n") + Mail("second", "needle\r\n");
    const std::string endings[] = {
        "\x7F",
        "\x7F ",
        "\x7F \x7F",
        "\x7F \x7F"
        "From: Hanako <needle",
        "\x7F \x7F"
        "Subject: =?ISO-2022-JP?B?GyRCJDMk",
        "\x7F \x7F"
        "Subject: needle\r\nDate: Tue, 7",
        "\x7F \x7F"
        "Subject: needle\r\n\r",
        "\x7F \x7F"
        "Subject: needle\r\n\r\n\x1b$B$3$s",
        "\x7F \x7F"
        "Subject: needle\r\n\r\n\x1b$",
    };
    for (const std::string& ending : endings) {
        SCOPED_TRACE(ending);
        ExpectNaiveResult(whole + ending, "needle");
    }
}

TEST_F(HostileFilesTest, KeepsHeaderLinesOfAMegabyte) {
    const std::string huge = std::string(1 << 20, 'h') + "needle";
    const std::string archive = kMark + "From: " + huge + "\r\nSubject: " + huge +
                                "\r\nDate: Tue, 7 Dec 1999 " + huge + "\r\n\r\nbody needle\r\n" +
                                kMark + "Subject: " + huge;  // the last: no line end at all
    ExpectNaiveResult(archive, "needle");
    controller.SelectRow(0);
    ASSERT_EQ(panes.rows.size(), 2u);
    EXPECT_TRUE(panes.rows[0].sender == huge);
    EXPECT_TRUE(panes.rows[0].subject == huge);
    EXPECT_EQ(panes.rows[0].date, "");  // a megabyte where the time should be is no date
    EXPECT_EQ(BodyText(), "body needle\r\n");
    EXPECT_TRUE(panes.rows[1].subject == huge);  // a mail without an empty line is all header
}

TEST_F(HostileFilesTest, DecodesSubjectsOfThousandsOfEncodedWords) {
    constexpr int kWords = 20000;
    std::string oneLine;
    std::string folded;
    std::string cutOff;
    std::string expected;
    for (int i = 0; i < kWords; ++i) {
        oneLine += kKonWord;
        folded += (i == 0 ? "" : "\r\n ") + kKonWord;
        cutOff += "=?ISO-2022-JP?B?GyRC";
        expected += kSjisKon;
    }
    const std::string archive = Mail(oneLine, "needle") + Mail(folded, "needle") +
                                Mail(cutOff, "needle", kKonWord + " " + cutOff);
    ExpectNaiveResult(archive, "needle");
    ASSERT_EQ(panes.rows.size(), 3u);
    EXPECT_TRUE(panes.rows[0].subject == expected);
    EXPECT_TRUE(panes.rows[1].subject == expected);
    // A word with no end stops decoding: the rest stands as it was written.
    EXPECT_TRUE(panes.rows[2].subject == cutOff);
    EXPECT_TRUE(panes.rows[2].sender == kSjisKon + " " + cutOff);
}

TEST_F(HostileFilesTest, ShowsBodiesOfNothingButEscapeSequences) {
    struct Case {
        const char* name;
        std::string piece;  // repeated 100000 times to make the body
        std::string shown;  // what one piece shows as
    };
    const Case cases[] = {
        {"returns without a start", "\x1b(B", "\x1b(B"},
        {"empty segments", "\x1b$B\x1b(J", ""},
        {"lone escapes", "\x1b", "\x1b"},
        {"unknown designations", "\x1b$@\x1b(I", "\x1b$@\x1b(I"},
        {"segments of one pair per line", "\x1b$B$3\r\n", "\x82\xb1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string body;
        std::string shown;
        for (int i = 0; i < 100000; ++i) {
            body += c.piece;
            shown += c.shown;
        }
        ExpectNaiveResult(Mail("zq \x1b$B", body) + Mail("other", "x"), "zq");
        EXPECT_TRUE(BodyText() == shown);
    }
}

TEST_F(HostileFilesTest, FindsASearchStringLongerThanAChunk) {
    // A string of more than one chunk, laid across three chunks, and the same string once
    // more at the end of the file.
    std::string search(kChunkSize + 5000, 's');
    search.front() = 'a';
    search.back() = 'z';
    const std::string archive =
        Mail("a", std::string(kChunkSize - 1000, '.') + search) + Mail("b", "." + search + ".");
    ExpectNaiveResult(archive, search);
    EXPECT_EQ(panes.hits, 2);
}

// --- Loading from a view of the file ---------------------------------------------------------

// The command line's load points the chunks into a view of the file instead of copying it.
// The chunks must read as a copy would: NULs blanked, bytes that vanish while loading blank,
// and bytes that vanish after the search blank too rather than ending the process.
TEST_F(HostileFilesTest, LoadsFromAViewOfTheFileAsFromACopy) {
    enum Change { kNone, kShrinkWhileLoading, kCutAfterSearch };
    const std::string original = ThreeChunksOfMails();
    std::string withNuls = original;
    withNuls[std::size_t(kChunkSize) + 7] = '\0';
    withNuls[withNuls.size() - 1] = '\0';
    const struct {
        const char* name;
        const std::string& bytes;
        Change change;
        std::string loaded;        // what the chunks must hold after the search
        std::vector<bool> viewed;  // chunk c points into the view
    } cases[] = {
        {"unchanged", original, kNone, original, {true, true, true}},
        {"NUL bytes",
         withNuls,
         kNone,
         [&] {
             std::string blanked = withNuls;
             std::replace(blanked.begin(), blanked.end(), '\0', ' ');
             return blanked;
         }(),
         {true, false, false}},
        {"shrinks while loading",
         original,
         kShrinkWhileLoading,
         original.substr(0, original.size() / 2) +
             std::string(original.size() - original.size() / 2, ' '),
         {true, false, false}},
        {"cut after the search",
         original,
         kCutAfterSearch,
         std::string(original.size(), ' '),
         {true, true, true}},
    };
    controller.LoadFromView(true);
    for (const auto& c : cases) {
        const fs::path file = dir.Write("viewed.mbox", c.bytes);
        controller.SetFilePath(file);
        {
            PoolGate gate;
            ASSERT_TRUE(controller.StartSearch("viewed.mbox", "needle")) << c.name;
            if (c.change == kShrinkWhileLoading) {
                fs::resize_file(file, c.bytes.size() / 2);
            }
        }
        test::DriveToEnd(controller);
        const std::string searched = c.change == kCutAfterSearch ? c.bytes : c.loaded;
        const NaiveResult naive = ReadNaively(searched, "needle");
        EXPECT_EQ(panes.hits, naive.hits) << c.name;
        EXPECT_EQ(panes.matches, static_cast<int>(naive.matching.size())) << c.name;
        if (c.change == kCutAfterSearch) {
            fs::resize_file(file, 0);
        }
        EXPECT_EQ(ShowEveryMatchingMail(), static_cast<int>(naive.matching.size())) << c.name;
        std::string chunks;
        for (int chunk = 0; chunk < controller.State().m_chunkCount; ++chunk) {
            chunks += controller.State().m_fileChunks[chunk].view();
            EXPECT_EQ(InLoadFileView(controller.State().m_fileChunks[chunk].view().data()),
                      c.viewed[chunk])
                << c.name << " chunk " << chunk;
        }
        EXPECT_TRUE(chunks == c.loaded) << c.name;
        EXPECT_EQ(panes.warnings.back(), msg::kSearchDone) << c.name;
    }
}

// A view of a cached file (as one just written is) is read in lanes, out of order. The counts and
// every matching mail must still be those of a reading in order: over chunk edges, a chunk blanked
// for its NUL, and the last, partial block of lanes.
TEST_F(HostileFilesTest, LoadsACachedViewInLanesAsInOrder) {
    std::string archive;
    for (int i = 0; archive.size() < 90 * std::size_t(kChunkSize) + 12345; ++i) {
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
        archive += Mail("m" + std::to_string(i),
                        std::string(700 + i % 500, 'x') + (i % 97 == 0 ? " needle\r\n" : "\r\n"));
        TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    }
    archive[std::size_t(kChunkSize) * 50 + 3] = '\0';
    controller.LoadFromView(true);
    ExpectNaiveResult(archive, "needle");
}

}  // namespace
}  // namespace tarsel
