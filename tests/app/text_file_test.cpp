// Article files: the encoding each sample is read in, the bytes written back,
// and what the reader refuses.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

#include "engine/text_file.h"
#include "support/fixtures.h"

namespace {

using textfile::Encoding;

std::string utf16le(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

TEST(TextFile, SamplesAreReadInTheirEncodingAndWrittenBackInIt) {
    const std::string gbkArticle = g("美丽的中国，好！\r\n第二段。");
    const struct {
        const char* name;
        std::string bytes;
        Encoding encoding;
        std::string text;    // GBK
        std::string written; // what writing the text back gives
    } samples[] = {
        {"utf8 with emoji", "美丽😀𠮷\n", Encoding::Utf8, g("美丽😀𠮷\n"), "美丽😀𠮷\n"},
        {"gbk article", gbkArticle, Encoding::Gbk, gbkArticle, gbkArticle},
        {"utf8 with mark", "\xEF\xBB\xBF美丽", Encoding::Utf8Bom, g("美丽"), "\xEF\xBB\xBF美丽"},
        {"utf16le from a Windows editor", utf16le(u"美丽😀\r\n"), Encoding::Utf16Le, g("美丽😀\r\n"),
         "\xEF\xBB\xBF美丽😀\r\n"},
        {"utf16be", std::string("\xFE\xFF\x7F\x8E\x00!", 6), Encoding::Utf16Be, g("美!"),
         "\xEF\xBB\xBF美!"},
        // An odd byte count: the dangling half unit ends the text as "?".
        {"utf16le cut short", utf16le(u"美丽") + "A", Encoding::Utf16Le, g("美丽?"),
         "\xEF\xBB\xBF美丽?"},
        {"utf16be cut short", std::string("\xFE\xFF\x7F\x8E\x00", 5), Encoding::Utf16Be, g("美?"),
         "\xEF\xBB\xBF美?"},
        {"utf16le mark and half a unit", "\xFF\xFE\x41", Encoding::Utf16Le, "?", "\xEF\xBB\xBF?"},
        {"ascii", "plain, text.", Encoding::Gbk, "plain, text.", "plain, text."},
        {"invalid everywhere", "\xFF\xC3(\x81", Encoding::Gbk, "\xFF\xC3(\x81", "\xFF\xC3(\x81"},
        {"empty", "", Encoding::Gbk, "", ""},
    };
    TempDir dir;
    const std::string path = (dir.path() / "a.txt").string();
    for (const auto& s : samples) {
        writeFileBytes(path, s.bytes);
        const textfile::TextFile file = textfile::readTextFile(path);
        EXPECT_EQ(file.encoding, s.encoding) << s.name;
        EXPECT_EQ(file.text, s.text) << s.name;
        textfile::writeTextFile(path, file.text, file.encoding);
        EXPECT_EQ(readFileBytes(path), s.written) << s.name;
    }
    // The written file replaced the old one in place: same permissions, no
    // temporary file left beside it.
    ::chmod(path.c_str(), 0640);
    textfile::writeTextFile(path, "x", Encoding::Gbk);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(TextFile, RefusedInputsAndFailedWritesLeaveEverythingAsItWas) {
    TempDir dir;
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = (dir.path() / "big.txt").string();
    writeFileBytes(big, "");
    std::filesystem::resize_file(big, textfile::kMaxTextFileBytes + 1);
    using Reason = textfile::TextFileError::Reason;
    const struct {
        std::string path;
        Reason reason;
    } refused[] = {
        {fifo, Reason::NotRegularFile},        {"/dev/zero", Reason::NotRegularFile},
        {dir.str(), Reason::NotRegularFile},   {big, Reason::TooLarge},
        {dir.str() + "/none", Reason::System},
    };
    for (const auto& r : refused) {
        try {
            textfile::readTextFile(r.path);
            ADD_FAILURE() << r.path << " was read";
        } catch (const textfile::TextFileError& e) {
            EXPECT_EQ(e.reason, r.reason) << r.path << ": " << e.what();
        }
    }

    // A write that fails half way (the file size limit) leaves the old file.
    const std::string path = (dir.path() / "keep.txt").string();
    writeFileBytes(path, "old text");
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(textfile::writeTextFile(path, "new, longer text", Encoding::Gbk),
                 textfile::TextFileError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(readFileBytes(path), "old text");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

} // namespace
